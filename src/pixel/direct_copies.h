// The two strategies of a conversion that need no resampling: the byte copy
// between boxes of one format, and the row-by-row conversion between boxes of
// one size. Each answers S_OK when it did the work and a failure (E_FAIL when
// it does not apply, E_OUTOFMEMORY) when the next strategy is to be tried.
#pragma once

#include "pixel/pixel_codec.h"
#include "pixel/surface_desc.h"

// Copies whole blocks of a block format ("DXT1" to "DXT5") from source's box
// to destination's box: both boxes of one format and one size, with the four
// edges of both at multiples of 4 (right and bottom may instead be the edge of
// the whole surface, whose last block is stored whole), no colour key on the
// source and equal gamma flags. Works on the descriptions, without codecs.
HRESULT CopyBlocks(const SurfaceDesc& source, const SurfaceDesc& destination);

// Copies the rows of a per-pixel format byte for byte: same format, no colour
// key on the source, same width, height and depth, equal gamma flags and, for
// palette formats, equal palettes.
HRESULT CopySameFormat(const PixelCodec& source, const PixelCodec& destination);

// Converts row by row through ColorF when both boxes have the same size; this
// is where a colour key acts when nothing is resized. When both sides hold
// gamma-encoded colour, both gamma flags are cleared first: the values pass
// through unchanged.
HRESULT ConvertSameSize(PixelCodec& source, PixelCodec& destination);
