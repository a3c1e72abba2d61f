// The game's atlas as a texture: a managed A8R8G8B8 texture of the image's
// size with a full mip chain, level 0 holding the keyed image and the levels
// below box-filtered from it.
#pragma once

#include "support/png_image.h"
#include "vellorn/d3d9.h"

// S_OK and the texture in *texture, or the first failing call's result.
HRESULT CreateAtlasTexture(IDirect3DDevice9* device, const Image& image,
                           IDirect3DTexture9** texture);
