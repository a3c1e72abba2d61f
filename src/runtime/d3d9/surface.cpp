#include "runtime/d3d9/surface.h"

#include <new>

#include "runtime/d3d9/lock_rules.h"
#include "runtime/d3d9/resource_sizes.h"

HRESULT SurfaceObject::Create(DeviceContext& device, UINT width, UINT height, D3DFORMAT format,
                              D3DPOOL pool, DWORD usage, bool lockable, IUnknown* container,
                              std::unique_ptr<SurfaceObject>* surface) {
    FormatLayout layout{};
    if (width == 0 || height == 0 || !LayoutOf(format, &layout)) {
        return D3DERR_INVALIDCALL;
    }
    LevelSize size{};
    if (!LevelSizeOf(layout, width, height, 1, AllocationLimitOf(device.Profile()), &size)) {
        return OutOfMemoryIn(pool);
    }
    std::unique_ptr<SurfaceObject> object(new (std::nothrow) SurfaceObject(device, container));
    if (!object || !object->identity_.Registered()) {
        return OutOfMemoryIn(pool);
    }
    try {
        object->bytes_.assign(size.bytes, 0);
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(pool);
    }
    object->layout_ = layout;
    object->storage_ = {object->bytes_.data(), size.rowPitch, width, height, format, pool, usage};
    object->lockable_ = lockable;
    if (container == nullptr) {
        device.ResourceCreated(pool);
        object->reported_ = true;
    }
    *surface = std::move(object);
    return S_OK;
}

SurfaceObject::~SurfaceObject() {
    if (reported_) {
        device_.ResourceDestroyed(storage_.pool);
    }
}

HRESULT SurfaceObject::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
        AddRef();
        *object = static_cast<IDirect3DSurface9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG SurfaceObject::AddRef() {
    if (container_ != nullptr) {
        return container_->AddRef();
    }
    return AddReference();
}

ULONG SurfaceObject::Release() {
    if (container_ != nullptr) {
        return container_->Release();
    }
    return ReleaseReference();
}

HRESULT SurfaceObject::GetDevice(IDirect3DDevice9** device) {
    return device_.HandOutDevice(device);
}

DWORD SurfaceObject::SetPriority(DWORD priority) {
    return ExchangePriority(&priority_, priority, storage_.pool);
}

DWORD SurfaceObject::GetPriority() {
    return priority_;
}

HRESULT SurfaceObject::GetContainer(REFIID riid, void** container) {
    if (container == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *container = nullptr;
    if (container_ != nullptr) {
        return container_->QueryInterface(riid, container);
    }
    // A stand-alone surface's container is the device.
    IDirect3DDevice9* device = device_.PublicDevice();
    if (device == nullptr) {
        return E_NOINTERFACE;
    }
    return device->QueryInterface(riid, container);
}

HRESULT SurfaceObject::GetDesc(D3DSURFACE_DESC* desc) {
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *desc = {storage_.format, D3DRTYPE_SURFACE,    storage_.usage,
             storage_.pool,   D3DMULTISAMPLE_NONE, 0,
             storage_.width,  storage_.height};
    return S_OK;
}

HRESULT SurfaceObject::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    HRESULT failure = S_OK;
    if (device_.InjectedFailure("IDirect3DSurface9::LockRect", &failure)) {
        return failure;
    }
    return Lock(locked, rect, flags);
}

HRESULT SurfaceObject::UnlockRect() {
    HRESULT failure = S_OK;
    if (device_.InjectedFailure("IDirect3DSurface9::UnlockRect", &failure)) {
        return failure;
    }
    return Unlock();
}

bool SurfaceObject::IsValidRect(const RECT& rect) const {
    if (rect.left < 0 || rect.top < 0 || rect.left >= rect.right || rect.top >= rect.bottom ||
        static_cast<UINT>(rect.right) > storage_.width ||
        static_cast<UINT>(rect.bottom) > storage_.height) {
        return false;
    }
    if (layout_.block) {
        const auto edgeOk = [](LONG edge, UINT size) {
            return edge % 4 == 0 || static_cast<UINT>(edge) == size;
        };
        return rect.left % 4 == 0 && rect.top % 4 == 0 && edgeOk(rect.right, storage_.width) &&
               edgeOk(rect.bottom, storage_.height);
    }
    return true;
}

BYTE* SurfaceObject::Address(UINT x, UINT y) {
    if (layout_.block) {
        return storage_.data + static_cast<std::size_t>(y / 4) * storage_.pitch +
               (x / 4) * layout_.bytes;
    }
    return storage_.data + static_cast<std::size_t>(y) * storage_.pitch + x * layout_.bytes;
}

HRESULT SurfaceObject::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (locked == nullptr ||
        FAILED(CheckLock({LockedKind::Surface, storage_.pool, storage_.usage, lockable_, locked_},
                         flags))) {
        return D3DERR_INVALIDCALL;
    }
    UINT x = 0;
    UINT y = 0;
    if (rect != nullptr) {
        if (!IsValidRect(*rect)) {
            return D3DERR_INVALIDCALL;
        }
        x = static_cast<UINT>(rect->left);
        y = static_cast<UINT>(rect->top);
    }
    locked->Pitch = static_cast<INT>(storage_.pitch);
    locked->pBits = Address(x, y);
    locked_ = true;
    lockFlags_ = flags;
    return S_OK;
}

HRESULT SurfaceObject::Unlock() {
    if (!locked_) {
        return D3DERR_INVALIDCALL;
    }
    locked_ = false;
    if ((lockFlags_ & D3DLOCK_READONLY) == 0) {
        MarkChanged();
    }
    return S_OK;
}
