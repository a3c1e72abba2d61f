// The device's resources: textures (2D, cube, volume), surfaces, volumes,
// vertex and index buffers and vertex declarations, in every pool, with the
// lock rules of each pool. The device object creates them through these
// functions and reaches their storage for drawing and copying.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/d3d9/device_child.h"
#include "runtime/d3d9/device_context.h"
#include "vellorn/d3d9.h"

// ---- creation (each checks its arguments against the device's profile) ----
HRESULT CreateTextureResource(DeviceContext& device, UINT width, UINT height, UINT levels,
                              DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture);
HRESULT CreateCubeTextureResource(DeviceContext& device, UINT edgeLength, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DCubeTexture9** texture);
HRESULT CreateVolumeTextureResource(DeviceContext& device, UINT width, UINT height, UINT depth,
                                    UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DVolumeTexture9** texture);
// A stand-alone surface: a render target (default pool) or an off-screen
// plain surface in any pool. The device's back buffer is one of these.
HRESULT CreateSurfaceResource(DeviceContext& device, UINT width, UINT height, D3DFORMAT format,
                              D3DPOOL pool, DWORD usage, bool lockable,
                              IDirect3DSurface9** surface);
HRESULT CreateVertexBufferResource(DeviceContext& device, UINT length, DWORD usage, DWORD fvf,
                                   D3DPOOL pool, IDirect3DVertexBuffer9** buffer);
HRESULT CreateIndexBufferResource(DeviceContext& device, UINT length, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DIndexBuffer9** buffer);
HRESULT CreateVertexDeclarationResource(DeviceContext& device, const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** declaration);

// ---- storage, for the device's own use (null when the object is not one of
// this device's resources) ----

// The pixels of a surface (a texture level, a cube face level, a stand-alone
// surface or the back buffer), in its own format.
struct SurfaceStorage {
    BYTE* data;
    UINT pitch;  // bytes per row (of blocks, for block formats)
    UINT width;
    UINT height;
    D3DFORMAT format;
    D3DPOOL pool;
    DWORD usage;
};
const SurfaceStorage* StorageOf(IDirect3DSurface9* surface);

// A texture level decoded for sampling: 32-bit A8R8G8B8 texels, row after row.
struct SampledLevel {
    const std::uint32_t* texels;
    UINT width;
    UINT height;
};
// The levels of a 2D texture decoded for sampling, brought up to date with
// the texture's contents (decoding again only what changed since). The
// texture keeps the list, so a draw allocates nothing for it; it stays valid
// until the texture changes or is released. Empty for anything that cannot
// be sampled (not a 2D texture of this device, a scratch texture, a format
// without a decoder).
const std::vector<SampledLevel>& SamplingLevels(IDirect3DBaseTexture9* texture);

struct BufferStorage {
    const BYTE* data;
    UINT size;
    D3DFORMAT format;  // index buffers: D3DFMT_INDEX16 or D3DFMT_INDEX32
};
const BufferStorage* StorageOf(IDirect3DVertexBuffer9* buffer);
const BufferStorage* StorageOf(IDirect3DIndexBuffer9* buffer);

// The device child behind a resource of this runtime, for the device's
// bindings; null for anything else (and for a texture level, whose life is
// its texture's).
DeviceChild* ChildOf(IDirect3DBaseTexture9* texture);
DeviceChild* ChildOf(IDirect3DSurface9* surface);
DeviceChild* ChildOf(IDirect3DVertexBuffer9* buffer);
DeviceChild* ChildOf(IDirect3DIndexBuffer9* buffer);
DeviceChild* ChildOf(IDirect3DVertexDeclaration9* declaration);

template <class Interface>
Binding<Interface> BindingTo(Interface* object) {
    return Binding<Interface>(object, ChildOf(object));
}

// The elements of a declaration, without the end marker.
const std::vector<D3DVERTEXELEMENT9>* ElementsOf(IDirect3DVertexDeclaration9* declaration);

// The pool of a texture of this device; false for anything else.
bool PoolOf(IDirect3DBaseTexture9* texture, D3DPOOL* pool);

// SetPriority of a resource in pool: only managed resources keep the
// requested priority; every resource answers its previous one.
inline DWORD ExchangePriority(DWORD* priority, DWORD requested, D3DPOOL pool) {
    const DWORD old = *priority;
    if (pool == D3DPOOL_MANAGED) {
        *priority = requested;
    }
    return old;
}

// ---- copies between resources (the device's UpdateSurface and UpdateTexture
// check the pools and formats and then call these; StretchRect checks its own
// rules, stretch_rect.cpp) ----
HRESULT UpdateSurfaceResource(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* destination, const POINT* destPoint);
HRESULT UpdateTextureResource(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination);
// On refusal *refusal (when given) names the rule the call broke.
HRESULT StretchRectResource(IDirect3DSurface9* source, const RECT* sourceRect,
                            IDirect3DSurface9* destination, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter, const char** refusal = nullptr);
