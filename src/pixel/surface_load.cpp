// The surface and volume loads: from caller memory, from another surface or
// volume. Each locks its sides, describes them and runs one conversion.
#include <cstdint>
#include <cstring>

#include "pixel/image_filter.h"
#include "pixel/memory_image.h"
#include "pixel/surface_lock.h"
#include "pixel/volume_lock.h"
#include "platform/diagnostics.h"
#include "vellorn/d3dx_texture.h"
#include "vellorn/result_codes.h"

namespace {

DWORD ResolveFilter(DWORD filter) {
    return filter == D3DX_DEFAULT ? kDefaultLoadFilter : filter;
}

// Locks rect of destination, converts source into it and closes the lock,
// which writes a scratch copy back.
HRESULT LoadIntoSurface(IDirect3DSurface9* destination, const PALETTEENTRY* palette,
                        const RECT* rect, const SurfaceDesc& source, DWORD filter) {
    SurfaceLock lock;
    SurfaceDesc target{};
    HRESULT hr = lock.Open(destination, palette, rect, 0, 0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    hr = RunImageFilter(source, target, ResolveFilter(filter));
    lock.Close();
    return hr;
}

HRESULT LoadIntoVolume(IDirect3DVolume9* destination, const PALETTEENTRY* palette,
                       const D3DBOX* box, const SurfaceDesc& source, DWORD filter) {
    VolumeLock lock;
    SurfaceDesc target{};
    HRESULT hr = lock.Open(destination, palette, box, 0, 0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    hr = RunImageFilter(source, target, ResolveFilter(filter));
    lock.Close();
    return hr;
}

bool SamePalettes(const PALETTEENTRY* a, const PALETTEENTRY* b) {
    return a == b || (a != nullptr && b != nullptr && std::memcmp(a, b, 256 * sizeof *a) == 0);
}

// Width and height of rect, or of the whole surface for none.
void AreaSize(const RECT* rect, const D3DSURFACE_DESC& info, std::int64_t* width,
              std::int64_t* height) {
    *width = rect != nullptr ? std::int64_t{rect->right} - rect->left : info.Width;
    *height = rect != nullptr ? std::int64_t{rect->bottom} - rect->top : info.Height;
}

// The device's own copies: a stretch copy without filtering between two
// default-pool surfaces, a surface update from system memory into the
// default pool. Any other pool pair answers E_FAIL.
HRESULT DeviceCopy(IDirect3DSurface9* destination, const D3DSURFACE_DESC& destinationInfo,
                   const RECT* destinationRect, IDirect3DSurface9* source,
                   const D3DSURFACE_DESC& sourceInfo, const RECT* sourceRect) {
    if (destinationInfo.Pool != D3DPOOL_DEFAULT ||
        (sourceInfo.Pool != D3DPOOL_DEFAULT && sourceInfo.Pool != D3DPOOL_SYSTEMMEM)) {
        return E_FAIL;
    }
    ComPtr<IDirect3DDevice9> device;
    HRESULT hr = destination->GetDevice(device.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    SetDebugMute(TRUE);
    if (sourceInfo.Pool == D3DPOOL_DEFAULT) {
        hr = device->StretchRect(source, sourceRect, destination, destinationRect, D3DTEXF_NONE);
    } else {
        const POINT corner = destinationRect != nullptr
                                 ? POINT{destinationRect->left, destinationRect->top}
                                 : POINT{0, 0};
        hr = device->UpdateSurface(source, sourceRect, destination,
                                   destinationRect != nullptr ? &corner : nullptr);
    }
    SetDebugMute(FALSE);
    return hr;
}

}  // namespace

HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface9* pDestSurface, const PALETTEENTRY* pDestPalette,
                                  const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                  UINT SrcPitch, const PALETTEENTRY* pSrcPalette,
                                  const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
    if (pDestSurface == nullptr) {
        DebugMessage(0, "pDestSurface pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcMemory == nullptr) {
        DebugMessage(0, "pSrcMemory pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcRect == nullptr) {
        DebugMessage(0, "pSrcRect pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    const RECT& r = *pSrcRect;
    SurfaceDesc source{};
    if (r.left < 0 || r.top < 0 ||
        !DescribeMemoryImage(
            pSrcMemory, SrcFormat, SrcPitch, 0,
            PixelBox{static_cast<UINT>(r.left), static_cast<UINT>(r.top),
                     static_cast<UINT>(r.right), static_cast<UINT>(r.bottom), 0, 1},
            ColorKey, pSrcPalette, &source)) {
        DebugMessage(0, "Invalid rect");
        return D3DERR_INVALIDCALL;
    }
    return LoadIntoSurface(pDestSurface, pDestPalette, pDestRect, source, Filter);
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* pDestSurface,
                                   const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                   IDirect3DSurface9* pSrcSurface, const PALETTEENTRY* pSrcPalette,
                                   const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
    if (pDestSurface == nullptr) {
        DebugMessage(0, "pDestSurface pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcSurface == nullptr) {
        DebugMessage(0, "pSrcSurface pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    D3DSURFACE_DESC destinationInfo{};
    D3DSURFACE_DESC sourceInfo{};
    HRESULT hr = pDestSurface->GetDesc(&destinationInfo);
    if (SUCCEEDED(hr)) {
        hr = pSrcSurface->GetDesc(&sourceInfo);
    }
    if (FAILED(hr)) {
        return hr;
    }

    std::int64_t destinationWidth = 0;
    std::int64_t destinationHeight = 0;
    std::int64_t sourceWidth = 0;
    std::int64_t sourceHeight = 0;
    AreaSize(pDestRect, destinationInfo, &destinationWidth, &destinationHeight);
    AreaSize(pSrcRect, sourceInfo, &sourceWidth, &sourceHeight);
    if ((Filter & 0xFFFF) != D3DX_FILTER_BOX && ColorKey == 0 &&
        SamePalettes(pDestPalette, pSrcPalette) && destinationWidth == sourceWidth &&
        destinationHeight == sourceHeight &&
        SUCCEEDED(DeviceCopy(pDestSurface, destinationInfo, pDestRect, pSrcSurface, sourceInfo,
                             pSrcRect))) {
        return S_OK;
    }

    // Loading a surface into itself reads from a copy, so that no pixel is
    // read after it has been written.
    const DWORD options = kLockReadOnly | (pDestSurface == pSrcSurface ? kLockScratchCopy : 0);
    SurfaceLock lock;
    SurfaceDesc source{};
    hr = lock.Open(pSrcSurface, pSrcPalette, pSrcRect, ColorKey, options, &source);
    if (FAILED(hr)) {
        return hr;
    }
    hr = LoadIntoSurface(pDestSurface, pDestPalette, pDestRect, source, Filter);
    if (sourceInfo.Pool == D3DPOOL_DEFAULT && destinationInfo.Pool != D3DPOOL_DEFAULT) {
        // What was read from video memory is garbage if the device was lost
        // meanwhile.
        ComPtr<IDirect3DDevice9> device;
        if (FAILED(pSrcSurface->GetDevice(device.ReleaseAndGetAddressOf())) ||
            FAILED(device->TestCooperativeLevel())) {
            hr = D3DERR_DEVICELOST;
        }
    }
    lock.Close();
    return hr;
}

HRESULT D3DXLoadVolumeFromMemory(IDirect3DVolume9* pDestVolume, const PALETTEENTRY* pDestPalette,
                                 const D3DBOX* pDestBox, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                 UINT SrcRowPitch, UINT SrcSlicePitch,
                                 const PALETTEENTRY* pSrcPalette, const D3DBOX* pSrcBox,
                                 DWORD Filter, D3DCOLOR ColorKey) {
    if (pDestVolume == nullptr) {
        DebugMessage(0, "pDestVolume pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcMemory == nullptr) {
        DebugMessage(0, "pSrcMemory pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcBox == nullptr) {
        DebugMessage(0, "pSrcBox pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    const D3DBOX& b = *pSrcBox;
    SurfaceDesc source{};
    if (!DescribeMemoryImage(pSrcMemory, SrcFormat, SrcRowPitch, SrcSlicePitch,
                             PixelBox{b.Left, b.Top, b.Right, b.Bottom, b.Front, b.Back}, ColorKey,
                             pSrcPalette, &source)) {
        DebugMessage(0, "Invalid source box");
        return D3DERR_INVALIDCALL;
    }
    return LoadIntoVolume(pDestVolume, pDestPalette, pDestBox, source, Filter);
}

HRESULT D3DXLoadVolumeFromVolume(IDirect3DVolume9* pDestVolume, const PALETTEENTRY* pDestPalette,
                                 const D3DBOX* pDestBox, IDirect3DVolume9* pSrcVolume,
                                 const PALETTEENTRY* pSrcPalette, const D3DBOX* pSrcBox,
                                 DWORD Filter, D3DCOLOR ColorKey) {
    if (pDestVolume == nullptr) {
        DebugMessage(0, "pDestVolume pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (pSrcVolume == nullptr) {
        DebugMessage(0, "pSrcVolume pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    VolumeLock lock;
    SurfaceDesc source{};
    HRESULT hr = lock.Open(pSrcVolume, pSrcPalette, pSrcBox, ColorKey, kLockReadOnly, &source);
    if (FAILED(hr)) {
        return hr;
    }
    hr = LoadIntoVolume(pDestVolume, pDestPalette, pDestBox, source, Filter);
    lock.Close();
    return hr;
}
