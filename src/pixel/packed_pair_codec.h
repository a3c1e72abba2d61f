// The codec of the packed-pair formats "YUY2", "UYVY", "RGBG" and "GRGB":
// horizontal pairs of pixels stored as two 16-bit words that share their
// chroma (or red and blue).
#pragma once

#include <memory>

#include "pixel/pixel_codec.h"
#include "pixel/surface_desc.h"

// Makes the codec for desc, bound to its surface and box, with its row cache
// and conversion buffer; the colour key is quantised by PrepareColorKey,
// through the pair encoding. S_OK with *codec set; E_FAIL for another format;
// E_OUTOFMEMORY when memory runs out.
//
// Pairs start at even x of the surface. The codec works on the box widened to
// whole pairs, limited to desc's extent: words outside the extent are never
// read or written. When the extent cuts a pair in half, the missing word
// reads as the nearest word of the same kind (first or second of a pair) in
// the widened row, as if the row's edge pair were repeated.
//
// One decoded row is cached. Writing only updates the cache; the row goes
// back to the surface when another row is accessed, when the same row is read
// again, or when the codec is destroyed, so the surface must stay locked
// until then.
HRESULT CreatePackedPairCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec);
