// The choice of a texture format: the cost of describing one format by
// another, and the search for the closest format a device supports.
#pragma once

#include "texture/format_info.h"
#include "vellorn/d3d9.h"

// The cost of a candidate that cannot represent the request at all.
inline constexpr DWORD kUnusableFormatDistance = 0xFFFFFFFF;

// The cost of representing request by candidate, position by position: each
// bit of precision gained costs 1, a channel the request lacks 256, each bit
// of precision lost 65,536 and a channel the candidate lacks 16,777,216. A
// candidate of an incompatible kind (colour only by colour, palette by colour
// or palette, luminance by colour or luminance, bump by bump, depth by depth)
// or one that loses every channel the request has is unusable.
DWORD FormatDistance(const FormatInfo& request, const FormatInfo& candidate);

// The table format that best represents request. Rows are tried in table
// order; with a device a row counts only when the device offers it for usage
// and resourceType on its adapter in its display mode's format, without a
// device every row counts. A counting row of exactly the requested format is
// taken at once, whatever its substitute flag. Otherwise the lowest-cost
// substitute row wins; of equal costs the row with fewer bits per pixel, then
// the earlier row. With a device that answers
// D3DUSAGE_QUERY_VERTEXTEXTURE and was created for software vertex
// processing, usage also gets D3DUSAGE_SOFTWAREPROCESSING. The diagnostic
// channel is muted during the search and unmuted afterwards. Returns
// D3DFMT_UNKNOWN when no row fits, or when the device cannot be queried.
D3DFORMAT FindClosestFormat(IDirect3DDevice9* device, DWORD usage, D3DRESOURCETYPE resourceType,
                            const FormatInfo& request);
