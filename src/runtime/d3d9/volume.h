// A level of a volume texture: slices of rows of pixels. Its reference
// count is its container's.
#pragma once

#include <memory>
#include <vector>

#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/format_layout.h"

class VolumeObject final : public IDirect3DVolume9 {
  public:
    static HRESULT Create(DeviceContext& device, UINT width, UINT height, UINT depth,
                          D3DFORMAT format, D3DPOOL pool, DWORD usage, IUnknown* container,
                          std::unique_ptr<VolumeObject>* volume);
    ~VolumeObject() = default;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return container_->AddRef(); }
    ULONG Release() override { return container_->Release(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DVOLUME_DESC* desc) override;
    HRESULT LockBox(D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox() override;

    HRESULT Lock(D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags);
    HRESULT Unlock();

    bool IsLocked() const { return locked_; }
    const D3DVOLUME_DESC& Desc() const { return desc_; }
    UINT RowPitch() const { return rowPitch_; }
    UINT SlicePitch() const { return slicePitch_; }
    BYTE* Data() { return bytes_.data(); }

  private:
    VolumeObject(DeviceContext& device, IUnknown* container)
        : device_(device), container_(container) {}

    DeviceContext& device_;
    IUnknown* container_;
    std::vector<BYTE> bytes_;
    D3DVOLUME_DESC desc_{};
    UINT bytesPerPixel_ = 0;
    UINT rowPitch_ = 0;
    UINT slicePitch_ = 0;
    bool locked_ = false;
};
