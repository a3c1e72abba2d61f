// The box filter's same-format fast path: each destination pixel is the
// rounded average (a + b + c + d + 2) >> 2, channel by channel, of a 2 x 2
// block of packed source pixels, computed on the packed words without going
// through ColorF. X fields (the unused top byte, bit or nibble of the X
// formats) are written as 0 by every routine, as the codecs write them, so a
// destination holds the same X bits whichever path the box filter took.
#pragma once

#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// Writes width destination pixels, each from columns 2x and 2x + 1 of the two
// source rows upper and lower (at least 2 x width pixels each).
using PackedBoxRow = void (*)(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width);

// The routine for format, or nullptr when the format has none and the generic
// path has to run.
PackedBoxRow FindPackedBoxRow(D3DFORMAT format);

// The 32-bit formats (A8R8G8B8 and A8B8G8R8 share one routine, X8R8G8B8 and
// X8B8G8R8 another) have a plain and a vector implementation with identical
// results. Each routine picks one on its first use: the vector one when the
// processor has it and the Direct3D setting "DisableMMX" is absent or zero.
enum class PackedBoxVariant { Unchosen, Plain, Vector };

// Whether this build and processor have the vector implementation.
bool HasVectorPackedBox();

// The implementation the 32-bit routine of format (one of the four 32-bit
// formats) runs, or Unchosen before its first use.
PackedBoxVariant PackedBoxVariantOf(D3DFORMAT format);

// Makes both 32-bit routines run variant from now on; Unchosen makes them
// choose again on their next use. Vector falls back to Plain where it does
// not exist.
void SetPackedBoxVariant(PackedBoxVariant variant);
