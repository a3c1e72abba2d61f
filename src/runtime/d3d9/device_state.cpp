#include "runtime/d3d9/device_state.h"

#include <cstring>

namespace {

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Render states without a named constant here, by number.
constexpr DWORD kFogStart = 36;
constexpr DWORD kFogEnd = 37;
constexpr DWORD kFogDensity = 38;
constexpr DWORD kStencilFail = 53;
constexpr DWORD kStencilZFail = 54;
constexpr DWORD kStencilPass = 55;
constexpr DWORD kStencilFunc = 56;
constexpr DWORD kStencilMask = 58;
constexpr DWORD kStencilWriteMask = 59;
constexpr DWORD kLocalViewer = 142;
constexpr DWORD kSpecularMaterialSource = 146;
constexpr DWORD kPointSize = 154;
constexpr DWORD kPointSizeMin = 155;
constexpr DWORD kMultisampleAntialias = 161;
constexpr DWORD kMultisampleMask = 162;
constexpr DWORD kPointSizeMax = 166;
constexpr DWORD kColorWriteEnable1 = 190;
constexpr DWORD kColorWriteEnable2 = 191;
constexpr DWORD kColorWriteEnable3 = 192;

// Texture-stage states by number.
constexpr DWORD kColorArg0 = 26;
constexpr DWORD kAlphaArg0 = 27;

}  // namespace

D3DMATRIX IdentityMatrix() {
    D3DMATRIX matrix{};
    matrix._11 = matrix._22 = matrix._33 = matrix._44 = 1.0f;
    return matrix;
}

void SetDefaultState(DeviceState& state, UINT width, UINT height, bool depthBuffer) {
    auto& rs = state.renderStates;
    rs.fill(0);
    rs[D3DRS_ZENABLE] = depthBuffer ? TRUE : FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[kFogStart] = FloatBits(0.0f);
    rs[kFogEnd] = FloatBits(1.0f);
    rs[kFogDensity] = FloatBits(1.0f);
    rs[kStencilFail] = 1;  // D3DSTENCILOP_KEEP
    rs[kStencilZFail] = 1;
    rs[kStencilPass] = 1;
    rs[kStencilFunc] = D3DCMP_ALWAYS;
    rs[kStencilMask] = 0xFFFFFFFF;
    rs[kStencilWriteMask] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[kLocalViewer] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[kSpecularMaterialSource] = D3DMCS_COLOR2;
    rs[kPointSize] = FloatBits(1.0f);
    rs[kPointSizeMin] = FloatBits(1.0f);
    rs[kMultisampleAntialias] = TRUE;
    rs[kMultisampleMask] = 0xFFFFFFFF;
    rs[kPointSizeMax] = FloatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[kColorWriteEnable1] = 0xF;
    rs[kColorWriteEnable2] = 0xF;
    rs[kColorWriteEnable3] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;

    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        auto& ts = state.stageStates[stage];
        ts.fill(0);
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = stage;
        ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        ts[kColorArg0] = D3DTA_CURRENT;
        ts[kAlphaArg0] = D3DTA_CURRENT;
        ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (auto& ss : state.samplerStates) {
        ss.fill(0);
        ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        ss[D3DSAMP_MAXANISOTROPY] = 1;
    }
    state.transforms.fill(IdentityMatrix());
    state.viewport = {0, 0, width, height, 0.0f, 1.0f};
    for (auto& texture : state.textures) {
        texture.Reset();
    }
    state.streamBuffer.Reset();
    state.streamOffset = 0;
    state.streamStride = 0;
    state.indices.Reset();
    state.declaration.Reset();
    state.vertexShader.Reset();
    state.pixelShader.Reset();
    state.nPatchSegments = 0.0f;
}
