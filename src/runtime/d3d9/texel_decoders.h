// Conversion of stored pixels into 32-bit A8R8G8B8 texels for sampling.
// Channels a format lacks read as full (1.0, or 255); luminance is copied to
// red, green and blue; float channels are clamped to 0..1 and rounded.
#pragma once

#include <cstdint>

#include "vellorn/d3d9_format.h"

// Whether DecodeSurface handles format.
bool CanDecode(D3DFORMAT format);

// Decodes a whole width x height surface of format, whose rows (of blocks,
// for block formats) are pitch bytes apart, into out (width x height texels,
// row after row). False, with out untouched, when format has no decoder.
bool DecodeSurface(D3DFORMAT format, const BYTE* data, UINT pitch, UINT width, UINT height,
                   std::uint32_t* out);

// A 16-bit IEEE float as a 32-bit one (exponent 31 is infinity or NaN).
float IeeeHalfToFloat(std::uint16_t half);
