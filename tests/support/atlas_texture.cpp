#include "support/atlas_texture.h"

#include "vellorn/d3dx_texture.h"

HRESULT LoadAtlasTexture(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileExA(device, path, D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                        0xFFFFFFFF, nullptr, nullptr, texture);
}
