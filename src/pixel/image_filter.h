// The conversion driver of every load: it creates the codecs of both sides,
// settles value-class and gamma handling between them, and tries the copy
// strategies in a fixed order, ending with the resampling filters.
#pragma once

#include "pixel/surface_desc.h"
#include "vellorn/d3dx_texture.h"
#include "vellorn/win32_types.h"

// A filter word is valid when its kind (the low 16 bits) is one of
// D3DX_FILTER_NONE to D3DX_FILTER_BOX and no bit above the known flags is set.
constexpr bool IsValidImageFilter(DWORD filter) {
    const DWORD kind = filter & 0xFFFF;
    return kind >= D3DX_FILTER_NONE && kind <= D3DX_FILTER_BOX && filter < 0x800000;
}

// What D3DX_DEFAULT stands for as the filter of a surface or volume load.
inline constexpr DWORD kDefaultLoadFilter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;

// Converts source's box into destination's box. The filter's gamma and
// dither flags replace those of the two descriptions. Strategies, in order:
// the block copy of a block format, the byte copy of one format, the
// conversion between boxes of one size, then the resampling filters; the
// first that succeeds ends the run.
//
// S_OK; D3DERR_INVALIDCALL for an invalid filter word; E_FAIL when a format
// has no codec or no strategy applies; E_OUTOFMEMORY when a codec or its
// buffers could not be had. Each failure is reported on the diagnostic
// channel. The destination may be partly written when a run fails.
HRESULT RunImageFilter(SurfaceDesc source, SurfaceDesc destination, DWORD filter);
