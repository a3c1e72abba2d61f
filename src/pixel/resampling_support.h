// Pieces shared by the resampling filters: reading the filter word, row
// buffers whose sizes are checked before they are allocated, and the clamp
// of an accumulated row to the source's value range.
#pragma once

#include <cstddef>
#include <memory>

#include "pixel/pixel_codec.h"
#include "vellorn/d3dx_texture.h"

// The kind of filter asked for: the low 16 bits of the filter word.
inline DWORD FilterKind(DWORD filter) {
    return filter & 0xFFFF;
}

// An axis wraps around unless its mirror bit asks for the edge pixel to be
// repeated instead.
inline bool WrapsAlong(DWORD filter, DWORD mirrorBit) {
    return (filter & mirrorBit) == 0;
}

// Whether the codec's box holds any pixel. A bound codec has either all three
// sizes non-zero or all three zero.
inline bool HasPixels(const PixelCodec& codec) {
    return codec.width != 0 && codec.height != 0 && codec.depth != 0;
}

// count x rows colours, zeroed; none when the product does not fit a buffer
// or memory runs out. A count of 0 still gives one colour, so that callers
// can hand the buffer on without special cases.
std::unique_ptr<ColorF[]> NewColorRows(std::size_t count, std::size_t rows = 1);

// Clamps count colours to the range of valueClass: unsigned classes all four
// channels to 0..1; signed colour red, green, blue to -1..1 and alpha to 0..1;
// signed all four to -1..1; float not at all.
void ClampToClass(ValueClass valueClass, ColorF* row, std::size_t count);

// The samples-copying filters never blend, so with gamma-encoded colour on
// both sides they copy the encoded values as they stand.
inline void CopyEncodedValues(PixelCodec& source, PixelCodec& destination) {
    if (source.gamma && destination.gamma) {
        source.gamma = false;
        destination.gamma = false;
    }
}
