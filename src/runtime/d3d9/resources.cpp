// Creation entry points for surfaces and textures, and the device's access
// to their storage.
#include "runtime/d3d9/resources.h"

#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/textures.h"

HRESULT CreateTextureResource(DeviceContext& device, UINT width, UINT height, UINT levels,
                              DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture) {
    return TextureObject::Create(
        device, {TextureKind::Plain, width, height, 1, levels, usage, format, pool}, texture);
}

HRESULT CreateCubeTextureResource(DeviceContext& device, UINT edgeLength, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DCubeTexture9** texture) {
    return CubeTextureObject::Create(
        device, {TextureKind::Cube, edgeLength, edgeLength, 1, levels, usage, format, pool},
        texture);
}

HRESULT CreateVolumeTextureResource(DeviceContext& device, UINT width, UINT height, UINT depth,
                                    UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DVolumeTexture9** texture) {
    return VolumeTextureObject::Create(
        device, {TextureKind::Volume, width, height, depth, levels, usage, format, pool}, texture);
}

HRESULT CreateSurfaceResource(DeviceContext& device, UINT width, UINT height, D3DFORMAT format,
                              D3DPOOL pool, DWORD usage, bool lockable,
                              IDirect3DSurface9** surface) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (pool > D3DPOOL_SCRATCH || (usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)) != 0) {
        return D3DERR_INVALIDCALL;
    }
    // Scratch surfaces take any format with a known layout; the others only
    // the formats the device offers, render targets only in the default pool
    // and in a render-target format.
    if (pool != D3DPOOL_SCRATCH) {
        const FormatSupport* support = FindFormat(device.Profile(), format);
        if (support == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        if ((usage & D3DUSAGE_RENDERTARGET) != 0 &&
            (pool != D3DPOOL_DEFAULT || !support->renderTarget)) {
            return D3DERR_INVALIDCALL;
        }
    }
    std::unique_ptr<SurfaceObject> object;
    const HRESULT hr = SurfaceObject::Create(device, width, height, format, pool, usage, lockable,
                                             nullptr, &object);
    if (FAILED(hr)) {
        return hr;
    }
    *surface = object.release();
    return S_OK;
}

const SurfaceStorage* StorageOf(IDirect3DSurface9* surface) {
    SurfaceObject* object = ResourceCast<SurfaceObject>(surface);
    return object == nullptr ? nullptr : &object->Storage();
}

const std::vector<SampledLevel>& SamplingLevels(IDirect3DBaseTexture9* texture) {
    static const std::vector<SampledLevel> kNone;
    TextureObject* object = ResourceCast<TextureObject>(texture);
    return object == nullptr ? kNone : object->Sampled();
}

DeviceChild* ChildOf(IDirect3DSurface9* surface) {
    SurfaceObject* object = ResourceCast<SurfaceObject>(surface);
    return object == nullptr || object->IsTextureLevel() ? nullptr : object;
}

DeviceChild* ChildOf(IDirect3DBaseTexture9* texture) {
    if (TextureObject* plain = ResourceCast<TextureObject>(texture)) {
        return plain;
    }
    if (CubeTextureObject* cube = ResourceCast<CubeTextureObject>(texture)) {
        return cube;
    }
    return ResourceCast<VolumeTextureObject>(texture);
}

const TextureFacts* FactsOf(IDirect3DBaseTexture9* texture) {
    if (TextureObject* plain = ResourceCast<TextureObject>(texture)) {
        return &plain->Facts();
    }
    if (CubeTextureObject* cube = ResourceCast<CubeTextureObject>(texture)) {
        return &cube->Facts();
    }
    if (VolumeTextureObject* volume = ResourceCast<VolumeTextureObject>(texture)) {
        return &volume->Facts();
    }
    return nullptr;
}

bool PoolOf(IDirect3DBaseTexture9* texture, D3DPOOL* pool) {
    const TextureFacts* facts = FactsOf(texture);
    if (facts == nullptr) {
        return false;
    }
    *pool = facts->pool;
    return true;
}
