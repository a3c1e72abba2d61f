// The palette a texture load hands to every level load and to the mip
// filter: the image's palette with the colour key spent on it, and what a
// palette image holds when its palette is a known ramp.
#pragma once

#include "vellorn/d3d9.h"

inline constexpr UINT kPaletteEntries = 256;

// Copies the image's 256 entries into working, turning every entry of
// exactly colorKey (ARGB, 0 included) into transparent black; without an
// image palette every byte of working is 0xFF.
void BuildWorkingPalette(const PALETTEENTRY* imagePalette, D3DCOLOR colorKey,
                         PALETTEENTRY* working);

// The format a D3DFMT_P8 image with palette is read as: D3DFMT_L8 when the
// palette is the opaque grey ramp, D3DFMT_R3G3B2 when it is the opaque 3-3-2
// colour ramp, else D3DFMT_P8. Other formats are returned unchanged.
D3DFORMAT PaletteImageFormat(D3DFORMAT format, const PALETTEENTRY* palette);

// Whether any entry is not fully opaque.
bool HasTranslucentEntry(const PALETTEENTRY* palette);
