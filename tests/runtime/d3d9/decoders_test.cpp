// Decoding of every format the default profile offers into A8R8G8B8, with
// expected values worked out by hand from the channel layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/d3d9/device_profile.h"
#include "runtime/d3d9/dxt_decoder.h"
#include "runtime/d3d9/format_layout.h"
#include "runtime/d3d9/texel_decoders.h"

namespace {

struct PixelCase {
    D3DFORMAT format;
    std::vector<BYTE> bytes;
    std::uint32_t expected;
};

std::vector<BYTE> FloatBytes(std::initializer_list<float> values) {
    std::vector<BYTE> bytes(values.size() * 4);
    std::memcpy(bytes.data(), std::data(values), bytes.size());
    return bytes;
}

class PixelDecode : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelDecode, GivesTheExpectedTexel) {
    const PixelCase& c = GetParam();
    FormatLayout layout{};
    ASSERT_TRUE(LayoutOf(c.format, &layout));
    ASSERT_EQ(layout.bytes, c.bytes.size());
    std::uint32_t texel = 0xDEADBEEF;
    ASSERT_TRUE(DecodeSurface(c.format, c.bytes.data(), layout.bytes, 1, 1, &texel));
    EXPECT_EQ(texel, c.expected) << std::hex << "format " << c.format << " gave " << texel;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PixelDecode,
    ::testing::Values(
        PixelCase{D3DFMT_A8R8G8B8, {0x44, 0x33, 0x22, 0x11}, 0x11223344},
        PixelCase{D3DFMT_X8R8G8B8, {0x44, 0x33, 0x22, 0x11}, 0xFF223344},
        PixelCase{D3DFMT_R5G6B5, {0x1F, 0xF8}, 0xFFFF00FF},
        PixelCase{D3DFMT_R5G6B5, {0x10, 0x04}, 0xFF008284},
        PixelCase{D3DFMT_X1R5G5B5, {0x00, 0x7C}, 0xFFFF0000},
        PixelCase{D3DFMT_A1R5G5B5, {0x00, 0x7C}, 0x00FF0000},
        PixelCase{D3DFMT_A1R5G5B5, {0xE0, 0x83}, 0xFF00FF00},
        PixelCase{D3DFMT_A4R4G4B4, {0x34, 0x12}, 0x11223344},
        PixelCase{D3DFMT_X4R4G4B4, {0x34, 0x12}, 0xFF223344},
        PixelCase{D3DFMT_R3G3B2, {0xA9}, 0xFFB64955},
        PixelCase{D3DFMT_A8R3G3B2, {0xA9, 0x80}, 0x80B64955},
        PixelCase{D3DFMT_A8, {0x7F}, 0x7FFFFFFF},
        PixelCase{D3DFMT_A2B10G10R10, {0x00, 0x00, 0xF8, 0xBF}, 0xAA0080FF},
        PixelCase{D3DFMT_A2R10G10B10, {0x00, 0x00, 0xF8, 0xBF}, 0xAAFF8000},
        PixelCase{D3DFMT_A8B8G8R8, {0x11, 0x22, 0x33, 0x44}, 0x44112233},
        PixelCase{D3DFMT_X8B8G8R8, {0x11, 0x22, 0x33, 0x44}, 0xFF112233},
        PixelCase{D3DFMT_G16R16, {0xFF, 0xFF, 0x00, 0x80}, 0xFFFF80FF},
        PixelCase{
            D3DFMT_A16B16G16R16, {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x40}, 0x4000FF80},
        PixelCase{D3DFMT_L8, {0x5A}, 0xFF5A5A5A}, PixelCase{D3DFMT_A8L8, {0x5A, 0x80}, 0x805A5A5A},
        PixelCase{D3DFMT_A4L4, {0x3C}, 0x33CCCCCC}, PixelCase{D3DFMT_L16, {0x00, 0x80}, 0xFF808080},
        PixelCase{D3DFMT_R16F, {0x00, 0x38}, 0xFF80FFFF},
        PixelCase{D3DFMT_G16R16F, {0x00, 0x3C, 0x00, 0xBC}, 0xFFFF00FF},
        PixelCase{
            D3DFMT_A16B16G16R16F, {0x00, 0x00, 0x00, 0x3C, 0x00, 0x7C, 0x00, 0x34}, 0x4000FFFF},
        PixelCase{D3DFMT_R32F, FloatBytes({0.2f}), 0xFF33FFFF},
        PixelCase{D3DFMT_G32R32F, FloatBytes({0.0f, NAN}), 0xFF0000FF},
        PixelCase{D3DFMT_A32B32G32R32F, FloatBytes({1.0f, 0.5f, -3.0f, 0.75f}), 0xBFFF8000}));

TEST(TexelDecoders, EveryTextureFormatOfTheDefaultProfileHasADecoderAndALayout) {
    const DeviceProfile profile = DefaultDeviceProfile();
    for (const FormatSupport& support : profile.formats) {
        FormatLayout layout{};
        EXPECT_TRUE(LayoutOf(support.format, &layout)) << support.format;
        if (support.texture) {
            EXPECT_TRUE(CanDecode(support.format)) << support.format;
        }
    }
    EXPECT_EQ(FindFormat(profile, D3DFMT_P8), nullptr);
    EXPECT_FALSE(CanDecode(D3DFMT_P8));
}

