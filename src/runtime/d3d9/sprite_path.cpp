#include "runtime/d3d9/sprite_path.h"

#include "runtime/d3d9/pixel_pipeline.h"

namespace vellorn_d3d9 {

namespace {

bool IsTextureTimesDiffuse(DWORD op, DWORD arg1, DWORD arg2) {
    if (op != D3DTOP_MODULATE)
        return false;
    auto isDiffuse = [](DWORD a) { return a == D3DTA_DIFFUSE || a == D3DTA_CURRENT; };
    return (arg1 == D3DTA_TEXTURE && isDiffuse(arg2)) || (arg2 == D3DTA_TEXTURE && isDiffuse(arg1));
}

}  // namespace

SpritePath SpritePathFor(const RasterState& state) {
    const StageSettings& s0 = state.stages[0];
    const SamplerSettings& sm0 = state.samplers[0];
    SpritePath path;
    path.accepted = state.stages[1].colorOp == D3DTOP_DISABLE &&
                    state.textureLevels[0] != nullptr && state.textureLevelCount[0] > 0 &&
                    IsTextureTimesDiffuse(s0.colorOp, s0.colorArg1, s0.colorArg2) &&
                    IsTextureTimesDiffuse(s0.alphaOp, s0.alphaArg1, s0.alphaArg2) &&
                    !state.alphaTestEnable && state.alphaBlendEnable &&
                    state.srcBlend == D3DBLEND_SRCALPHA &&
                    state.destBlend == D3DBLEND_INVSRCALPHA && state.blendOp == D3DBLENDOP_ADD &&
                    WriteMask(state) == 0xFFFFFFFFu && sm0.addressU == D3DTADDRESS_CLAMP &&
                    sm0.addressV == D3DTADDRESS_CLAMP;
    return path;
}

}  // namespace vellorn_d3d9
