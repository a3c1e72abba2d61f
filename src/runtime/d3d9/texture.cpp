#include <new>

#include "runtime/call_journal.h"
#include "runtime/d3d9/texel_decoders.h"
#include "runtime/d3d9/textures.h"

HRESULT TextureObject::Create(DeviceContext& device, const TextureRequest& request,
                              IDirect3DTexture9** texture) {
    std::unique_ptr<TextureObject> object;
    HRESULT hr = Allocate(device, request, D3DRTYPE_TEXTURE, texture, &object);
    if (FAILED(hr)) {
        return hr;
    }
    const UINT levels = object->Facts().levels;
    try {
        object->levels_.resize(levels);
        object->decoded_.resize(levels);
    } catch (const std::bad_alloc&) {
        return OutOfMemoryIn(request.pool);
    }
    for (UINT level = 0; level < levels; ++level) {
        hr = SurfaceObject::Create(device, LevelExtent(request.width, level),
                                   LevelExtent(request.height, level), request.format, request.pool,
                                   request.usage, false, object.get(), &object->levels_[level]);
        if (FAILED(hr)) {
            return hr;
        }
    }
    object->ReportCreated();
    *texture = object.release();
    return S_OK;
}

ULONG TextureObject::Release() {
    const ULONG left = ReleaseReference();
    JournalCall("Texture", "Release", static_cast<long>(left));
    return left;
}

HRESULT TextureObject::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->GetDesc(desc);
}

HRESULT TextureObject::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DTexture9::GetSurfaceLevel", &failure)) {
        return failure;
    }
    if (surface == nullptr || level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    levels_[level]->AddRef();
    *surface = levels_[level].get();
    return S_OK;
}

HRESULT TextureObject::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    HRESULT failure = S_OK;
    if (Injected("IDirect3DTexture9::LockRect", &failure)) {
        return failure;
    }
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->Lock(locked, rect, flags);
}

HRESULT TextureObject::UnlockRect(UINT level) {
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    return levels_[level]->Unlock();
}

HRESULT TextureObject::AddDirtyRect(const RECT* dirtyRect) {
    if (dirtyRect != nullptr && !levels_[0]->IsValidRect(*dirtyRect)) {
        return D3DERR_INVALIDCALL;
    }
    // Copies always take whole levels, so a dirty region only needs to make
    // the decoded copy of the top level stale.
    levels_[0]->MarkChanged();
    return S_OK;
}

const std::vector<SampledLevel>& TextureObject::Sampled() {
    if (facts_.pool == D3DPOOL_SCRATCH || !CanDecode(facts_.format)) {
        sampled_.clear();
        return sampled_;
    }
    try {
        sampled_.resize(levels_.size());
        for (std::size_t i = 0; i < levels_.size(); ++i) {
            const SurfaceStorage& storage = levels_[i]->Storage();
            DecodedLevel& decoded = decoded_[i];
            if (!decoded.valid || decoded.version != levels_[i]->Version()) {
                decoded.texels.resize(static_cast<std::size_t>(storage.width) * storage.height);
                DecodeSurface(storage.format, storage.data, storage.pitch, storage.width,
                              storage.height, decoded.texels.data());
                decoded.version = levels_[i]->Version();
                decoded.valid = true;
            }
            sampled_[i] = {decoded.texels.data(), storage.width, storage.height};
        }
    } catch (const std::bad_alloc&) {
        sampled_.clear();
    }
    return sampled_;
}
