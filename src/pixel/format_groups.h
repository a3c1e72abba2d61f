// The formats that are not addressed pixel by pixel: 4 x 4 block formats and
// formats of horizontal pixel pairs. Locks widen to their units and the
// same-format copy treats them apart.
#pragma once

#include "vellorn/d3d9_format.h"

// "DXT1" to "DXT5".
constexpr bool IsBlockFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

// Bytes of one 4 x 4 block of a block format.
constexpr UINT BlockBytes(D3DFORMAT format) {
    return format == D3DFMT_DXT1 ? 8 : 16;
}

// "YUY2", "UYVY", "RGBG" and "GRGB": pixel pairs sharing chroma.
constexpr bool IsPairFormat(D3DFORMAT format) {
    return format == D3DFMT_YUY2 || format == D3DFMT_UYVY || format == D3DFMT_R8G8_B8G8 ||
           format == D3DFMT_G8R8_G8B8;
}

// Bytes of the widest texel of any format (four 32-bit floats); a bound on
// how far one texel of a caller's image reaches.
inline constexpr UINT kWidestTexelBytes = 16;
