#include "pixel/volume_lock.h"

#include "pixel/locked_area.h"
#include "platform/diagnostics.h"
#include "vellorn/result_codes.h"

namespace {

bool SameArea(const PixelBox& a, const PixelBox& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom &&
           a.front == b.front && a.back == b.back;
}

// Whether volume is the only level of a volume texture.
bool IsOnlyLevel(IDirect3DVolume9* volume) {
    void* container = nullptr;
    if (FAILED(volume->GetContainer(IID_IDirect3DVolumeTexture9, &container)) ||
        container == nullptr) {
        return false;
    }
    const auto texture =
        ComPtr<IDirect3DVolumeTexture9>::Adopt(static_cast<IDirect3DVolumeTexture9*>(container));
    return texture->GetLevelCount() == 1;
}

}  // namespace

HRESULT VolumeLock::Open(IDirect3DVolume9* volume, const PALETTEENTRY* palette, const D3DBOX* box,
                         DWORD colorKey, DWORD options, SurfaceDesc* desc) {
    Close();
    D3DVOLUME_DESC info{};
    HRESULT hr = volume->GetDesc(&info);
    if (FAILED(hr)) {
        return hr;
    }
    const PixelBox whole = {0, 0, info.Width, info.Height, 0, info.Depth};
    const PixelBox area = box != nullptr ? PixelBox{box->Left,   box->Top,   box->Right,
                                                    box->Bottom, box->Front, box->Back}
                                         : whole;
    if (area.left > area.right || area.right > info.Width || area.top > area.bottom ||
        area.bottom > info.Height || area.front > area.back || area.back > info.Depth) {
        DebugMessage(0, "Invalid source box");
        return D3DERR_INVALIDCALL;
    }
    if (area.left == area.right || area.top == area.bottom || area.front == area.back) {
        // An empty box selects no texel: nothing needs to be locked.
        *desc = {};
        desc->format = info.Format;
        desc->colorKey = colorKey;
        desc->palette = palette;
        return S_OK;
    }
    if (info.Pool == D3DPOOL_DEFAULT && (info.Usage & D3DUSAGE_DYNAMIC) == 0) {
        DebugMessage(0, "Cannot lock non-dynamic vidmem volumes");
        return D3DERR_INVALIDCALL;
    }
    const PixelBox widened = WidenToStorageUnits(info.Format, info.Width, info.Height, area);
    const bool partial = !SameArea(widened, whole);
    const bool readOnly = (options & kLockReadOnly) != 0;
    DWORD flags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
    // Only a caller's box of the whole volume overwrites every texel.
    if (SameArea(area, whole) && !readOnly && (info.Usage & D3DUSAGE_DYNAMIC) != 0 &&
        ((options & kLockOverwrite) != 0 || IsOnlyLevel(volume))) {
        flags |= D3DLOCK_DISCARD;
    }
    const D3DBOX lockArea = {widened.left,   widened.top,   widened.right,
                             widened.bottom, widened.front, widened.back};
    D3DLOCKED_BOX locked{};
    hr = volume->LockBox(&locked, partial ? &lockArea : nullptr, flags);
    if (FAILED(hr)) {
        DebugMessage(0, "Could not lock volume");
        return hr;
    }
    volume_ = ComPtr<IDirect3DVolume9>(volume);

    *desc = {};
    desc->data = locked.pBits;
    desc->format = info.Format;
    desc->rowPitch = static_cast<UINT>(locked.RowPitch);
    desc->slicePitch = static_cast<UINT>(locked.SlicePitch);
    // Box and extent are relative to the locked area, where data points.
    desc->extent = Rebased(widened, widened);
    desc->box = Rebased(area, widened);
    desc->colorKey = colorKey;
    desc->palette = palette;
    return S_OK;
}

void VolumeLock::Close() {
    if (volume_) {
        volume_->UnlockBox();
        volume_.Reset();
    }
}
