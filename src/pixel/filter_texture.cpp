// Mip-chain regeneration: every level below a source level of a texture,
// cube texture or volume texture is loaded again from the levels above it.
#include <utility>

#include "platform/diagnostics.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"
#include "vellorn/result_codes.h"

namespace {

bool IsPowerOfTwo(UINT value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// Point and box filters halve each level, so each level is made from the one
// above it; the others make every level from the source level.
bool FiltersChain(DWORD filter) {
    const DWORD kind = filter & 0xFF;
    return kind == D3DX_FILTER_POINT || kind == D3DX_FILTER_BOX;
}

// Rebuilds levels sourceLevel + 1 to count - 1 of one face. level(i, &surface)
// hands out level i; load(destination, source) loads one level from another.
template <class Level, class GetLevel, class Load>
HRESULT FilterFace(UINT sourceLevel, UINT count, DWORD filter, GetLevel level, Load load) {
    ComPtr<Level> source;
    HRESULT hr = level(sourceLevel, source.ReleaseAndGetAddressOf());
    for (UINT j = sourceLevel + 1; SUCCEEDED(hr) && j < count; ++j) {
        ComPtr<Level> destination;
        hr = level(j, destination.ReleaseAndGetAddressOf());
        if (SUCCEEDED(hr)) {
            hr = load(destination.Get(), source.Get());
        }
        if (SUCCEEDED(hr) && FiltersChain(filter)) {
            source = std::move(destination);
        }
    }
    return hr;
}

// The filter every level is made with: the default by the size of level 0,
// mirrored edges for cube faces, one gamma space for all levels.
DWORD ResolveFilter(DWORD filter, bool powerOfTwo, bool cube) {
    if (filter == D3DX_DEFAULT) {
        filter = powerOfTwo ? D3DX_FILTER_BOX : D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
    }
    if (cube) {
        filter |= D3DX_FILTER_MIRROR;
    }
    if ((filter & D3DX_FILTER_SRGB_OUT) != 0) {
        return filter | D3DX_FILTER_SRGB;
    }
    return filter & ~D3DX_FILTER_SRGB;
}

HRESULT InvalidTexture() {
    DebugMessage(0, "pBaseTexture pointer is invalid");
    return D3DERR_INVALIDCALL;
}

// SrcLevel D3DX_DEFAULT means level 0. False when the level does not exist.
bool ResolveSourceLevel(UINT* level, UINT count) {
    if (*level == D3DX_DEFAULT) {
        *level = 0;
    }
    if (*level >= count) {
        DebugMessage(0, "uSrcLevel larger than num Mip level in the texture");
        return false;
    }
    return true;
}

HRESULT FilterVolumeTexture(IDirect3DVolumeTexture9* texture, const PALETTEENTRY* palette,
                            UINT sourceLevel, DWORD filter) {
    D3DVOLUME_DESC top{};
    HRESULT hr = texture->GetLevelDesc(0, &top);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT count = texture->GetLevelCount();
    filter = ResolveFilter(
        filter, IsPowerOfTwo(top.Width) && IsPowerOfTwo(top.Height) && IsPowerOfTwo(top.Depth),
        false);
    if (!ResolveSourceLevel(&sourceLevel, count)) {
        return D3DERR_INVALIDCALL;
    }
    return FilterFace<IDirect3DVolume9>(
        sourceLevel, count, filter,
        [&](UINT i, IDirect3DVolume9** volume) { return texture->GetVolumeLevel(i, volume); },
        [&](IDirect3DVolume9* destination, IDirect3DVolume9* source) {
            return D3DXLoadVolumeFromVolume(destination, palette, nullptr, source, palette, nullptr,
                                            filter, 0);
        });
}

// Rebuilds the levels of every face of a texture (one face) or cube texture
// (six faces); Texture is IDirect3DTexture9 or IDirect3DCubeTexture9.
template <class Texture, class GetSurface>
HRESULT FilterSurfaceTexture(Texture* texture, const PALETTEENTRY* palette, UINT sourceLevel,
                             DWORD filter, bool cube, GetSurface surfaceOf) {
    D3DSURFACE_DESC top{};
    HRESULT hr = texture->GetLevelDesc(0, &top);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT count = texture->GetLevelCount();
    filter = ResolveFilter(filter, IsPowerOfTwo(top.Width) && IsPowerOfTwo(top.Height), cube);
    if (!ResolveSourceLevel(&sourceLevel, count)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT faces = cube ? 6 : 1;
    for (UINT face = 0; SUCCEEDED(hr) && face < faces; ++face) {
        hr = FilterFace<IDirect3DSurface9>(
            sourceLevel, count, filter,
            [&](UINT i, IDirect3DSurface9** surface) { return surfaceOf(face, i, surface); },
            [&](IDirect3DSurface9* destination, IDirect3DSurface9* source) {
                return D3DXLoadSurfaceFromSurface(destination, palette, nullptr, source, palette,
                                                  nullptr, filter, 0);
            });
    }
    return hr;
}

}  // namespace

HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* pBaseTexture, const PALETTEENTRY* pPalette,
                          UINT SrcLevel, DWORD Filter) {
    if (pBaseTexture == nullptr) {
        return InvalidTexture();
    }
    const auto base = ComPtr<IDirect3DBaseTexture9>(pBaseTexture);
    switch (pBaseTexture->GetType()) {
        case D3DRTYPE_TEXTURE: {
            ComPtr<IDirect3DTexture9> texture;
            if (FAILED(base.As(IID_IDirect3DTexture9, &texture))) {
                return InvalidTexture();
            }
            return FilterSurfaceTexture(texture.Get(), pPalette, SrcLevel, Filter, false,
                                        [&](UINT, UINT level, IDirect3DSurface9** surface) {
                                            return texture->GetSurfaceLevel(level, surface);
                                        });
        }
        case D3DRTYPE_CUBETEXTURE: {
            ComPtr<IDirect3DCubeTexture9> texture;
            if (FAILED(base.As(IID_IDirect3DCubeTexture9, &texture))) {
                return InvalidTexture();
            }
            return FilterSurfaceTexture(texture.Get(), pPalette, SrcLevel, Filter, true,
                                        [&](UINT face, UINT level, IDirect3DSurface9** surface) {
                                            return texture->GetCubeMapSurface(
                                                static_cast<D3DCUBEMAP_FACES>(face), level,
                                                surface);
                                        });
        }
        case D3DRTYPE_VOLUMETEXTURE: {
            ComPtr<IDirect3DVolumeTexture9> texture;
            if (FAILED(base.As(IID_IDirect3DVolumeTexture9, &texture))) {
                return InvalidTexture();
            }
            return FilterVolumeTexture(texture.Get(), pPalette, SrcLevel, Filter);
        }
        default: return InvalidTexture();
    }
}
