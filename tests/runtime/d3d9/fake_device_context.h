// A device context for testing the resources on their own: the default
// profile (or one a test adjusts), counts of live resources per pool, a log
// of the operations reported and of buffer lock flags, and a fault that makes one named operation fail.
#pragma once

#include <string>
#include <vector>

#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/device_profile.h"

class FakeDeviceContext final : public DeviceContext {
  public:
    FakeDeviceContext() : profile(DefaultDeviceProfile()) {}

    IDirect3DDevice9* PublicDevice() override { return nullptr; }
    const DeviceProfile& Profile() const override { return profile; }
    bool InjectedFailure(const char* operation, HRESULT* failure) override {
        log.emplace_back(operation);
        if (failingOperation == operation) {
            *failure = failureCode;
            return true;
        }
        return false;
    }
    void ResourceCreated(D3DPOOL pool) override { ++live[pool]; }
    void ResourceDestroyed(D3DPOOL pool) override { --live[pool]; }
    void BufferLocked(IDirect3DResource9*, UINT, UINT, DWORD flags) override {
        lockFlags.push_back(flags);
    }

    DeviceProfile profile;
    int live[4] = {};
    std::vector<std::string> log;
    std::vector<DWORD> lockFlags;  // of every successful buffer lock
    std::string failingOperation;
    HRESULT failureCode = E_FAIL;
};
