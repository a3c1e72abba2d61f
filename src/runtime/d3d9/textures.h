// 2D, cube and volume textures. They share the base-texture behaviour:
// reference counting (their levels forward theirs here), the level of detail
// of managed textures, the priority and the automatic-mipmap filter.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "runtime/d3d9/device_child.h"
#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resource_sizes.h"
#include "runtime/d3d9/surface.h"
#include "runtime/d3d9/texture_rules.h"
#include "runtime/d3d9/volume.h"
#include "vellorn/com_object.h"

// What every texture kind knows about itself.
struct TextureFacts {
    D3DPOOL pool;
    DWORD usage;
    D3DFORMAT format;
    D3DRESOURCETYPE type;
    UINT levels;
};

// Interface is the public texture interface, kPublicIid its identifier and
// kKind the kind by which the device recognises the object behind it.
template <class Interface, const IID& kPublicIid, ResourceKind kKind>
class TextureBase : public DeviceChildObject<Interface> {
  public:
    static constexpr ResourceKind kResourceKind = kKind;

    TextureBase(DeviceContext& device, const TextureFacts& facts)
        : DeviceChildObject<Interface>(device.PublicDevice()),
          identity_(this, kKind),
          device_(device),
          facts_(facts) {}
    ~TextureBase() override {
        if (reported_) {
            device_.ResourceDestroyed(facts_.pool);
        }
    }

    HRESULT GetDevice(IDirect3DDevice9** device) override { return device_.HandOutDevice(device); }
    DWORD SetPriority(DWORD priority) override {
        return ExchangePriority(&priority_, priority, facts_.pool);
    }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return facts_.type; }
    // Only managed textures have a level of detail; it is clamped to the
    // last level. Others keep 0 and ignore the call.
    DWORD SetLOD(DWORD lod) override {
        const DWORD old = lod_;
        if (facts_.pool == D3DPOOL_MANAGED) {
            lod_ = lod < facts_.levels ? lod : facts_.levels - 1;
        }
        return old;
    }
    DWORD GetLOD() override { return lod_; }
    DWORD GetLevelCount() override { return facts_.levels; }
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) override {
        if (filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR) {
            return D3DERR_INVALIDCALL;
        }
        autoGenFilter_ = filter;
        return S_OK;
    }
    D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override { return autoGenFilter_; }
    // Automatic mipmaps keep only their top level here (sampling reads it
    // alone), so there are no sublevels to regenerate.
    void GenerateMipSubLevels() override {}

    const TextureFacts& Facts() const { return facts_; }

  protected:
    // The steps every texture kind's Create starts with: the output cleared,
    // the request checked against the profile and the allocation limit, the
    // object allocated with its facts (their levels the count the request
    // comes to).
    template <class Object>
    static HRESULT Allocate(DeviceContext& device, const TextureRequest& request,
                            D3DRESOURCETYPE type, Interface** texture,
                            std::unique_ptr<Object>* object) {
        if (texture == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        *texture = nullptr;
        UINT levels = 0;
        HRESULT hr = CheckTextureRequest(device.Profile(), request, &levels);
        if (FAILED(hr)) {
            return hr;
        }
        FormatLayout layout{};
        LayoutOf(request.format, &layout);  // known: the request passed its checks
        hr = CheckAllocation(device.Profile(), request.pool,
                             TextureBytesOf(layout, request, levels));
        if (FAILED(hr)) {
            return hr;
        }
        const TextureFacts facts{request.pool, request.usage, request.format, type, levels};
        object->reset(new (std::nothrow) Object(device, facts));
        return *object && (*object)->identity_.Registered() ? S_OK : OutOfMemoryIn(request.pool);
    }
    // Called once the texture is fully built: from then on its life counts
    // towards the device's resources.
    void ReportCreated() {
        device_.ResourceCreated(facts_.pool);
        reported_ = true;
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
            riid == IID_IDirect3DBaseTexture9 || riid == kPublicIid) {
            this->AddRef();
            *object = static_cast<Interface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Runs the fault injection and call log for operation.
    bool Injected(const char* operation, HRESULT* failure) {
        return device_.InjectedFailure(operation, failure);
    }

    ResourceIdentity identity_;
    DeviceContext& device_;
    TextureFacts facts_;

  private:
    DWORD priority_ = 0;
    DWORD lod_ = 0;
    D3DTEXTUREFILTERTYPE autoGenFilter_ = D3DTEXF_LINEAR;
    bool reported_ = false;
};

class TextureObject final
    : public TextureBase<IDirect3DTexture9, IID_IDirect3DTexture9, ResourceKind::Texture> {
  public:
    static HRESULT Create(DeviceContext& device, const TextureRequest& request,
                          IDirect3DTexture9** texture);

    // Releases like every device child, and says so in the call journal.
    ULONG Release() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT* dirtyRect) override;

    SurfaceObject* Level(UINT level) { return levels_[level].get(); }
    // The levels decoded to A8R8G8B8, decoding again the ones changed since;
    // the list and the texels stay in place while nothing changes.
    const std::vector<SampledLevel>& Sampled();

  private:
    friend TextureBase;
    using TextureBase::TextureBase;

    struct DecodedLevel {
        std::vector<std::uint32_t> texels;
        std::uint64_t version = 0;
        bool valid = false;
    };
    std::vector<std::unique_ptr<SurfaceObject>> levels_;
    std::vector<DecodedLevel> decoded_;
    std::vector<SampledLevel> sampled_;
};

class CubeTextureObject final : public TextureBase<IDirect3DCubeTexture9, IID_IDirect3DCubeTexture9,
                                                   ResourceKind::CubeTexture> {
  public:
    static HRESULT Create(DeviceContext& device, const TextureRequest& request,
                          IDirect3DCubeTexture9** texture);

    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                              IDirect3DSurface9** surface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
    HRESULT AddDirtyRect(D3DCUBEMAP_FACES face, const RECT* dirtyRect) override;

    // Null for a face or level out of range.
    SurfaceObject* FaceLevel(DWORD face, UINT level);

  private:
    friend TextureBase;
    using TextureBase::TextureBase;

    std::vector<std::unique_ptr<SurfaceObject>> surfaces_;  // face-major
};

class VolumeTextureObject final
    : public TextureBase<IDirect3DVolumeTexture9, IID_IDirect3DVolumeTexture9,
                         ResourceKind::VolumeTexture> {
  public:
    static HRESULT Create(DeviceContext& device, const TextureRequest& request,
                          IDirect3DVolumeTexture9** texture);

    HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) override;
    HRESULT GetVolumeLevel(UINT level, IDirect3DVolume9** volume) override;
    HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox(UINT level) override;
    HRESULT AddDirtyBox(const D3DBOX* dirtyBox) override;

    VolumeObject* Level(UINT level) { return levels_[level].get(); }

  private:
    friend TextureBase;
    using TextureBase::TextureBase;

    std::vector<std::unique_ptr<VolumeObject>> levels_;
};

// The facts of a texture of this device (any kind), or null for anything else.
const TextureFacts* FactsOf(IDirect3DBaseTexture9* texture);
