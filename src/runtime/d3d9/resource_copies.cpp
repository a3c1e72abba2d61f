// Copies between resources: UpdateSurface and UpdateTexture (system memory
// to the default pool) and StretchRect (a point-sampled copy between
// default-pool surfaces).
#include <cstring>

#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/textures.h"

namespace {

SurfaceObject* SurfaceOf(IDirect3DSurface9* surface) {
    return ImplementationOf<SurfaceObject>(surface, IID_VellornSurfaceObject);
}

RECT WholeOf(const SurfaceObject& surface) {
    return {0, 0, static_cast<LONG>(surface.Storage().width),
            static_cast<LONG>(surface.Storage().height)};
}

// Copies the same-format rect of source to (x, y) of destination; both
// rects are valid (whole blocks for block formats).
void CopyRect(SurfaceObject& source, const RECT& rect, SurfaceObject& destination, UINT x, UINT y) {
    const FormatLayout& layout = source.Layout();
    const UINT width = static_cast<UINT>(rect.right - rect.left);
    const UINT height = static_cast<UINT>(rect.bottom - rect.top);
    const UINT rowBytes = RowPitchOf(layout, width);
    const UINT rows = StorageRowsOf(layout, height);
    const UINT step = layout.block ? 4 : 1;
    for (UINT row = 0; row < rows; ++row) {
        std::memcpy(
            destination.Address(x, y + row * step),
            source.Address(static_cast<UINT>(rect.left), static_cast<UINT>(rect.top) + row * step),
            rowBytes);
    }
    destination.MarkChanged();
}

void CopyWhole(SurfaceObject& source, SurfaceObject& destination) {
    CopyRect(source, WholeOf(source), destination, 0, 0);
}

HRESULT UpdatePlain(TextureObject& source, TextureObject& destination) {
    const UINT sourceLevels = source.GetLevelCount();
    const UINT destLevels = destination.GetLevelCount();
    // Levels are matched by size: find the source level as large as the
    // destination's top level.
    const SurfaceStorage& top = destination.Level(0)->Storage();
    UINT first = 0;
    while (first < sourceLevels && (source.Level(first)->Storage().width != top.width ||
                                    source.Level(first)->Storage().height != top.height)) {
        ++first;
    }
    if (first == sourceLevels || sourceLevels - first < destLevels) {
        return D3DERR_INVALIDCALL;
    }
    for (UINT level = 0; level < destLevels; ++level) {
        if (source.Level(first + level)->IsLocked() || destination.Level(level)->IsLocked()) {
            return D3DERR_INVALIDCALL;
        }
    }
    for (UINT level = 0; level < destLevels; ++level) {
        CopyWhole(*source.Level(first + level), *destination.Level(level));
    }
    return S_OK;
}

HRESULT UpdateCube(CubeTextureObject& source, CubeTextureObject& destination) {
    const UINT sourceLevels = source.GetLevelCount();
    const UINT destLevels = destination.GetLevelCount();
    const UINT edge = destination.FaceLevel(0, 0)->Storage().width;
    UINT first = 0;
    while (first < sourceLevels && source.FaceLevel(0, first)->Storage().width != edge) {
        ++first;
    }
    if (first == sourceLevels || sourceLevels - first < destLevels) {
        return D3DERR_INVALIDCALL;
    }
    for (DWORD face = 0; face < 6; ++face) {
        for (UINT level = 0; level < destLevels; ++level) {
            if (source.FaceLevel(face, first + level)->IsLocked() ||
                destination.FaceLevel(face, level)->IsLocked()) {
                return D3DERR_INVALIDCALL;
            }
        }
    }
    for (DWORD face = 0; face < 6; ++face) {
        for (UINT level = 0; level < destLevels; ++level) {
            CopyWhole(*source.FaceLevel(face, first + level), *destination.FaceLevel(face, level));
        }
    }
    return S_OK;
}

HRESULT UpdateVolume(VolumeTextureObject& source, VolumeTextureObject& destination) {
    const UINT sourceLevels = source.GetLevelCount();
    const UINT destLevels = destination.GetLevelCount();
    const D3DVOLUME_DESC& top = destination.Level(0)->Desc();
    UINT first = 0;
    while (first < sourceLevels && (source.Level(first)->Desc().Width != top.Width ||
                                    source.Level(first)->Desc().Height != top.Height ||
                                    source.Level(first)->Desc().Depth != top.Depth)) {
        ++first;
    }
    if (first == sourceLevels || sourceLevels - first < destLevels) {
        return D3DERR_INVALIDCALL;
    }
    for (UINT level = 0; level < destLevels; ++level) {
        if (source.Level(first + level)->IsLocked() || destination.Level(level)->IsLocked()) {
            return D3DERR_INVALIDCALL;
        }
    }
    for (UINT level = 0; level < destLevels; ++level) {
        VolumeObject& from = *source.Level(first + level);
        VolumeObject& to = *destination.Level(level);
        std::memcpy(to.Data(), from.Data(),
                    static_cast<std::size_t>(from.SlicePitch()) * from.Desc().Depth);
    }
    return S_OK;
}

}  // namespace

