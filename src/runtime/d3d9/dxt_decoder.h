// Decoding of the 4 x 4 block-compressed formats "DXT1" to "DXT5" into
// 32-bit A8R8G8B8 texels.
#pragma once

#include <cstdint>

#include "vellorn/d3d9_format.h"

// Decodes one block of format ("DXT1" to "DXT5") into 16 texels, row after
// row (texel 4 x row + column). "DXT2" and "DXT4" are decoded as stored, with
// their colour still multiplied by alpha.
void DecodeDxtBlock(D3DFORMAT format, const BYTE* block, std::uint32_t texels[16]);
