// Decoders of the 4 x 4 blocks of the block-compressed formats "DXT1" to
// "DXT5": one block in, 16 colours out (texel i = 4 x row + column).
#pragma once

#include "pixel/color.h"
#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// Decodes one block into 16 texels.
using BlockDecoder = void (*)(const BYTE* block, ColorF* texels);

// The decoder of a block format; none for any other format.
BlockDecoder BlockDecoderOf(D3DFORMAT format);

// The colour half shared by every block format: two 5:6:5 endpoints and 2-bit
// indices; 4 colours when c0 > c1, else 3 colours and transparent black.
// Sets all four channels of every texel.
void DecodeColorBlock(const BYTE* block, ColorF* texels);

// The 5:6:5 word as a colour with alpha 1.
ColorF ColorFrom565(unsigned word);

// The 8 alpha values that the 3-bit indices of an interpolated-alpha block
// with endpoint bytes a0 and a1 select.
void AlphaPalette(unsigned a0, unsigned a1, float* values);
