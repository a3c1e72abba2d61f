#include "runtime/d3d9/volume.h"

#include <new>

#include "runtime/d3d9/lock_rules.h"
#include "runtime/d3d9/resource_sizes.h"

HRESULT VolumeObject::Create(DeviceContext& device, UINT width, UINT height, UINT depth,
                             D3DFORMAT format, D3DPOOL pool, DWORD usage, IUnknown* container,
                             std::unique_ptr<VolumeObject>* volume) {
    FormatLayout layout{};
    if (width == 0 || height == 0 || depth == 0 || !LayoutOf(format, &layout) || layout.block) {
        return D3DERR_INVALIDCALL;
    }
    LevelSize size{};
    if (!LevelSizeOf(layout, width, height, depth, AllocationLimitOf(device.Profile()), &size)) {
        return OutOfMemoryIn(pool);
    }
    std::unique_ptr<VolumeObject> object(new (std::nothrow) VolumeObject(device, container));
    if (!object) {
        return OutOfMemoryIn(pool);
    }
    try {
        object->bytes_.assign(size.bytes, 0);
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(pool);
    }
    object->bytesPerPixel_ = layout.bytes;
    object->rowPitch_ = size.rowPitch;
    object->slicePitch_ = size.slicePitch;
    object->desc_ = {format, D3DRTYPE_VOLUME, usage, pool, width, height, depth};
    *volume = std::move(object);
    return S_OK;
}

HRESULT VolumeObject::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DVolume9) {
        AddRef();
        *object = static_cast<IDirect3DVolume9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT VolumeObject::GetDevice(IDirect3DDevice9** device) {
    return device_.HandOutDevice(device);
}

HRESULT VolumeObject::GetContainer(REFIID riid, void** container) {
    if (container == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *container = nullptr;
    return container_->QueryInterface(riid, container);
}

HRESULT VolumeObject::GetDesc(D3DVOLUME_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *desc = desc_;
    return S_OK;
}

HRESULT VolumeObject::LockBox(D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) {
    HRESULT failure = S_OK;
    if (device_.InjectedFailure("IDirect3DVolume9::LockBox", &failure)) {
        return failure;
    }
    return Lock(locked, box, flags);
}

HRESULT VolumeObject::UnlockBox() {
    return Unlock();
}

HRESULT VolumeObject::Lock(D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) {
    if (locked == nullptr ||
        FAILED(CheckLock({LockedKind::Volume, desc_.Pool, desc_.Usage, false, locked_}, flags))) {
        return D3DERR_INVALIDCALL;
    }
    std::size_t offset = 0;
    if (box != nullptr) {
        if (box->Left >= box->Right || box->Top >= box->Bottom || box->Front >= box->Back ||
            box->Right > desc_.Width || box->Bottom > desc_.Height || box->Back > desc_.Depth) {
            return D3DERR_INVALIDCALL;
        }
        offset = static_cast<std::size_t>(box->Front) * slicePitch_ +
                 static_cast<std::size_t>(box->Top) * rowPitch_ + box->Left * bytesPerPixel_;
    }
    locked->RowPitch = static_cast<INT>(rowPitch_);
    locked->SlicePitch = static_cast<INT>(slicePitch_);
    locked->pBits = bytes_.data() + offset;
    locked_ = true;
    return S_OK;
}

HRESULT VolumeObject::Unlock() {
    if (!locked_) {
        return D3DERR_INVALIDCALL;
    }
    locked_ = false;
    return S_OK;
}
