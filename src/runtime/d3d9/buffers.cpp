#include "runtime/d3d9/buffers.h"

#include <memory>
#include <new>

#include "runtime/d3d9/resource_identity.h"

namespace {

template <class Interface>
struct BufferIds;
template <>
struct BufferIds<IDirect3DVertexBuffer9> {
    static constexpr const IID& kPublic = IID_IDirect3DVertexBuffer9;
    static constexpr const IID& kPrivate = IID_VellornVertexBufferObject;
    static constexpr const char* kLock = "IDirect3DVertexBuffer9::Lock";
};
template <>
struct BufferIds<IDirect3DIndexBuffer9> {
    static constexpr const IID& kPublic = IID_IDirect3DIndexBuffer9;
    static constexpr const IID& kPrivate = IID_VellornIndexBufferObject;
    static constexpr const char* kLock = "IDirect3DIndexBuffer9::Lock";
};

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
        return E_OUTOFMEMORY;
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
    try {
        bytes_.assign(desc_.Size, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
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
    if (riid == BufferIds<Interface>::kPrivate) {
        *object = this;
        return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
        riid == BufferIds<Interface>::kPublic) {
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
    if (device_.InjectedFailure(BufferIds<Interface>::kLock, &failure)) {
        return failure;
    }
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    const bool dynamic = (desc_.Usage & D3DUSAGE_DYNAMIC) != 0;
    const bool discard = (flags & D3DLOCK_DISCARD) != 0;
    const bool noOverwrite = (flags & D3DLOCK_NOOVERWRITE) != 0;
    // Discard and no-overwrite are promises about memory in use by the
    // device, made only for dynamic buffers; the two exclude each other and
    // a read-only lock.
    if (((discard || noOverwrite) && !dynamic) || (discard && noOverwrite) ||
        ((discard || noOverwrite) && (flags & D3DLOCK_READONLY) != 0)) {
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
    VertexBufferObject* object =
        ImplementationOf<VertexBufferObject>(buffer, IID_VellornVertexBufferObject);
    return object == nullptr ? nullptr : &object->Storage();
}

const BufferStorage* StorageOf(IDirect3DIndexBuffer9* buffer) {
    IndexBufferObject* object =
        ImplementationOf<IndexBufferObject>(buffer, IID_VellornIndexBufferObject);
    return object == nullptr ? nullptr : &object->Storage();
}
