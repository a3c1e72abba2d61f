// The format table checked against the formats' own names: widths and bits
// per pixel are read from names such as "A8R8G8B8", so a mistyped row shows
// up as a disagreement with its name.
#include "texture/format_info.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace {

struct NamedRow {
    D3DFORMAT format;
    const char* name;
    FormatKind kind;
};

// Rows whose names spell their layout. A letter names a channel and its
// position by kind: A alpha, R G B colour, L all three colour positions; for
// bump rows L and A go to position 0, Q W V U to 1 to 4; for depth rows S to
// 3 and D to 4, and "_LOCKABLE" sets position 0 to 1. X is padding and an F
// after the widths marks floats; both count only in the bits per pixel.
constexpr NamedRow kNamedRows[] = {
    {D3DFMT_R8G8B8, "R8G8B8", FormatKind::Color},
    {D3DFMT_A8R8G8B8, "A8R8G8B8", FormatKind::Color},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", FormatKind::Color},
    {D3DFMT_R5G6B5, "R5G6B5", FormatKind::Color},
    {D3DFMT_X1R5G5B5, "X1R5G5B5", FormatKind::Color},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", FormatKind::Color},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", FormatKind::Color},
    {D3DFMT_R3G3B2, "R3G3B2", FormatKind::Color},
    {D3DFMT_A8, "A8", FormatKind::Color},
    {D3DFMT_A8R3G3B2, "A8R3G3B2", FormatKind::Color},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", FormatKind::Color},
    {D3DFMT_A2B10G10R10, "A2B10G10R10", FormatKind::Color},
    {D3DFMT_A8B8G8R8, "A8B8G8R8", FormatKind::Color},
    {D3DFMT_X8B8G8R8, "X8B8G8R8", FormatKind::Color},
    {D3DFMT_G16R16, "G16R16", FormatKind::Color},
    {D3DFMT_A2R10G10B10, "A2R10G10B10", FormatKind::Color},
    {D3DFMT_A16B16G16R16, "A16B16G16R16", FormatKind::Color},
    {D3DFMT_L8, "L8", FormatKind::Luminance},
    {D3DFMT_A8L8, "A8L8", FormatKind::Luminance},
    {D3DFMT_A4L4, "A4L4", FormatKind::Luminance},
    {D3DFMT_L16, "L16", FormatKind::Luminance},
    {D3DFMT_V8U8, "V8U8", FormatKind::Bump},
    {D3DFMT_L6V5U5, "L6V5U5", FormatKind::Bump},
    {D3DFMT_X8L8V8U8, "X8L8V8U8", FormatKind::Bump},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", FormatKind::Bump},
    {D3DFMT_V16U16, "V16U16", FormatKind::Bump},
    {D3DFMT_A2W10V10U10, "A2W10V10U10", FormatKind::Bump},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16", FormatKind::Bump},
    {D3DFMT_D16_LOCKABLE, "D16_LOCKABLE", FormatKind::DepthStencil},
    {D3DFMT_D32F_LOCKABLE, "D32F_LOCKABLE", FormatKind::DepthStencil},
    {D3DFMT_D32, "D32", FormatKind::DepthStencil},
    {D3DFMT_D15S1, "D15S1", FormatKind::DepthStencil},
    {D3DFMT_D24S8, "D24S8", FormatKind::DepthStencil},
    {D3DFMT_D16, "D16", FormatKind::DepthStencil},
    {D3DFMT_D24X8, "D24X8", FormatKind::DepthStencil},
    {D3DFMT_D24X4S4, "D24X4S4", FormatKind::DepthStencil},
    {D3DFMT_D24FS8, "D24FS8", FormatKind::DepthStencil},
    {D3DFMT_R16F, "R16F", FormatKind::Color},
    {D3DFMT_G16R16F, "G16R16F", FormatKind::Color},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F", FormatKind::Color},
    {D3DFMT_R32F, "R32F", FormatKind::Color},
    {D3DFMT_G32R32F, "G32R32F", FormatKind::Color},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F", FormatKind::Color},
};

// The rows whose names do not spell their layout, described directly:
// palette entries hold eight bits per channel, the computed channel of CxV8U8
// takes no bits, the packed and block formats are described by the colour
// they decode to, and the private 16-bit formats by their channels.
constexpr FormatInfo kOtherRows[] = {
    {D3DFMT_A8P8, FormatKind::Palette, 16, {0, 8, 8, 8, 8}, true},
    {D3DFMT_P8, FormatKind::Palette, 8, {0, 8, 8, 8, 8}, true},
    {D3DFMT_CxV8U8, FormatKind::Bump, 16, {8, 0, 0, 8, 8}, false},
    {D3DFMT_UYVY, FormatKind::Color, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_R8G8_B8G8, FormatKind::Color, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_YUY2, FormatKind::Color, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_G8R8_G8B8, FormatKind::Color, 16, {0, 0, 8, 8, 8}, false},
    {D3DFMT_DXT1, FormatKind::Color, 16, {0, 1, 5, 6, 5}, false},
    {D3DFMT_DXT2, FormatKind::Color, 16, {0, 4, 5, 6, 5}, false},
    {D3DFMT_DXT3, FormatKind::Color, 16, {0, 4, 5, 6, 5}, false},
    {D3DFMT_DXT4, FormatKind::Color, 16, {0, 8, 5, 6, 5}, false},
    {D3DFMT_DXT5, FormatKind::Color, 16, {0, 8, 5, 6, 5}, false},
    {D3DFMT_PRIVATE_AL16, FormatKind::Luminance, 32, {0, 16, 16, 16, 16}, false},
    {D3DFMT_PRIVATE_R16, FormatKind::Color, 48, {0, 0, 16, 16, 16}, false},
};

