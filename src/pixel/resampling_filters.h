// The resampling filters: each takes the source and destination codecs of
// one conversion (bound to their boxes) and the filter word, and either
// declines or writes every row of every slice of the destination box.
#pragma once

#include "pixel/pixel_codec.h"
#include "vellorn/win32_types.h"

// S_OK when the destination is written; E_FAIL when the filter declines (its
// kind or the sizes do not fit it); E_OUTOFMEMORY when a buffer could not be
// had. Rows already written stay written when a filter fails part-way.
using ResamplingFilter = HRESULT (*)(PixelCodec& source, PixelCodec& destination, DWORD filter);

HRESULT FilterNone(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterPoint(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterBox2D(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterBox3D(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterLinear2D(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterLinear3D(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterTriangle2D(PixelCodec& source, PixelCodec& destination, DWORD filter);
HRESULT FilterTriangle3D(PixelCodec& source, PixelCodec& destination, DWORD filter);

// The order in which a conversion tries them; the triangle filters accept
// every kind, so the list always ends in one that applies.
inline constexpr ResamplingFilter kResamplingFilters[] = {
    FilterNone,     FilterPoint,    FilterBox2D,      FilterBox3D,
    FilterLinear2D, FilterLinear3D, FilterTriangle2D, FilterTriangle3D,
};
