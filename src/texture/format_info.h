// FormatInfo: the read-only table that describes every texture format the
// loader may meet (what kind of data it holds, its bits per pixel and the
// width of each channel), the look-up into it, and the mapping of the image
// readers' two private 16-bit formats onto published formats.
#pragma once

#include <cstddef>
#include <span>

#include "vellorn/d3d9_format.h"
#include "vellorn/win32_types.h"

enum class FormatKind : DWORD {
    Color = 0,
    Palette = 1,
    Luminance = 2,
    Bump = 3,  // signed data
    DepthStencil = 4,
};

// Channel positions. For colour, palette and luminance rows position 0 is
// empty and luminance fills all three colour positions; bump and depth rows
// use the positions as their own.
inline constexpr std::size_t kChannelCount = 5;
inline constexpr std::size_t kAlphaChannel = 1;
inline constexpr std::size_t kRedChannel = 2;
inline constexpr std::size_t kGreenChannel = 3;
inline constexpr std::size_t kBlueChannel = 4;

struct FormatInfo {
    D3DFORMAT format;
    FormatKind kind;
    UINT bitsPerPixel;
    UINT channelBits[kChannelCount];
    // The row may be chosen in place of another format.
    bool substitute;
};

inline constexpr std::size_t kFormatInfoRowCount = 57;

// The rows in table order; the order decides ties in the closest-format
// search.
std::span<const FormatInfo, kFormatInfoRowCount> FormatInfoTable();

// The row that describes a format missing from the table: format 0, 32-bit
// colour with eight bits in each of alpha, red, green and blue.
const FormatInfo& DefaultFormatInfo();

// The first row whose format equals format, else the default row.
const FormatInfo& LookupFormatInfo(D3DFORMAT format);

// "AL16" becomes D3DFMT_A8L8 and " R16" becomes D3DFMT_A16B16G16R16; any other
// format is returned unchanged.
D3DFORMAT MapPrivateFormat(D3DFORMAT format);
