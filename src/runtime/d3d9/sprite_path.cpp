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

// The alpha test as "keep pixels whose alpha is at most the result" (-1:
// keep none), or false for a comparison that is not a lower bound.
bool AlphaTestAsLowerBound(const RasterState& state, int* keepAtOrBelow) {
    const int ref = static_cast<int>(state.alphaRef & 0xFFu);
    if (!state.alphaTestEnable) {
        *keepAtOrBelow = -1;
        return true;
    }
    switch (state.alphaFunc) {
        case D3DCMP_ALWAYS: *keepAtOrBelow = -1; return true;
        case D3DCMP_NEVER: *keepAtOrBelow = 255; return true;
        case D3DCMP_GREATER: *keepAtOrBelow = ref; return true;
        case D3DCMP_GREATEREQUAL: *keepAtOrBelow = ref - 1; return true;
        default: return false;
    }
}

}  // namespace

SpritePath SpritePathFor(const RasterState& state) {
    const StageSettings& s0 = state.stages[0];
    const SamplerSettings& sm0 = state.samplers[0];
    SpritePath path;
    int keep = -1;
    path.accepted = state.stages[1].colorOp == D3DTOP_DISABLE &&
                    state.textureLevels[0] != nullptr && state.textureLevelCount[0] > 0 &&
                    IsTextureTimesDiffuse(s0.colorOp, s0.colorArg1, s0.colorArg2) &&
                    IsTextureTimesDiffuse(s0.alphaOp, s0.alphaArg1, s0.alphaArg2) &&
                    state.alphaBlendEnable && state.srcBlend == D3DBLEND_SRCALPHA &&
                    state.destBlend == D3DBLEND_INVSRCALPHA && state.blendOp == D3DBLENDOP_ADD &&
                    WriteMask(state) == 0xFFFFFFFFu && sm0.addressU == D3DTADDRESS_CLAMP &&
                    sm0.addressV == D3DTADDRESS_CLAMP && AlphaTestAsLowerBound(state, &keep);
    if (!path.accepted) {
        return path;
    }
    // Blending a source of alpha 0 gives back the old pixel exactly, every
    // channel round((s * 0 + d * 255) / 255) = d, so on a target that stores
    // alpha, keeping those pixels changes no byte. A target without alpha
    // still needs the test: a written pixel gets alpha 0xFF, a kept one keeps
    // the byte it had.
    if (keep == 0 && state.targetHasAlpha) {
        keep = -1;
    }
    path.keepAlphaAtOrBelow = keep;
    return path;
}

}  // namespace vellorn_d3d9
