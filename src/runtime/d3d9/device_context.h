// What a device resource needs of the device that made it: its public
// interface, its profile, fault injection and the call log with its lock
// records, and the count of live default-pool resources that Reset checks.
#pragma once

#include "runtime/d3d9/device_profile.h"
#include "vellorn/d3d9.h"

class DeviceContext {
  public:
    // The device's own interface, without a reference added.
    virtual IDirect3DDevice9* PublicDevice() = 0;
    virtual const DeviceProfile& Profile() const = 0;
    // GetDevice of a resource: the device's interface with a reference added.
    HRESULT HandOutDevice(IDirect3DDevice9** device) {
        if (device == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *device = PublicDevice();
        if (*device == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        (*device)->AddRef();
        return S_OK;
    }
    // Records operation in the call log and answers whether an injected fault
    // makes it fail now; then *failure holds the code to return.
    virtual bool InjectedFailure(const char* operation, HRESULT* failure) = 0;
    // Resources report their birth and death so that Reset can refuse while
    // default-pool resources or state blocks are alive.
    virtual void ResourceCreated(D3DPOOL pool) = 0;
    virtual void ResourceDestroyed(D3DPOOL pool) = 0;
    // A vertex or index buffer reports each successful lock with its
    // arguments, for the call log's lock records.
    virtual void BufferLocked(IDirect3DResource9* buffer, UINT offset, UINT size, DWORD flags) = 0;

  protected:
    ~DeviceContext() = default;
};
