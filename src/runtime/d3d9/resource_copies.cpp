// Copies between resources: UpdateSurface and UpdateTexture, from system
// memory to the default pool.
#include <cstdint>
#include <cstring>

#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resource_sizes.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/textures.h"

namespace {

// Copies the same-format rect of source to (x, y) of destination; both
// rects are valid (whole blocks for block formats).
void CopyRect(SurfaceObject& source, const RECT& rect, SurfaceObject& destination, UINT x, UINT y) {
    const FormatLayout& layout = source.Layout();
    const UINT width = static_cast<UINT>(rect.right - rect.left);
    const UINT height = static_cast<UINT>(rect.bottom - rect.top);
    // At most the surface's pitch.
    const std::size_t rowBytes = static_cast<std::size_t>(RowBytesOf(layout, width));
    const UINT rows = static_cast<UINT>(StorageRowsOf(layout, height));
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
    CopyRect(source, source.WholeRect(), destination, 0, 0);
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
    SurfaceObject* from = ResourceCast<SurfaceObject>(source);
    SurfaceObject* to = ResourceCast<SurfaceObject>(destination);
    if (from == nullptr || to == nullptr || from == to ||
        from->Storage().pool != D3DPOOL_SYSTEMMEM || to->Storage().pool != D3DPOOL_DEFAULT ||
        from->Storage().format != to->Storage().format || from->IsLocked() || to->IsLocked()) {
        return D3DERR_INVALIDCALL;
    }
    const RECT rect = sourceRect != nullptr ? *sourceRect : from->WholeRect();
    const POINT point = destPoint != nullptr ? *destPoint : POINT{0, 0};
    if (!from->IsValidRect(rect) || point.x < 0 || point.y < 0) {
        return D3DERR_INVALIDCALL;
    }
    // The far corner in 64 bits: a point near the top of LONG's range must
    // not wrap around into the surface.
    const std::int64_t right = std::int64_t{point.x} + (rect.right - rect.left);
    const std::int64_t bottom = std::int64_t{point.y} + (rect.bottom - rect.top);
    if (right > to->Storage().width || bottom > to->Storage().height) {
        return D3DERR_INVALIDCALL;
    }
    const RECT target{point.x, point.y, static_cast<LONG>(right), static_cast<LONG>(bottom)};
    if (!to->IsValidRect(target)) {
        return D3DERR_INVALIDCALL;
    }
    CopyRect(*from, rect, *to, static_cast<UINT>(point.x), static_cast<UINT>(point.y));
    return S_OK;
}

HRESULT UpdateTextureResource(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
    const TextureFacts* from = FactsOf(source);
    const TextureFacts* to = FactsOf(destination);
    if (from == nullptr || to == nullptr || from == to || from->pool != D3DPOOL_SYSTEMMEM ||
        to->pool != D3DPOOL_DEFAULT || from->type != to->type || from->format != to->format) {
        return D3DERR_INVALIDCALL;
    }
    switch (from->type) {
        case D3DRTYPE_TEXTURE:
            return UpdatePlain(*ResourceCast<TextureObject>(source),
                               *ResourceCast<TextureObject>(destination));
        case D3DRTYPE_CUBETEXTURE:
            return UpdateCube(*ResourceCast<CubeTextureObject>(source),
                              *ResourceCast<CubeTextureObject>(destination));
        default:
            return UpdateVolume(*ResourceCast<VolumeTextureObject>(source),
                                *ResourceCast<VolumeTextureObject>(destination));
    }
}