// Named rows that may not stand in for another format.
const std::set<D3DFORMAT> kNamedNonSubstitutes = {
    D3DFMT_R8G8B8,        D3DFMT_D32F_LOCKABLE, D3DFMT_D24FS8,  D3DFMT_R16F,         D3DFMT_G16R16F,
    D3DFMT_A16B16G16R16F, D3DFMT_R32F,          D3DFMT_G32R32F, D3DFMT_A32B32G32R32F};

// The row the name spells.
FormatInfo RowFromName(const NamedRow& named) {
    FormatInfo row{named.format, named.kind, 0, {0, 0, 0, 0, 0}, true};
    std::string name = named.name;
    const std::string lockable = "_LOCKABLE";
    if (name.ends_with(lockable)) {
        name.resize(name.size() - lockable.size());
        row.channelBits[0] = 1;
    }
    const bool bump = named.kind == FormatKind::Bump;
    for (std::size_t i = 0; i < name.size();) {
        const char letter = name[i++];
        UINT bits = 0;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) != 0) {
            bits = bits * 10 + static_cast<UINT>(name[i++] - '0');
        }
        if (letter == 'F') {
            continue;
        }
        row.bitsPerPixel += bits;
        switch (letter) {
            case 'A': row.channelBits[bump ? 0 : kAlphaChannel] = bits; break;
            case 'Q': row.channelBits[1] = bits; break;
            case 'R':
            case 'W': row.channelBits[kRedChannel] = bits; break;
            case 'G':
            case 'S':
            case 'V': row.channelBits[kGreenChannel] = bits; break;
            case 'B':
            case 'D':
            case 'U': row.channelBits[kBlueChannel] = bits; break;
            case 'L':
                if (bump) {
                    row.channelBits[0] = bits;
                } else {
                    row.channelBits[kRedChannel] = bits;
                    row.channelBits[kGreenChannel] = bits;
                    row.channelBits[kBlueChannel] = bits;
                }
                break;
            case 'X': break;
            default: ADD_FAILURE() << "unexpected letter in " << named.name;
        }
    }
    row.substitute = !kNamedNonSubstitutes.contains(named.format);
    return row;
}

void ExpectRowsEqual(const FormatInfo& actual, const FormatInfo& expected) {
    SCOPED_TRACE(testing::Message() << "format " << expected.format);
    EXPECT_EQ(actual.format, expected.format);
    EXPECT_EQ(actual.kind, expected.kind);
    EXPECT_EQ(actual.bitsPerPixel, expected.bitsPerPixel);
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        EXPECT_EQ(actual.channelBits[i], expected.channelBits[i]) << "channel " << i;
    }
    EXPECT_EQ(actual.substitute, expected.substitute);
}

TEST(FormatInfoTest, EveryRowAgreesWithItsFormat) {
    const auto table = FormatInfoTable();
    EXPECT_EQ(std::size(kNamedRows) + std::size(kOtherRows), table.size());
    std::set<D3DFORMAT> seen;
    for (const FormatInfo& row : table) {
        EXPECT_TRUE(seen.insert(row.format).second) << "format " << row.format << " twice";
        EXPECT_EQ(&LookupFormatInfo(row.format), &row);
    }
    for (const NamedRow& named : kNamedRows) {
        ExpectRowsEqual(LookupFormatInfo(named.format), RowFromName(named));
    }
    for (const FormatInfo& other : kOtherRows) {
        ExpectRowsEqual(LookupFormatInfo(other.format), other);
    }
}

TEST(FormatInfoTest, FormatsMissingFromTheTableGetTheDefaultRow) {
    const FormatInfo expected = {D3DFMT_UNKNOWN, FormatKind::Color, 32, {0, 8, 8, 8, 8}, false};
    ExpectRowsEqual(DefaultFormatInfo(), expected);
    for (const D3DFORMAT missing :
         {D3DFMT_UNKNOWN, D3DFMT_INDEX16, D3DFMT_VERTEXDATA, D3DFMT_FORCE_DWORD,
          static_cast<D3DFORMAT>(MAKEFOURCC('D', 'X', 'T', '6'))}) {
        EXPECT_EQ(&LookupFormatInfo(missing), &DefaultFormatInfo()) << "format " << missing;
    }
}

TEST(FormatInfoTest, PrivateFormatsMapOntoPublishedOnes) {
    EXPECT_EQ(MapPrivateFormat(D3DFMT_PRIVATE_AL16), D3DFMT_A8L8);
    EXPECT_EQ(MapPrivateFormat(D3DFMT_PRIVATE_R16), D3DFMT_A16B16G16R16);
    for (const FormatInfo& row : FormatInfoTable()) {
        if (row.format != D3DFMT_PRIVATE_AL16 && row.format != D3DFMT_PRIVATE_R16) {
            EXPECT_EQ(MapPrivateFormat(row.format), row.format);
        }
    }
    EXPECT_EQ(MapPrivateFormat(D3DFMT_UNKNOWN), D3DFMT_UNKNOWN);
}

}  // namespace
