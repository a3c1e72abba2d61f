#include "pixel/surface_lock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "pixel/format_groups.h"
#include "pixel/locked_area.h"
#include "platform/diagnostics.h"
#include "vellorn/result_codes.h"

namespace {

bool SameArea(const PixelBox& a, const PixelBox& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Whether surface is the only level of a texture.
bool IsOnlyLevel(IDirect3DSurface9* surface) {
    void* container = nullptr;
    if (FAILED(surface->GetContainer(IID_IDirect3DTexture9, &container)) || container == nullptr) {
        return false;
    }
    const auto texture =
        ComPtr<IDirect3DTexture9>::Adopt(static_cast<IDirect3DTexture9*>(container));
    return texture->GetLevelCount() == 1;
}

// Copies every row of from into to (block formats: every row of blocks), as
// many bytes per row as the smaller pitch holds.
HRESULT CopyRows(IDirect3DSurface9* from, IDirect3DSurface9* to, D3DFORMAT format, UINT height) {
    D3DLOCKED_RECT source{};
    HRESULT hr = from->LockRect(&source, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        return hr;
    }
    D3DLOCKED_RECT destination{};
    hr = to->LockRect(&destination, nullptr, 0);
    if (FAILED(hr)) {
        from->UnlockRect();
        return hr;
    }
    const UINT rows = IsBlockFormat(format) ? (height + 3) / 4 : height;
    const std::size_t bytes =
        static_cast<std::size_t>(std::max(0, std::min(source.Pitch, destination.Pitch)));
    for (UINT row = 0; row < rows; ++row) {
        std::memcpy(static_cast<BYTE*>(destination.pBits) + std::size_t{row} * destination.Pitch,
                    static_cast<const BYTE*>(source.pBits) + std::size_t{row} * source.Pitch,
                    bytes);
    }
    to->UnlockRect();
    from->UnlockRect();
    return S_OK;
}

// Copies surface into scratch through a lockable render target of its size
// and format, for surfaces the device lets nobody lock.
HRESULT CopyThroughRenderTarget(IDirect3DDevice9* device, IDirect3DSurface9* surface,
                                IDirect3DSurface9* scratch, const D3DSURFACE_DESC& info) {
    ComPtr<IDirect3DSurface9> target;
    HRESULT hr =
        device->CreateRenderTarget(info.Width, info.Height, info.Format, D3DMULTISAMPLE_NONE, 0,
                                   TRUE, target.ReleaseAndGetAddressOf(), nullptr);
    if (SUCCEEDED(hr)) {
        hr = device->StretchRect(surface, nullptr, target.Get(), nullptr, D3DTEXF_NONE);
    }
    if (SUCCEEDED(hr)) {
        hr = CopyRows(target.Get(), scratch, info.Format, info.Height);
    }
    return hr;
}

}  // namespace

HRESULT SurfaceLock::Open(IDirect3DSurface9* surface, const PALETTEENTRY* palette, const RECT* rect,
                          DWORD colorKey, DWORD options, SurfaceDesc* desc) {
    Close();
    D3DSURFACE_DESC info{};
    HRESULT hr = surface->GetDesc(&info);
    if (FAILED(hr)) {
        return hr;
    }
    if (rect != nullptr &&
        (rect->left < 0 || rect->left > rect->right || std::int64_t{rect->right} > info.Width ||
         rect->top < 0 || rect->top > rect->bottom || std::int64_t{rect->bottom} > info.Height)) {
        DebugMessage(0, "Invalid rect");
        return D3DERR_INVALIDCALL;
    }
    const PixelBox whole = {0, 0, info.Width, info.Height, 0, 1};
    const PixelBox area = rect != nullptr ? PixelBox{static_cast<UINT>(rect->left),
                                                     static_cast<UINT>(rect->top),
                                                     static_cast<UINT>(rect->right),
                                                     static_cast<UINT>(rect->bottom),
                                                     0,
                                                     1}
                                          : whole;
    if (area.left == area.right || area.top == area.bottom) {
        // An empty rect selects no texel: nothing needs to be locked.
        *desc = {};
        desc->format = info.Format;
        desc->colorKey = colorKey;
        desc->palette = palette;
        return S_OK;
    }
    // The caller writes every texel only when its own rect is the whole
    // surface: a rect that widens to the whole surface still leaves texels of
    // its blocks or pairs that must keep their contents.
    const bool readOnly = (options & kLockReadOnly) != 0;
    const bool overwritesAll = !readOnly && SameArea(area, whole);
    const PixelBox widened = WidenToStorageUnits(info.Format, info.Width, info.Height, area);
    const bool partial = !SameArea(widened, whole);
    const DWORD flags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
    // A partial area lies inside a rect given by the caller, so it fits a RECT.
    const RECT lockArea = {static_cast<LONG>(widened.left), static_cast<LONG>(widened.top),
                           static_cast<LONG>(widened.right), static_cast<LONG>(widened.bottom)};
    const RECT* lockRect = partial ? &lockArea : nullptr;

    surface_ = ComPtr<IDirect3DSurface9>(surface);
    info_ = info;
    D3DLOCKED_RECT locked{};
    if ((options & kLockScratchCopy) == 0) {
        DWORD directFlags = flags;
        if (overwritesAll && (info.Usage & D3DUSAGE_DYNAMIC) != 0 &&
            ((options & kLockOverwrite) != 0 || IsOnlyLevel(surface))) {
            directFlags |= D3DLOCK_DISCARD;
        }
        SetDebugMute(TRUE);
        hr = surface->LockRect(&locked, lockRect, directFlags);
        SetDebugMute(FALSE);
        if (FAILED(hr)) {
            options |= kLockScratchCopy;
        }
    }
    if ((options & kLockScratchCopy) != 0) {
        hr = OpenScratch(lockRect, !overwritesAll, flags, &locked);
        if (FAILED(hr)) {
            scratch_.Reset();
            scratchTexture_.Reset();
            device_.Reset();
            surface_.Reset();
            return hr;
        }
    }
    options_ = options;

    *desc = {};
    desc->data = locked.pBits;
    desc->format = info.Format;
    desc->rowPitch = static_cast<UINT>(locked.Pitch);
    desc->slicePitch = 0;
    // Box and extent are relative to the locked area, where data points.
    desc->extent = Rebased(widened, widened);
    desc->box = Rebased(area, widened);
    desc->colorKey = colorKey;
    desc->palette = palette;
    return S_OK;
}

HRESULT SurfaceLock::OpenScratch(const RECT* lockRect, bool copyContents, DWORD flags,
                                 D3DLOCKED_RECT* locked) {
    const D3DSURFACE_DESC& info = info_;
    // Block formats need a scratch texture whose level 0 is whole blocks: the
    // copy is level shift of a texture 2^shift times the size.
    UINT shift = 0;
    if (IsBlockFormat(info.Format)) {
        while ((((info.Width | info.Height) << shift) & 3) != 0) {
            ++shift;
        }
    }
    const std::uint64_t scratchWidth = std::uint64_t{info.Width} << shift;
    const std::uint64_t scratchHeight = std::uint64_t{info.Height} << shift;
    HRESULT hr = surface_->GetDevice(device_.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) && (scratchWidth > std::numeric_limits<UINT>::max() ||
                          scratchHeight > std::numeric_limits<UINT>::max())) {
        hr = D3DERR_INVALIDCALL;
    }
    if (SUCCEEDED(hr)) {
        const D3DPOOL pool = info.Pool == D3DPOOL_SCRATCH ? D3DPOOL_SCRATCH : D3DPOOL_SYSTEMMEM;
        hr = device_->CreateTexture(static_cast<UINT>(scratchWidth),
                                    static_cast<UINT>(scratchHeight), shift + 1, 0, info.Format,
                                    pool, scratchTexture_.ReleaseAndGetAddressOf(), nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = scratchTexture_->GetSurfaceLevel(shift, scratch_.ReleaseAndGetAddressOf());
    }
    if (FAILED(hr)) {
        DebugMessage(0, "Failed to create scratch copy of vidmem surface");
        return hr;
    }
    if (copyContents) {
        hr = CopyRows(surface_.Get(), scratch_.Get(), info.Format, info.Height);
        if (FAILED(hr) && shift == 0) {
            hr = CopyThroughRenderTarget(device_.Get(), surface_.Get(), scratch_.Get(), info);
        }
        if (FAILED(hr)) {
            return hr;
        }
    }
    hr = scratch_->LockRect(locked, lockRect, flags);
    if (FAILED(hr)) {
        DebugMessage(0, "Could not lock surface");
    }
    return hr;
}

void SurfaceLock::Close() {
    if (!surface_) {
        return;
    }
    if (scratch_) {
        scratch_->UnlockRect();
        if ((options_ & kLockReadOnly) == 0) {
            HRESULT hr = device_->UpdateSurface(scratch_.Get(), nullptr, surface_.Get(), nullptr);
            if (FAILED(hr)) {
                hr = CopyRows(scratch_.Get(), surface_.Get(), info_.Format, info_.Height);
            }
            if (FAILED(hr)) {
                DebugMessage(0, "Update of vidmem texture failed");
            }
        }
    } else {
        surface_->UnlockRect();
    }
    scratch_.Reset();
    scratchTexture_.Reset();
    device_.Reset();
    surface_.Reset();
    options_ = 0;
}
