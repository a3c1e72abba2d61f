// An image in caller memory described as the source of a load.
#pragma once

#include "pixel/surface_desc.h"
#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

// Describes box of the image at data (texel (0, 0, 0)) with the given
// pitches, key and palette; box is also the image's extent. False when box
// is inverted, or when the bytes the box reaches (checked in 64-bit
// arithmetic with the widest texel of any format) exceed what a process can
// address or would run past the end of the address space from data, so that
// no pointer formed into the image can leave the address space.
bool DescribeMemoryImage(const void* data, D3DFORMAT format, UINT rowPitch, UINT slicePitch,
                         const PixelBox& box, DWORD colorKey, const PALETTEENTRY* palette,
                         SurfaceDesc* desc);
