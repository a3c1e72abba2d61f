// A surface: a level of a 2D texture, a face level of a cube texture, or a
// stand-alone surface (render target, off-screen plain surface, back
// buffer). A level's reference count is its container's; a stand-alone
// surface is a device child of its own and reports its life to the device.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/d3d9/device_child.h"
#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/format_layout.h"
#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resources.h"

class SurfaceObject final : public IDirect3DSurface9, public DeviceChild {
  public:
    static constexpr ResourceKind kResourceKind = ResourceKind::Surface;

    // container null: a stand-alone surface starting with one reference.
    static HRESULT Create(DeviceContext& device, UINT width, UINT height, D3DFORMAT format,
                          D3DPOOL pool, DWORD usage, bool lockable, IUnknown* container,
                          std::unique_ptr<SurfaceObject>* surface);
    ~SurfaceObject() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD priority) override;
    DWORD GetPriority() override;
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // The lock and unlock rules, without the call log (the texture's own
    // LockRect logs under its name).
    HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT Unlock();

    const SurfaceStorage& Storage() const { return storage_; }
    // A level of a texture (or a cube face), as against a stand-alone surface.
    bool IsTextureLevel() const { return container_ != nullptr; }
    const FormatLayout& Layout() const { return layout_; }
    bool IsLocked() const { return locked_; }
    // Counts changes of the contents, so that decoded copies know when they
    // are stale.
    std::uint64_t Version() const { return version_; }
    void MarkChanged() { ++version_; }
    // Whether rect (left, top, right, bottom) lies inside the surface and,
    // for block formats, on whole blocks (edges at multiples of 4 or at the
    // surface's own edges).
    bool IsValidRect(const RECT& rect) const;
    RECT WholeRect() const {
        return {0, 0, static_cast<LONG>(storage_.width), static_cast<LONG>(storage_.height)};
    }
    // Address of the pixel (or block) holding (x, y); x and y on block
    // boundaries for block formats.
    BYTE* Address(UINT x, UINT y);

  private:
    SurfaceObject(DeviceContext& device, IUnknown* container)
        : DeviceChild(container == nullptr ? device.PublicDevice() : nullptr),
          identity_(this, kResourceKind),
          device_(device),
          container_(container) {}

    ResourceIdentity identity_;
    DeviceContext& device_;
    IUnknown* container_;  // null for a stand-alone surface
    std::vector<BYTE> bytes_;
    SurfaceStorage storage_{};
    FormatLayout layout_{};
    bool lockable_ = false;  // a default-pool stand-alone surface made lockable
    bool locked_ = false;
    DWORD lockFlags_ = 0;
    DWORD priority_ = 0;
    std::uint64_t version_ = 0;
    bool reported_ = false;  // counted among the device's resources
};
