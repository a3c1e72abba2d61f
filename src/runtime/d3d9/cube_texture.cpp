#include <new>

#include "runtime/d3d9/textures.h"

HRESULT CubeTextureObject::Create(DeviceContext& device, const TextureRequest& request,
                                  IDirect3DCubeTexture9** texture) {
    std::unique_ptr<CubeTextureObject> object;
    HRESULT hr = Allocate(device, request, D3DRTYPE_CUBETEXTURE, texture, &object);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT levels = object->Facts().levels;
    try {
        object->surfaces_.resize(6 * static_cast<std::size_t>(levels));
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(request.pool);
    }
    for (UINT face = 0; face < 6; ++face) {
        for (UINT level = 0; level < levels; ++level) {
            const UINT edge = LevelExtent(request.width, level);
            hr = SurfaceObject::Create(device, edge, edge, request.format, request.pool,
                                       request.usage, false, object.get(),
                                       &object->surfaces_[face * levels + level]);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    object->ReportCreated();
    *texture = object.release();
    return S_OK;
}

SurfaceObject* CubeTextureObject::FaceLevel(DWORD face, UINT level) {
    if (face > D3DCUBEMAP_FACE_NEGATIVE_Z || level >= facts_.levels) {
        return nullptr;
    }
    return surfaces_[face * facts_.levels + level].get();
}

HRESULT CubeTextureObject::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    SurfaceObject* surface = FaceLevel(0, level);
    return surface == nullptr ? D3DERR_INVALIDCALL : surface->GetDesc(desc);
}

HRESULT CubeTextureObject::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                             IDirect3DSurface9** surface) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DCubeTexture9::GetCubeMapSurface", &failure)) {
        return failure;
    }
    SurfaceObject* found = FaceLevel(face, level);
    if (surface == nullptr || found == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    found->AddRef();
    *surface = found;
    return S_OK;
}

HRESULT CubeTextureObject::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked,
                                    const RECT* rect, DWORD flags) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DCubeTexture9::LockRect", &failure)) {
        return failure;
    }
    SurfaceObject* found = FaceLevel(face, level);
    return found == nullptr ? D3DERR_INVALIDCALL : found->Lock(locked, rect, flags);
}

HRESULT CubeTextureObject::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
    SurfaceObject* found = FaceLevel(face, level);
    return found == nullptr ? D3DERR_INVALIDCALL : found->Unlock();
}

HRESULT CubeTextureObject::AddDirtyRect(D3DCUBEMAP_FACES face, const RECT* dirtyRect) {
    SurfaceObject* top = FaceLevel(face, 0);
    if (top == nullptr || (dirtyRect != nullptr && !top->IsValidRect(*dirtyRect))) {
        return D3DERR_INVALIDCALL;
    }
    top->MarkChanged();
    return S_OK;
}
