// The codec of the block-compressed formats "DXT1" to "DXT5": rows of ColorF
// in and out of a surface stored in 4 x 4 blocks.
#pragma once

#include <memory>

#include "pixel/pixel_codec.h"
#include "pixel/surface_desc.h"

// Makes the codec for desc, bound to its surface and box. S_OK with *codec
// set; E_FAIL for a format that is not a block format; E_OUTOFMEMORY when
// memory runs out for the codec, its conversion buffer or its write grid, or
// when the box is too large to hold one block row of it in memory.
//
// Blocks start at multiples of 4 of the surface; the codec works on the box
// widened to whole blocks. Reading decodes one block row at a time into a
// cache. Writing collects the rows of a block row and encodes its blocks as
// soon as all four rows are known; rows of the block row outside the box
// keep what the surface holds, and texels beyond the surface's right and
// bottom edges repeat the valid ones. A block row of which only some rows
// were written when the codec is destroyed is completed from the surface and
// encoded then, so the surface must stay locked until the codec is gone.
HRESULT CreateBlockCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec);
