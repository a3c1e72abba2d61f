// Vertex and index buffers: a block of bytes with nested locks. Discard and
// no-overwrite locks are for dynamic buffers only. Drawing reads a buffer at
// the time of the draw call, so the memory a discard lock hands back may be
// the same memory: nothing already drawn can be disturbed by writing to it.
#pragma once

#include <vector>

#include "runtime/d3d9/device_child.h"
#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_object.h"

// Per kind of buffer: its public identifier, its resource kind and the name
// its Lock has in the call log.
template <class Interface>
struct BufferTraits;
template <>
struct BufferTraits<IDirect3DVertexBuffer9> {
    static constexpr const IID& kPublic = IID_IDirect3DVertexBuffer9;
    static constexpr ResourceKind kKind = ResourceKind::VertexBuffer;
    static constexpr const char* kLock = "IDirect3DVertexBuffer9::Lock";
};
template <>
struct BufferTraits<IDirect3DIndexBuffer9> {
    static constexpr const IID& kPublic = IID_IDirect3DIndexBuffer9;
    static constexpr ResourceKind kKind = ResourceKind::IndexBuffer;
    static constexpr const char* kLock = "IDirect3DIndexBuffer9::Lock";
};

template <class Interface, class Desc>
class BufferObject final : public DeviceChildObject<Interface> {
  public:
    static constexpr ResourceKind kResourceKind = BufferTraits<Interface>::kKind;

    BufferObject(DeviceContext& device, const Desc& desc)
        : DeviceChildObject<Interface>(device.PublicDevice()),
          identity_(this, kResourceKind),
          device_(device),
          desc_(desc) {}
    ~BufferObject() override {
        if (reported_) {
            device_.ResourceDestroyed(desc_.Pool);
        }
    }

    // Allocates the bytes (within the device's allocation limit) and reports
    // the buffer to the device.
    HRESULT Initialise();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD priority) override {
        return ExchangePriority(&priority_, priority, desc_.Pool);
    }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return desc_.Type; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(Desc* desc) override {
        if (desc == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *desc = desc_;
        return S_OK;
    }

    const BufferStorage& Storage() const { return storage_; }
    UINT LockCount() const { return lockCount_; }

  private:
    ResourceIdentity identity_;
    DeviceContext& device_;
    Desc desc_;
    std::vector<BYTE> bytes_;
    BufferStorage storage_{};
    UINT lockCount_ = 0;
    DWORD priority_ = 0;
    bool reported_ = false;
};

using VertexBufferObject = BufferObject<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBufferObject = BufferObject<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;
