#include <new>

#include "runtime/d3d9/textures.h"

HRESULT VolumeTextureObject::Create(DeviceContext& device, const TextureRequest& request,
                                    IDirect3DVolumeTexture9** texture) {
    std::unique_ptr<VolumeTextureObject> object;
    HRESULT hr = Allocate(device, request, D3DRTYPE_VOLUMETEXTURE, texture, &object);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT levels = object->Facts().levels;
    try {
        object->levels_.resize(levels);
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(request.pool);
    }
    for (UINT level = 0; level < levels; ++level) {
        hr = VolumeObject::Create(device, LevelExtent(request.width, level),
                                  LevelExtent(request.height, level),
                                  LevelExtent(request.depth, level), request.format, request.pool,
                                  request.usage, object.get(), &object->levels_[level]);
        if (FAILED(hr)) {
            return hr;
        }
    }
    object->ReportCreated();
    *texture = object.release();
    return S_OK;
}

HRESULT VolumeTextureObject::GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) {
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->GetDesc(desc);
}

HRESULT VolumeTextureObject::GetVolumeLevel(UINT level, IDirect3DVolume9** volume) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DVolumeTexture9::GetVolumeLevel", &failure)) {
        return failure;
    }
    if (volume == nullptr || level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    levels_[level]->AddRef();
    *volume = levels_[level].get();
    return S_OK;
}

HRESULT VolumeTextureObject::LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box,
                                     DWORD flags) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DVolumeTexture9::LockBox", &failure)) {
        return failure;
    }
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->Lock(locked, box, flags);
}

HRESULT VolumeTextureObject::UnlockBox(UINT level) {
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->Unlock();
}

HRESULT VolumeTextureObject::AddDirtyBox(const D3DBOX* dirtyBox) {
    const D3DVOLUME_DESC& top = levels_[0]->Desc();
    if (dirtyBox != nullptr &&
        (dirtyBox->Left >= dirtyBox->Right || dirtyBox->Top >= dirtyBox->Bottom ||
         dirtyBox->Front >= dirtyBox->Back || dirtyBox->Right > top.Width ||
         dirtyBox->Bottom > top.Height || dirtyBox->Back > top.Depth)) {
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}