TEST(TexelDecoders, RowsFollowThePitch) {
    // 2 x 2 L8 with a 4-byte pitch: the padding bytes must not be read.
    const BYTE bytes[] = {0x10, 0x20, 0xEE, 0xEE, 0x30, 0x40, 0xEE, 0xEE};
    std::uint32_t texels[4] = {};
    ASSERT_TRUE(DecodeSurface(D3DFMT_L8, bytes, 4, 2, 2, texels));
    EXPECT_EQ(texels[0], 0xFF101010u);
    EXPECT_EQ(texels[1], 0xFF202020u);
    EXPECT_EQ(texels[2], 0xFF303030u);
    EXPECT_EQ(texels[3], 0xFF404040u);
}

// Colour half: c0, c1 and indices 0, 1, 2, 3 across every row.
std::vector<BYTE> ColourBlock(WORD c0, WORD c1) {
    return {static_cast<BYTE>(c0),
            static_cast<BYTE>(c0 >> 8),
            static_cast<BYTE>(c1),
            static_cast<BYTE>(c1 >> 8),
            0xE4,
            0xE4,
            0xE4,
            0xE4};
}

TEST(DxtDecoder, Dxt1FourColourModeInterpolatesThirds) {
    const std::vector<BYTE> block = ColourBlock(0xF800, 0x001F);  // red above blue
    std::uint32_t texels[16];
    DecodeDxtBlock(D3DFMT_DXT1, block.data(), texels);
    const std::uint32_t expected[4] = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(texels[i], expected[i % 4]) << i;
    }
}

TEST(DxtDecoder, Dxt1ThreeColourModeHasAMidpointAndTransparentBlack) {
    for (WORD c1 : {WORD{0xF800}, WORD{0x001F}}) {  // c0 < c1, and c0 == c1
        const std::vector<BYTE> block = ColourBlock(0x001F, c1);
        std::uint32_t texels[16];
        DecodeDxtBlock(D3DFMT_DXT1, block.data(), texels);
        const std::uint32_t mid = c1 == 0xF800 ? 0xFF800080 : 0xFF0000FF;
        const std::uint32_t second = c1 == 0xF800 ? 0xFFFF0000 : 0xFF0000FF;
        EXPECT_EQ(texels[0], 0xFF0000FFu);
        EXPECT_EQ(texels[1], second);
        EXPECT_EQ(texels[2], mid);
        EXPECT_EQ(texels[3], 0x00000000u);
    }
}

TEST(DxtDecoder, Dxt3AndDxt2TakeExplicitAlphaAndFourColours) {
    std::vector<BYTE> block = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    const std::vector<BYTE> colour = ColourBlock(0x001F, 0xF800);  // c0 < c1: still 4 colours
    block.insert(block.end(), colour.begin(), colour.end());
    const std::uint32_t rgb[4] = {0x0000FF, 0xFF0000, 0x5500AA, 0xAA0055};
    for (D3DFORMAT format : {D3DFMT_DXT3, D3DFMT_DXT2}) {
        std::uint32_t texels[16];
        DecodeDxtBlock(format, block.data(), texels);
        for (UINT i = 0; i < 16; ++i) {
            EXPECT_EQ(texels[i], ((i * 17) << 24) | rgb[i % 4]) << format << " texel " << i;
        }
    }
}

std::vector<BYTE> AlphaBlock(BYTE a0, BYTE a1) {
    // Indices 0 to 7 twice; colour white.
    std::vector<BYTE> block = {a0, a1, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
    const std::vector<BYTE> colour = ColourBlock(0xFFFF, 0xFFFF);
    block.insert(block.end(), colour.begin(), colour.end());
    for (int i = 12; i < 16; ++i) {
        block[i] = 0;
    }
    return block;
}

TEST(DxtDecoder, Dxt5EightValueAlpha) {
    const std::vector<BYTE> block = AlphaBlock(200, 100);
    const UINT alphas[8] = {200, 100, 186, 171, 157, 143, 129, 114};
    for (D3DFORMAT format : {D3DFMT_DXT5, D3DFMT_DXT4}) {
        std::uint32_t texels[16];
        DecodeDxtBlock(format, block.data(), texels);
        for (UINT i = 0; i < 16; ++i) {
            EXPECT_EQ(texels[i], (alphas[i % 8] << 24) | 0xFFFFFFu) << format << " texel " << i;
        }
    }
}

TEST(DxtDecoder, Dxt5SixValueAlphaWithExplicitZeroAndOne) {
    const std::vector<BYTE> block = AlphaBlock(100, 200);
    const UINT alphas[8] = {100, 200, 120, 140, 160, 180, 0, 255};
    std::uint32_t texels[16];
    DecodeDxtBlock(D3DFMT_DXT5, block.data(), texels);
    for (UINT i = 0; i < 16; ++i) {
        EXPECT_EQ(texels[i], (alphas[i % 8] << 24) | 0xFFFFFFu) << i;
    }
}

TEST(DxtDecoder, SurfacesCutBlocksAtTheirEdges) {
    // A 6 x 2 "DXT1" surface: two blocks across, only the first two rows used.
    std::vector<BYTE> bytes = ColourBlock(0xF800, 0xF800);
    const std::vector<BYTE> second = ColourBlock(0x07E0, 0x07E0);
    bytes.insert(bytes.end(), second.begin(), second.end());
    for (std::size_t i : {4u, 5u, 6u, 7u, 12u, 13u, 14u, 15u}) {
        bytes[i] = 0;  // all index 0
    }
    std::vector<std::uint32_t> texels(12, 0xDEADBEEF);
    ASSERT_TRUE(DecodeSurface(D3DFMT_DXT1, bytes.data(), 16, 6, 2, texels.data()));
    for (UINT y = 0; y < 2; ++y) {
        for (UINT x = 0; x < 6; ++x) {
            EXPECT_EQ(texels[y * 6 + x], x < 4 ? 0xFFFF0000u : 0xFF00FF00u) << x << "," << y;
        }
    }
}

}  // namespace