HRESULT UpdateSurfaceResource(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* destination, const POINT* destPoint) {
    SurfaceObject* from = SurfaceOf(source);
    SurfaceObject* to = SurfaceOf(destination);
    if (from == nullptr || to == nullptr || from == to ||
        from->Storage().pool != D3DPOOL_SYSTEMMEM || to->Storage().pool != D3DPOOL_DEFAULT ||
        from->Storage().format != to->Storage().format || from->IsLocked() || to->IsLocked()) {
        return D3DERR_INVALIDCALL;
    }
    const RECT rect = sourceRect != nullptr ? *sourceRect : WholeOf(*from);
    const POINT point = destPoint != nullptr ? *destPoint : POINT{0, 0};
    if (!from->IsValidRect(rect) || point.x < 0 || point.y < 0) {
        return D3DERR_INVALIDCALL;
    }
    const RECT target{point.x, point.y, point.x + (rect.right - rect.left),
                      point.y + (rect.bottom - rect.top)};
    if (!to->IsValidRect(target)) {
        return D3DERR_INVALIDCALL;
    }
    CopyRect(*from, rect, *to, static_cast<UINT>(point.x), static_cast<UINT>(point.y));
    return S_OK;
}

HRESULT UpdateTextureResource(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
    const TextureFacts* from = ImplementationOf<const TextureFacts>(source, IID_VellornTextureBase);
    const TextureFacts* to =
        ImplementationOf<const TextureFacts>(destination, IID_VellornTextureBase);
    if (from == nullptr || to == nullptr || from == to || from->pool != D3DPOOL_SYSTEMMEM ||
        to->pool != D3DPOOL_DEFAULT || from->type != to->type || from->format != to->format) {
        return D3DERR_INVALIDCALL;
    }
    switch (from->type) {
        case D3DRTYPE_TEXTURE:
            return UpdatePlain(
                *ImplementationOf<TextureObject>(source, IID_VellornTextureObject),
                *ImplementationOf<TextureObject>(destination, IID_VellornTextureObject));
        case D3DRTYPE_CUBETEXTURE:
            return UpdateCube(
                *ImplementationOf<CubeTextureObject>(source, IID_VellornCubeTextureObject),
                *ImplementationOf<CubeTextureObject>(destination, IID_VellornCubeTextureObject));
        default:
            return UpdateVolume(
                *ImplementationOf<VolumeTextureObject>(source, IID_VellornVolumeTextureObject),
                *ImplementationOf<VolumeTextureObject>(destination,
                                                       IID_VellornVolumeTextureObject));
    }
}

HRESULT StretchRectResource(IDirect3DSurface9* source, const RECT* sourceRect,
                            IDirect3DSurface9* destination, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter) {
    SurfaceObject* from = SurfaceOf(source);
    SurfaceObject* to = SurfaceOf(destination);
    // Both surfaces in the default pool, of the same uncompressed format,
    // neither locked; the filter is one a copy can use.
    if (from == nullptr || to == nullptr || from->Storage().pool != D3DPOOL_DEFAULT ||
        to->Storage().pool != D3DPOOL_DEFAULT || from->Storage().format != to->Storage().format ||
        from->Layout().block || from->IsLocked() || to->IsLocked() || filter > D3DTEXF_LINEAR) {
        return D3DERR_INVALIDCALL;
    }
    const RECT src = sourceRect != nullptr ? *sourceRect : WholeOf(*from);
    const RECT dst = destRect != nullptr ? *destRect : WholeOf(*to);
    if (!from->IsValidRect(src) || !to->IsValidRect(dst)) {
        return D3DERR_INVALIDCALL;
    }
    // Within one surface the two rects must not overlap.
    if (from == to && src.left < dst.right && dst.left < src.right && src.top < dst.bottom &&
        dst.top < src.bottom) {
        return D3DERR_INVALIDCALL;
    }
    const UINT bytes = from->Layout().bytes;
    const UINT srcW = static_cast<UINT>(src.right - src.left);
    const UINT srcH = static_cast<UINT>(src.bottom - src.top);
    const UINT dstW = static_cast<UINT>(dst.right - dst.left);
    const UINT dstH = static_cast<UINT>(dst.bottom - dst.top);
    // Each destination pixel takes the source pixel under its centre.
    for (UINT y = 0; y < dstH; ++y) {
        const UINT sy =
            static_cast<UINT>(src.top) +
            static_cast<UINT>((2 * static_cast<std::uint64_t>(y) + 1) * srcH / (2 * dstH));
        for (UINT x = 0; x < dstW; ++x) {
            const UINT sx =
                static_cast<UINT>(src.left) +
                static_cast<UINT>((2 * static_cast<std::uint64_t>(x) + 1) * srcW / (2 * dstW));
            std::memcpy(
                to->Address(static_cast<UINT>(dst.left) + x, static_cast<UINT>(dst.top) + y),
                from->Address(sx, sy), bytes);
        }
    }
    to->MarkChanged();
    return S_OK;
}
