// The device's resource calls: creation of textures, surfaces, buffers and
// vertex declarations, and the copies between resources. The resources
// themselves are in resources.h.
#include "runtime/d3d9/device.h"

#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/runtime_services.h"

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateTextureResource(*this, width, height, levels, usage, format, pool, texture);
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DVolumeTexture9** texture, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateVolumeTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateVolumeTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateVolumeTextureResource(*this, width, height, depth, levels, usage, format, pool,
                                       texture);
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                  HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateCubeTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateCubeTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateCubeTextureResource(*this, edgeLength, levels, usage, format, pool, texture);
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateVertexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateVertexBuffer: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateVertexBufferResource(*this, length, usage, fvf, pool, buffer);
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateIndexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateIndexBuffer: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateIndexBufferResource(*this, length, usage, format, pool, buffer);
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                   D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                   BOOL lockable, IDirect3DSurface9** surface,
                                   HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateRenderTarget");
    if (surface == nullptr || sharedHandle != nullptr || multiSample != D3DMULTISAMPLE_NONE ||
        multisampleQuality != 0) {
        ReportInvalidCall("CreateRenderTarget: multisampling is not offered, or bad pointers");
        return D3DERR_INVALIDCALL;
    }
    const FormatSupport* support = FindFormat(profile_, format);
    if (support == nullptr || !support->renderTarget) {
        ReportInvalidCall("CreateRenderTarget: format %u is not a render-target format",
                          static_cast<unsigned>(format));
        return D3DERR_INVALIDCALL;
    }
    return CreateSurfaceResource(*this, width, height, format, D3DPOOL_DEFAULT,
                                 D3DUSAGE_RENDERTARGET, lockable != FALSE, surface);
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateOffscreenPlainSurface");
    if (surface == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateOffscreenPlainSurface: null output pointer or shared handle");
        return D3DERR_INVALIDCALL;
    }
    if (pool == D3DPOOL_MANAGED) {
        ReportInvalidCall("CreateOffscreenPlainSurface: the managed pool is not allowed");
        return D3DERR_INVALIDCALL;
    }
    return CreateSurfaceResource(*this, width, height, format, pool, 0, true, surface);
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* destination, const POINT* destPoint) {
    DEVICE_OPERATION("UpdateSurface");
    const SurfaceStorage* from = StorageOf(source);
    const SurfaceStorage* to = StorageOf(destination);
    if (from == nullptr || to == nullptr || from->pool != D3DPOOL_SYSTEMMEM ||
        to->pool != D3DPOOL_DEFAULT || from->format != to->format) {
        ReportInvalidCall(
            "UpdateSurface: needs a system-memory source and a default-pool destination of the "
            "same format");
        return D3DERR_INVALIDCALL;
    }
    return UpdateSurfaceResource(source, sourceRect, destination, destPoint);
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
    DEVICE_OPERATION("UpdateTexture");
    D3DPOOL sourcePool = D3DPOOL_DEFAULT;
    D3DPOOL destinationPool = D3DPOOL_DEFAULT;
    if (!PoolOf(source, &sourcePool) || !PoolOf(destination, &destinationPool) ||
        sourcePool != D3DPOOL_SYSTEMMEM || destinationPool != D3DPOOL_DEFAULT) {
        ReportInvalidCall(
            "UpdateTexture: needs a system-memory source and a default-pool destination");
        return D3DERR_INVALIDCALL;
    }
    return UpdateTextureResource(source, destination);
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                            IDirect3DSurface9* destination, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter) {
    DEVICE_OPERATION("StretchRect");
    const char* refusal = nullptr;
    const HRESULT hr =
        StretchRectResource(source, sourceRect, destination, destRect, filter, &refusal);
    if (refusal != nullptr) {
        ReportInvalidCall("StretchRect: %s", refusal);
    }
    return hr;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** declaration) {
    DEVICE_OPERATION("CreateVertexDeclaration");
    if (elements == nullptr || declaration == nullptr) {
        ReportInvalidCall("CreateVertexDeclaration: null elements or output pointer");
        return D3DERR_INVALIDCALL;
    }
    return CreateVertexDeclarationResource(*this, elements, declaration);
}
