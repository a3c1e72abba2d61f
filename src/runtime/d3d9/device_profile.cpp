#include "runtime/d3d9/device_profile.h"

namespace {

FormatSupport TextureFormat(D3DFORMAT format, bool volume) {
    FormatSupport support{};
    support.format = format;
    support.texture = true;
    support.cubeTexture = true;
    support.volumeTexture = volume;
    support.filter = true;
    support.dynamic = true;
    return support;
}

}  // namespace

DeviceProfile DefaultDeviceProfile() {
    DeviceProfile profile{};
    D3DCAPS9& caps = profile.caps;
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    constexpr DWORD allCompares =
        D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL | D3DPCMPCAPS_LESSEQUAL |
        D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL | D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
    caps.ZCmpCaps = allCompares;
    caps.AlphaCmpCaps = allCompares;
    // Blend caps: D3DPBLENDCAPS_ZERO (1) to D3DPBLENDCAPS_INVBLENDFACTOR (0x4000),
    // one bit per D3DBLEND value from ZERO to INVBLENDFACTOR.
    caps.SrcBlendCaps = 0x7FFF;
    caps.DestBlendCaps = 0x7FFF;
    caps.TextureCaps =
        D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL | D3DPTEXTURECAPS_MIPMAP |
        D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_CUBEMAP |
        D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP |
        D3DPTEXTURECAPS_CUBEMAP_POW2 | D3DPTEXTURECAPS_VOLUMEMAP_POW2;
    constexpr DWORD filters = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                              D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFPOINT |
                              D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC |
                              D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR;
    caps.TextureFilterCaps = filters;
    caps.CubeTextureFilterCaps = filters;
    caps.VolumeTextureFilterCaps = filters;
    // D3DPTADDRESSCAPS_WRAP, MIRROR, CLAMP, BORDER and INDEPENDENTUV.
    caps.TextureAddressCaps = 0x1F;
    caps.VolumeTextureAddressCaps = 0x1F;
    caps.MaxTextureWidth = 4096;
    caps.MaxTextureHeight = 4096;
    caps.MaxVolumeExtent = 256;
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = 4096;
    caps.MaxAnisotropy = 16;
    caps.MaxSimultaneousTextures = 2;
    caps.MaxTextureBlendStages = 2;
    caps.MaxPrimitiveCount = 0x00FFFFFF;
    caps.MaxVertexIndex = 0x00FFFFFF;
    caps.MaxStreams = 1;
    caps.VertexShaderVersion = 0;
    caps.PixelShaderVersion = 0;

    static constexpr D3DFORMAT kUncompressed[] = {
        D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,     D3DFMT_R5G6B5,        D3DFMT_X1R5G5B5,
        D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,     D3DFMT_R3G3B2,        D3DFMT_A8,
        D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4,     D3DFMT_A2B10G10R10,   D3DFMT_A8B8G8R8,
        D3DFMT_X8B8G8R8, D3DFMT_G16R16,       D3DFMT_A2R10G10B10,   D3DFMT_A16B16G16R16,
        D3DFMT_L8,       D3DFMT_A8L8,         D3DFMT_A4L4,          D3DFMT_L16,
        D3DFMT_R16F,     D3DFMT_G16R16F,      D3DFMT_A16B16G16R16F, D3DFMT_R32F,
        D3DFMT_G32R32F,  D3DFMT_A32B32G32R32F};
    for (D3DFORMAT format : kUncompressed) {
        FormatSupport support = TextureFormat(format, true);
        if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            support.renderTarget = true;
            support.postPixelShaderBlending = true;
            support.autoGenMipMap = true;
        }
        if (format == D3DFMT_A8B8G8R8 || format == D3DFMT_X8B8G8R8) {
            support.autoGenMipMap = true;
        }
        profile.formats.push_back(support);
    }
    // Block formats: 2D and cube textures only.
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        profile.formats.push_back(TextureFormat(format, false));
    }
    return profile;
}

const FormatSupport* FindFormat(const DeviceProfile& profile, D3DFORMAT format) {
    for (const FormatSupport& support : profile.formats) {
        if (support.format == format) {
            return &support;
        }
    }
    return nullptr;
}
