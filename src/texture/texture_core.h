// The making of a two-dimensional texture from an image file's bytes: decode,
// choose size, level count and format, create, load every level and fill the
// levels the file lacks.
#pragma once

#include "vellorn/d3dx_texture.h"

// What the caller asks of the texture, as the public calls take it: sizes
// and the level count may be D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2 (sizes) or
// D3DX_FROM_FILE, the format D3DFMT_UNKNOWN or D3DFMT_FROM_FILE, the filters
// D3DX_DEFAULT; colorKey 0 means no key.
struct TextureFileRequest {
    UINT width;
    UINT height;
    UINT mipLevels;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
    DWORD filter;
    DWORD mipFilter;
    D3DCOLOR colorKey;
};

// Creates the texture from the image file in [data, data + size) and hands
// it out through texture with one reference. info (optional) receives what
// the file holds, palette (optional, 256 entries) the file's palette after
// keying. On failure *texture is untouched and nothing the call made is left
// behind.
HRESULT CreateTextureCore(IDirect3DDevice9* device, const void* data, UINT size,
                          const TextureFileRequest& request, D3DXIMAGE_INFO* info,
                          PALETTEENTRY* palette, IDirect3DTexture9** texture);
