#include "texture/format_info.h"

#include <array>

namespace {

constexpr FormatKind kColor = FormatKind::Color;
constexpr FormatKind kPalette = FormatKind::Palette;
constexpr FormatKind kLuminance = FormatKind::Luminance;
constexpr FormatKind kBump = FormatKind::Bump;
constexpr FormatKind kDepth = FormatKind::DepthStencil;

constexpr std::array<FormatInfo, kFormatInfoRowCount> kTable = {{
    {D3DFMT_R8G8B8, kColor, 24, {0, 0, 8, 8, 8}, false},
    {D3DFMT_A8R8G8B8, kColor, 32, {0, 8, 8, 8, 8}, true},
    {D3DFMT_X8R8G8B8, kColor, 32, {0, 0, 8, 8, 8}, true},
    {D3DFMT_R5G6B5, kColor, 16, {0, 0, 5, 6, 5}, true},
    {D3DFMT_X1R5G5B5, kColor, 16, {0, 0, 5, 5, 5}, true},
    {D3DFMT_A8P8, kPalette, 16, {0, 8, 8, 8, 8}, true},
    {D3DFMT_P8, kPalette, 8, {0, 8, 8, 8, 8}, true},
    {D3DFMT_A1R5G5B5, kColor, 16, {0, 1, 5, 5, 5}, true},
    {D3DFMT_A4R4G4B4, kColor, 16, {0, 4, 4, 4, 4}, true},
    {D3DFMT_R3G3B2, kColor, 8, {0, 0, 3, 3, 2}, true},
    {D3DFMT_A8, kColor, 8, {0, 8, 0, 0, 0}, true},
    {D3DFMT_A8R3G3B2, kColor, 16, {0, 8, 3, 3, 2}, true},
    {D3DFMT_X4R4G4B4, kColor, 16, {0, 0, 4, 4, 4}, true},
    {D3DFMT_A2B10G10R10, kColor, 32, {0, 2, 10, 10, 10}, true},
    {D3DFMT_A8B8G8R8, kColor, 32, {0, 8, 8, 8, 8}, true},
    {D3DFMT_X8B8G8R8, kColor, 32, {0, 0, 8, 8, 8}, true},
    {D3DFMT_G16R16, kColor, 32, {0, 0, 16, 16, 0}, true},
    {D3DFMT_A2R10G10B10, kColor, 32, {0, 2, 10, 10, 10}, true},
    {D3DFMT_A16B16G16R16, kColor, 64, {0, 16, 16, 16, 16}, true},
    {D3DFMT_L8, kLuminance, 8, {0, 0, 8, 8, 8}, true},
    {D3DFMT_A8L8, kLuminance, 16, {0, 8, 8, 8, 8}, true},
    {D3DFMT_A4L4, kLuminance, 8, {0, 4, 4, 4, 4}, true},
    {D3DFMT_L16, kLuminance, 16, {0, 0, 16, 16, 16}, true},
    {D3DFMT_V8U8, kBump, 16, {0, 0, 0, 8, 8}, true},
    {D3DFMT_L6V5U5, kBump, 16, {6, 0, 0, 5, 5}, true},
    {D3DFMT_X8L8V8U8, kBump, 32, {8, 0, 0, 8, 8}, true},
    {D3DFMT_Q8W8V8U8, kBump, 32, {0, 8, 8, 8, 8}, true},
    {D3DFMT_V16U16, kBump, 32, {0, 0, 0, 16, 16}, true},
    {D3DFMT_A2W10V10U10, kBump, 32, {2, 0, 10, 10, 10}, true},
    {D3DFMT_Q16W16V16U16, kBump, 64, {0, 16, 16, 16, 16}, true},
    {D3DFMT_CxV8U8, kBump, 16, {8, 0, 0, 8, 8}, false},
    {D3DFMT_UYVY, kColor, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_R8G8_B8G8, kColor, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_YUY2, kColor, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_G8R8_G8B8, kColor, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_DXT1, kColor, 16, {0, 1, 5, 6, 5}, false},
    {D3DFMT_DXT2, kColor, 16, {0, 4, 5, 6, 5}, false},
    {D3DFMT_DXT3, kColor, 16, {0, 4, 5, 6, 5}, false},
    {D3DFMT_DXT4, kColor, 16, {0, 8, 5, 6, 5}, false},
    {D3DFMT_DXT5, kColor, 16, {0, 8, 5, 6, 5}, false},
    {D3DFMT_D16_LOCKABLE, kDepth, 16, {1, 0, 0, 0, 16}, true},
    {D3DFMT_D32F_LOCKABLE, kDepth, 32, {1, 0, 0, 0, 32}, false},
    {D3DFMT_D32, kDepth, 32, {0, 0, 0, 0, 32}, true},
    {D3DFMT_D15S1, kDepth, 16, {0, 0, 0, 1, 15}, true},
    {D3DFMT_D24S8, kDepth, 32, {0, 0, 0, 8, 24}, true},
    {D3DFMT_D16, kDepth, 16, {0, 0, 0, 0, 16}, true},
    {D3DFMT_D24X8, kDepth, 32, {0, 0, 0, 0, 24}, true},
    {D3DFMT_D24X4S4, kDepth, 32, {0, 0, 0, 4, 24}, true},
    {D3DFMT_D24FS8, kDepth, 32, {0, 0, 0, 8, 24}, false},
    {D3DFMT_R16F, kColor, 16, {0, 0, 16, 0, 0}, false},
    {D3DFMT_G16R16F, kColor, 32, {0, 0, 16, 16, 0}, false},
    {D3DFMT_A16B16G16R16F, kColor, 64, {0, 16, 16, 16, 16}, false},
    {D3DFMT_R32F, kColor, 32, {0, 0, 32, 0, 0}, false},
    {D3DFMT_G32R32F, kColor, 64, {0, 0, 32, 32, 0}, false},
    {D3DFMT_A32B32G32R32F, kColor, 128, {0, 32, 32, 32, 32}, false},
    {D3DFMT_PRIVATE_AL16, kLuminance, 32, {0, 16, 16, 16, 16}, false},
    {D3DFMT_PRIVATE_R16, kColor, 48, {0, 0, 16, 16, 16}, false},
}};

constexpr FormatInfo kDefaultRow = {D3DFMT_UNKNOWN, kColor, 32, {0, 8, 8, 8, 8}, false};

}  // namespace

std::span<const FormatInfo, kFormatInfoRowCount> FormatInfoTable() {
    return kTable;
}

const FormatInfo& DefaultFormatInfo() {
    return kDefaultRow;
}

const FormatInfo& LookupFormatInfo(D3DFORMAT format) {
    for (const FormatInfo& row : kTable) {
        if (row.format == format) {
            return row;
        }
    }
    return kDefaultRow;
}

D3DFORMAT MapPrivateFormat(D3DFORMAT format) {
    if (format == D3DFMT_PRIVATE_AL16) {
        return D3DFMT_A8L8;
    }
    if (format == D3DFMT_PRIVATE_R16) {
        return D3DFMT_A16B16G16R16;
    }
    return format;
}
