// Encoders of the 4 x 4 blocks of the block-compressed formats "DXT1" to
// "DXT5": 16 colours with straight alpha in (texel i = 4 x row + column), one
// block out.
#pragma once

#include "pixel/color.h"
#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// Encodes 16 texels into one block. With dither set, the quantisation error
// of each texel is spread to its later neighbours inside the block.
using BlockEncoder = void (*)(const ColorF* texels, bool dither, BYTE* block);

// The encoder of a block format; none for any other format.
BlockEncoder BlockEncoderOf(D3DFORMAT format);

// Encodes the colour of 16 texels into the 8-byte colour half of a block.
// allowTransparent permits the 3-colour mode, in which texels with alpha below
// 0.5 take index 3 (transparent black).
void EncodeColorBlock(const ColorF* texels, bool allowTransparent, bool dither, BYTE* block);
