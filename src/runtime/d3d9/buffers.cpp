#include "runtime/d3d9/buffers.h"

#include <memory>
#include <new>

#include "runtime/d3d9/lock_rules.h"
#include "runtime/d3d9/resource_sizes.h"

namespace {

constexpr DWORD kBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING;

// The pool and usage rules shared by both kinds of buffer.
bool ValidBuffer(UINT length, DWORD usage, D3DPOOL pool) {
    return length != 0 && (usage & ~kBufferUsages) == 0 && pool <= D3DPOOL_SYSTEMMEM &&
           !((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED);
}

template <class Object, class Interface, class Desc>
HRESULT CreateBuffer(DeviceContext& device, const Desc& desc, Interface** buffer) {
    std::unique_ptr<Object> object(new (std::nothrow) Object(device, desc));
    if (!object) {
        return OutOfMemoryIn(desc.Pool);
    }
    const HRESULT hr = object->Initialise();
    if (FAILED(hr)) {
        return hr;
    }
    *buffer = object.release();
    return S_OK;
}

}  // namespace

template <class Interface, class Desc>
HRESULT BufferObject<Interface, Desc>::Initialise() {
    const HRESULT hr = CheckAllocation(device_.Profile(), desc_.Pool, desc_.Size);
    if (FAILED(hr)) {
        return hr;
    }
    if (!identity_.Registered()) {
        return OutOfMemoryIn(desc_.Pool);
    }
    try {
        bytes_.assign(desc_.Size, 0);
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(desc_.Pool);
    }
    storage_ = {bytes_.data(), desc_.Size, desc_.Format};
    device_.ResourceCreated(desc_.Pool);
    reported_ = true;
    return S_OK;
}

template <class Interface, class Desc>
HRESULT BufferObject<Interface, Desc>::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
        riid == BufferTraits<Interface>::kPublic) {
        this->AddRef();
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

template <class Interface, class Desc>
HRESULT BufferObject<Interface, Desc>::GetDevice(IDirect3DDevice9** device) {
    return device_.HandOutDevice(device);
}

template <class Interface, class Desc>
HRESULT BufferObject<Interface, Desc>::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    HRESULT failure = S_OK;
    if (device_.InjectedFailure(BufferTraits<Interface>::kLock, &failure)) {
        return failure;
    }
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    if (FAILED(CheckLock({LockedKind::Buffer, desc_.Pool, desc_.Usage, false, lockCount_ != 0},
                         flags))) {
        return D3DERR_INVALIDCALL;
    }
    // A size of 0 locks from offset to the end.
    if (offset > desc_.Size || (size != 0 && size > desc_.Size - offset) ||
        (size == 0 && offset == desc_.Size && offset != 0)) {
        return D3DERR_INVALIDCALL;
    }
    *data = bytes_.data() + offset;
    ++lockCount_;
    device_.BufferLocked(this, offset, size, flags);
    return S_OK;
}

template <class Interface, class Desc>
HRESULT BufferObject<Interface, Desc>::Unlock() {
    if (lockCount_ == 0) {
        return D3DERR_INVALIDCALL;
    }
    --lockCount_;
    return S_OK;
}

template class BufferObject<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class BufferObject<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

HRESULT CreateVertexBufferResource(DeviceContext& device, UINT length, DWORD usage, DWORD fvf,
                                   D3DPOOL pool, IDirect3DVertexBuffer9** buffer) {
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (!ValidBuffer(length, usage, pool)) {
        return D3DERR_INVALIDCALL;
    }
    const D3DVERTEXBUFFER_DESC desc{
        D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    return CreateBuffer<VertexBufferObject>(device, desc, buffer);
}

HRESULT CreateIndexBufferResource(DeviceContext& device, UINT length, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DIndexBuffer9** buffer) {
    if (buffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (!ValidBuffer(length, usage, pool) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
        return D3DERR_INVALIDCALL;
    }
    const D3DINDEXBUFFER_DESC desc{format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    return CreateBuffer<IndexBufferObject>(device, desc, buffer);
}

const BufferStorage* StorageOf(IDirect3DVertexBuffer9* buffer) {
    VertexBufferObject* object = ResourceCast<VertexBufferObject>(buffer);
    return object == nullptr ? nullptr : &object->Storage();
}

const BufferStorage* StorageOf(IDirect3DIndexBuffer9* buffer) {
    IndexBufferObject* object = ResourceCast<IndexBufferObject>(buffer);
    return object == nullptr ? nullptr : &object->Storage();
}

DeviceChild* ChildOf(IDirect3DVertexBuffer9* buffer) {
    return ResourceCast<VertexBufferObject>(buffer);
}

DeviceChild* ChildOf(IDirect3DIndexBuffer9* buffer) {
    return ResourceCast<IndexBufferObject>(buffer);
}
