// The game's atlas as a texture, loaded as the graphics set-up loads
// "bitmap.png": the image's size, a full mip chain, the format chosen from the
// image and the colour key, the managed pool, the default filters and opaque
// white keyed to transparent black.
#pragma once

#include "vellorn/d3d9.h"

// The loader's result; on success the texture is in *texture.
HRESULT LoadAtlasTexture(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture);
