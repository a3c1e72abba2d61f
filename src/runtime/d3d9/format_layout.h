// Memory layout of the pixel formats the resources can hold: bytes per pixel,
// or bytes per 4 x 4 block for the block-compressed formats. The pitches and
// sizes that follow from it are in resource_sizes.h.
#pragma once

#include "vellorn/d3d9_format.h"

struct FormatLayout {
    bool block;  // 4 x 4 blocks ("DXT1" to "DXT5")
    UINT bytes;  // per pixel, or per block when block is set
};

// False for formats whose layout is unknown here (depth, video and vertex
// formats among them): no resource can hold such a format.
bool LayoutOf(D3DFORMAT format, FormatLayout* layout);
