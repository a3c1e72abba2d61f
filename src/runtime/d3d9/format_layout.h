// Memory layout of the pixel formats the resources can hold: bytes per pixel,
// or bytes per 4 x 4 block for the block-compressed formats, and the pitch
// and size rules that follow from it.
#pragma once

#include <cstddef>

#include "vellorn/d3d9_format.h"

struct FormatLayout {
    bool block;  // 4 x 4 blocks ("DXT1" to "DXT5")
    UINT bytes;  // per pixel, or per block when block is set
};

// False for formats whose layout is unknown here (depth, video and vertex
// formats among them): no resource can hold such a format.
bool LayoutOf(D3DFORMAT format, FormatLayout* layout);

// Bytes of one row of pixels, or of one row of blocks for block formats.
UINT RowPitchOf(const FormatLayout& layout, UINT width);
// Rows of storage: the height, or the number of block rows.
UINT StorageRowsOf(const FormatLayout& layout, UINT height);
// Bytes of a whole width x height surface.
std::size_t SurfaceBytesOf(const FormatLayout& layout, UINT width, UINT height);
