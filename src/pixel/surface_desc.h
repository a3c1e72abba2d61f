// SurfaceDesc: a locked surface (or an image in caller memory) as the codec
// factory receives it.
#pragma once

#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// A box of texels; right, bottom and back are exclusive.
struct PixelBox {
    UINT left;
    UINT top;
    UINT right;
    UINT bottom;
    UINT front;
    UINT back;
};

struct SurfaceDesc {
    // The byte of texel (0, 0, 0) of the surface or memory image.
    void* data;
    D3DFORMAT format;
    UINT rowPitch;    // bytes
    UINT slicePitch;  // bytes; 0 for a plain surface
    // The whole surface: the block codec needs to know which texels exist
    // around the box.
    PixelBox extent;
    // The texels to convert.
    PixelBox box;
    bool dither;     // ordered dither on writing
    bool diffusion;  // error diffusion on writing
    bool gamma;      // the surface holds gamma-encoded colour
    // 32-bit ARGB, 8 bits a channel; 0 = no key.
    DWORD colorKey;
    // 256 entries of red, green, blue, flags (used as alpha), or none.
    const PALETTEENTRY* palette;
};
