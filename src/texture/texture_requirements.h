// The fitting of a texture request to a device: a valid usage and pool, a
// format the device offers for them, and a size and level count its
// capabilities allow.
#pragma once

#include "vellorn/d3d9.h"

// Fits width, height, depth, mipLevels and format (each in/out, each may be
// null) to device for usage, pool and resourceType. Sizes may be
// D3DX_DEFAULT (null counts as that): both default give 256 x 256, one takes
// the other's value. The format becomes the closest one the device offers
// (in the scratch pool any format, D3DFMT_UNKNOWN giving D3DFMT_A8R8G8B8);
// sizes are clamped to the device's limits and aspect ratio and rounded to
// powers of two where it demands them; a level count of 0 or above the full
// chain becomes the full chain, or 1 without mipmaps, and 0 with
// D3DUSAGE_AUTOGENMIPMAP. Outputs are written only on success.
HRESULT CheckTextureRequirements(IDirect3DDevice9* device, UINT* width, UINT* height, UINT* depth,
                                 UINT* mipLevels, DWORD usage, D3DFORMAT* format, D3DPOOL pool,
                                 D3DRESOURCETYPE resourceType);
