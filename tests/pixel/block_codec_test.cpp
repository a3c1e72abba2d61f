// The block codec: the block decoders on hand-made blocks, the encoders'
// defined edge cases, round trips, and the codec's read cache, write grid and
// edge handling on surfaces in memory.
#include "pixel/block_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "block_test_util.h"
#include "codec_test_util.h"
#include "pixel/block_encoding.h"

namespace {

using Block = std::array<BYTE, 16>;

// ---------------------------------------------------------------------------
// Decoders: texels 0 to 3 of hand-made blocks (the other texels use index 0).

struct DecodeCase {
    const char* name;
    D3DFORMAT format;
    Block block;
    ColorF expected[4];
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr float kGrey5 = 15 / 31.0f;  // red and blue of 0x7BEF
constexpr float kGrey6 = 31 / 63.0f;  // green of 0x7BEF

// clang-format off
const DecodeCase kDecodeCases[] = {
    // c0 = red > c1 = blue: four colours, indices 0, 1, 2, 3.
    {"Dxt1FourColours", D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
     {{1, 0, 0, 1}, {0, 0, 1, 1}, {2 / 3.0f, 0, 1 / 3.0f, 1}, {1 / 3.0f, 0, 2 / 3.0f, 1}}},
    // c0 = blue <= c1 = red: the midpoint and transparent black.
    {"Dxt1ThreeColours", D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
     {{0, 0, 1, 1}, {1, 0, 0, 1}, {0.5f, 0, 0.5f, 1}, {0, 0, 0, 0}}},
    // Alpha nibbles 0..15; c0 = c1 with every index 3: black with the
    // stored alpha.
    {"Dxt3BlackAtIndexThree", D3DFMT_DXT3,
     {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0xE0, 0x07, 0xE0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF},
     {{0, 0, 0, 0}, {0, 0, 0, 1 / 15.0f}, {0, 0, 0, 2 / 15.0f}, {0, 0, 0, 3 / 15.0f}}},
    // a0 = 255 > a1 = 0: eight values; indices 0, 1, 2, 7 on white.
    {"Dxt5EightValues", D3DFMT_DXT5,
     {0xFF, 0x00, 0x88, 0x0E, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
     {{1, 1, 1, 1}, {1, 1, 1, 0}, {1, 1, 1, 6 / 7.0f}, {1, 1, 1, 1 / 7.0f}}},
    // a0 = 0 <= a1 = 255: six values plus 0 and 1; indices 2, 5, 6, 7.
    {"Dxt5SixValues", D3DFMT_DXT5,
     {0x00, 0xFF, 0xAA, 0x0F, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
     {{1, 1, 1, 0.2f}, {1, 1, 1, 0.8f}, {1, 1, 1, 0}, {1, 1, 1, 1}}},
    // Premultiplied grey 0x7BEF with alphas 0, 8/15, 1, 4/15: alpha 0 gives
    // black, channels not below alpha give 1.
    {"Dxt2Premultiplied", D3DFMT_DXT2,
     {0x80, 0x4F, 0, 0, 0, 0, 0, 0, 0xEF, 0x7B, 0xEF, 0x7B, 0, 0, 0, 0},
     {{0, 0, 0, 0}, {kGrey5 / (8 / 15.0f), kGrey6 / (8 / 15.0f), kGrey5 / (8 / 15.0f), 8 / 15.0f},
      {kGrey5, kGrey6, kGrey5, 1}, {1, 1, 1, 4 / 15.0f}}},
    // The same grey with six-value alphas 0, 0.6, 1, 0.2 (indices 6, 4, 7, 2).
    {"Dxt4Premultiplied", D3DFMT_DXT4,
     {0x00, 0xFF, 0xE6, 0x05, 0, 0, 0, 0, 0xEF, 0x7B, 0xEF, 0x7B, 0, 0, 0, 0},
     {{0, 0, 0, 0}, {kGrey5 / 0.6f, kGrey6 / 0.6f, kGrey5 / 0.6f, 0.6f},
      {kGrey5, kGrey6, kGrey5, 1}, {1, 1, 1, 0.2f}}},
};
// clang-format on

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, GivesTheHandComputedTexels) {
    const DecodeCase& c = GetParam();
    ColorF texels[16];
    BlockDecoderOf(c.format)(c.block.data(), texels);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(texels[i].r, c.expected[i].r, 1e-6);
        EXPECT_NEAR(texels[i].g, c.expected[i].g, 1e-6);
        EXPECT_NEAR(texels[i].b, c.expected[i].b, 1e-6);
        EXPECT_NEAR(texels[i].a, c.expected[i].a, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, DecodeTest, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Encoders: the blocks the text of each edge case fixes.

struct EncodeCase {
    const char* name;
    D3DFORMAT format;
    bool dither;
    std::function<ColorF(int)> texel;
    std::vector<BYTE> expected;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

const EncodeCase kEncodeCases[] = {
    {"Dxt1AllTransparent",
     D3DFMT_DXT1,
     false,
     [](int i) {
         return ColorF{i / 15.0f, 1, 0, 0};
     },
     {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"Dxt1AllTransparentDithered",
     D3DFMT_DXT1,
     true,
     [](int) {
         return ColorF{1, 0.5f, 1, 0};
     },
     {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    // (0.3, 0.6, 0.9) quantises to 9, 38, 28: 0x4CDC.
    {"Dxt1Uniform",
     D3DFMT_DXT1,
     false,
     [](int) {
         return ColorF{0.3f, 0.6f, 0.9f, 1};
     },
     {0xDC, 0x4C, 0xDC, 0x4C, 0, 0, 0, 0}},
    {"Dxt3Uniform",
     D3DFMT_DXT3,
     false,
     [](int) { return Grid565(0x7BEF); },
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7B, 0xEF, 0x7B, 0, 0, 0, 0}},
    {"Dxt5UniformAlphaOne",
     D3DFMT_DXT5,
     true,
     [](int) { return Grid565(0x7BEF); },
     {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xEF, 0x7B, 0xEF, 0x7B, 0, 0, 0, 0}},
    // Alphas 0 (texels 0..7) and 0.5: six-value mode, a0 = 128 <= a1 = 255,
    // the zeros at index 6, the halves at index 0.
    {"Dxt5ZeroAndHalf",
     D3DFMT_DXT5,
     false,
     [](int i) { return Grid565(0x7BEF, i < 8 ? 0.0f : 0.5f); },
     {0x80, 0xFF, 0xB6, 0x6D, 0xDB, 0, 0, 0, 0xEF, 0x7B, 0xEF, 0x7B, 0, 0, 0, 0}},
    // The same uniform alpha everywhere: mode 8 with equal bytes.
    {"Dxt5UniformAlpha",
     D3DFMT_DXT5,
     false,
     [](int) { return Grid565(0xF800, 77 / 255.0f); },
     {77, 77, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0}},
};

class EncodeTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTest, WritesTheDefinedBlock) {
    const EncodeCase& c = GetParam();
    ColorF texels[16];
    for (int i = 0; i < 16; ++i) {
        texels[i] = c.texel(i);
    }
    Block block = {};
    BlockEncoderOf(c.format)(texels, c.dither, block.data());
    EXPECT_EQ(std::vector<BYTE>(block.begin(), block.begin() + c.expected.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, EncodeTest, ::testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Round trips through the codec.

// Writes every row of surface's box with image(x, y) (box coordinates) through
// a codec with options.
void WriteImage(BlockSurface& surface, const PixelBox& box,
                const std::function<ColorF(UINT, UINT)>& image, const CodecOptions& options = {}) {
    SurfaceDesc desc = surface.Desc(box);
    desc.dither = options.dither;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    ASSERT_NE(codec, nullptr);
    std::vector<ColorF> row(box.right - box.left);
    for (UINT y = 0; y < box.bottom - box.top; ++y) {
        for (UINT x = 0; x < row.size(); ++x) {
            row[x] = image(x, y);
        }
        codec->WriteRow(y, 0, row.data());
    }
}

void WriteImage(BlockSurface& surface, const std::function<ColorF(UINT, UINT)>& image,
                const CodecOptions& options = {}) {
    WriteImage(surface, PixelBox{0, 0, surface.width, surface.height, 0, 1}, image, options);
}

// Whether every channel of actual lies within tolerance of expected's.
testing::AssertionResult Near(const ColorF& actual, const ColorF& expected, float tolerance) {
    const float differences[] = {actual.r - expected.r, actual.g - expected.g,
                                 actual.b - expected.b, actual.a - expected.a};
    for (const float difference : differences) {
        if (!(std::fabs(difference) <= tolerance)) {
            return testing::AssertionFailure()
                   << "(" << actual.r << ", " << actual.g << ", " << actual.b << ", " << actual.a
                   << ") is not within " << tolerance << " of (" << expected.r << ", " << expected.g
                   << ", " << expected.b << ", " << expected.a << ")";
        }
    }
    return testing::AssertionSuccess();
}

constexpr D3DFORMAT kBlockFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4,
                                       D3DFMT_DXT5};

// Alpha on the format's grid: 1 where premultiplication or the single bit
// would change the colour.
float GridAlpha(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT3: return 10 / 15.0f;
        case D3DFMT_DXT5: return 77 / 255.0f;
        default: return 1.0f;
    }
}

TEST(BlockCodec, SolidAndTwoColourBlocksOnTheGridSurviveExactly) {
    const unsigned kWords[][2] = {{0x7BEF, 0x7BEF}, {0xF800, 0x001F}, {0x1234, 0xFEDC},
                                  {0x0841, 0x0861}, {0x8410, 0x8411}, {0xFFFF, 0x0000}};
    for (D3DFORMAT format : kBlockFormats) {
        for (const auto& words : kWords) {
            for (bool dither : {false, true}) {
                SCOPED_TRACE(testing::Message() << format << " " << std::hex << words[0] << " "
                                                << words[1] << " dither " << dither);
                const float alpha = GridAlpha(format);
                // A checkerboard of the two colours over 8 x 8 texels.
                const auto image = [&](UINT x, UINT y) {
                    return Grid565(words[(x ^ y) & 1], alpha);
                };
                BlockSurface surface(format, 8, 8);
                CodecOptions options;
                options.dither = dither;
                WriteImage(surface, image, options);
                std::unique_ptr<PixelCodec> codec = MakeCodec(surface.Desc());
                std::vector<ColorF> row(8);
                for (UINT y = 0; y < 8; ++y) {
                    codec->ReadRow(y, 0, row.data());
                    for (UINT x = 0; x < 8; ++x) {
                        EXPECT_TRUE(Near(row[x], image(x, y), 1e-6f));
                    }
                }
            }
        }
    }
}

TEST(BlockCodec, SmoothImagesStayWithinTheirError) {
    // A 16 x 16 diagonal ramp: every channel and alpha a function of x + 2y.
    const auto image = [](D3DFORMAT format, UINT x, UINT y) {
        const float t = static_cast<float>(x + 2 * y) / 45.0f;
        return ColorF{t, 1.0f - t, 0.25f + 0.5f * t,
                      format == D3DFMT_DXT1 ? 1.0f : 0.1f + 0.8f * t};
    };
    struct Bound {
        D3DFORMAT format;
        double colour;
        double alpha;
    };
    // The colour error is the 5:6:5 step plus a sixth of a block's span, the
    // alpha error half of the format's alpha step plus the interpolation.
    for (const Bound& bound : {Bound{D3DFMT_DXT1, 0.04, 0.0}, Bound{D3DFMT_DXT3, 0.04, 0.034},
                               Bound{D3DFMT_DXT5, 0.04, 0.015}}) {
        SCOPED_TRACE(bound.format);
        BlockSurface surface(bound.format, 16, 16);
        WriteImage(surface, [&](UINT x, UINT y) { return image(bound.format, x, y); });
        double colourError = 0.0;
        double alphaError = 0.0;
        for (UINT y = 0; y < 16; ++y) {
            for (UINT x = 0; x < 16; ++x) {
                const ColorF expected = image(bound.format, x, y);
                const ColorF actual = surface.Texel(x, y);
                colourError = std::max({colourError, std::fabs(double{actual.r} - expected.r),
                                        std::fabs(double{actual.g} - expected.g),
                                        std::fabs(double{actual.b} - expected.b)});
                alphaError = std::max(alphaError, std::fabs(double{actual.a} - expected.a));
            }
        }
        EXPECT_LE(colourError, bound.colour);
        EXPECT_LE(alphaError, bound.alpha);
    }
}

// ---------------------------------------------------------------------------
// The write grid.

TEST(BlockCodec, BoxInsideBlocksKeepsTheTexelsAroundIt) {
    // 16 x 16 DXT1, every block one colour of its own; a 6 x 6 box at (5, 5)
    // touches blocks (1..2, 1..2).
    BlockSurface surface(D3DFMT_DXT1, 16, 16);
    const auto blockColour = [](UINT x, UINT y) {
        return Grid565(0x0821u * (1 + x / 4 + 4 * (y / 4)));
    };
    WriteImage(surface, blockColour);
    const unsigned kInside = 0xF81F;
    WriteImage(surface, PixelBox{5, 5, 11, 11, 0, 1}, [&](UINT, UINT) { return Grid565(kInside); });
    for (UINT y = 0; y < 16; ++y) {
        for (UINT x = 0; x < 16; ++x) {
            SCOPED_TRACE(testing::Message() << x << ", " << y);
            const bool inside = x >= 5 && x < 11 && y >= 5 && y < 11;
            EXPECT_TRUE(
                Near(surface.Texel(x, y), inside ? Grid565(kInside) : blockColour(x, y), 1e-6f));
        }
    }
}

struct EdgeCase {
    UINT width;
    UINT height;
    int columns[4];  // which valid column each column of the block repeats
    int rows[4];
};

TEST(BlockCodec, TexelsBeyondTheSurfaceRepeatTheValidOnes) {
    const EdgeCase kCases[] = {
        {2, 2, {0, 1, 0, 1}, {0, 1, 0, 1}},
        {1, 3, {0, 0, 0, 0}, {0, 1, 2, 1}},
        {3, 1, {0, 1, 2, 1}, {0, 0, 0, 0}},
    };
    const auto image = [](UINT x, UINT y) {
        return ColorF{0.1f + 0.3f * x, 0.7f - 0.2f * y, 0.5f, 1};
    };
    for (const EdgeCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        BlockSurface surface(D3DFMT_DXT1, c.width, c.height);
        WriteImage(surface, image);
        ColorF texels[16];
        for (int i = 0; i < 16; ++i) {
            texels[i] = image(c.columns[i % 4], c.rows[i / 4]);
        }
        Block expected = {};
        BlockEncoderOf(D3DFMT_DXT1)(texels, false, expected.data());
        EXPECT_EQ(std::vector<BYTE>(surface.bytes.begin(), surface.bytes.end()),
                  std::vector<BYTE>(expected.begin(), expected.begin() + 8));
    }
}

TEST(BlockCodec, PartlyWrittenBlockRowsAreCompletedFromTheSurfaceWhenTheCodecGoes) {
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
        SCOPED_TRACE(format);
        BlockSurface surface(format, 8, 8);
        WriteImage(surface, [](UINT, UINT) { return Grid565(0x001F); });
        {
            // Rows 0..5 only: block row 1 never gets rows 6 and 7.
            std::unique_ptr<PixelCodec> codec = MakeCodec(surface.Desc());
            const std::vector<ColorF> row(8, Grid565(0xF800));
            for (UINT y = 0; y < 6; ++y) {
                codec->WriteRow(y, 0, row.data());
            }
        }
        for (UINT y = 0; y < 8; ++y) {
            for (UINT x = 0; x < 8; ++x) {
                SCOPED_TRACE(testing::Message() << x << ", " << y);
                EXPECT_TRUE(Near(surface.Texel(x, y), Grid565(y < 6 ? 0xF800 : 0x001F), 1e-6f));
            }
        }
    }
}

TEST(BlockCodec, SlicesAreWrittenAndReadEachInTheirOwnBlocks) {
    // A 4 x 4 x 2 "DXT1" volume: one block per slice, slice pitch 8.
    std::vector<BYTE> bytes(16);
    SurfaceDesc desc = {};
    desc.data = bytes.data();
    desc.format = D3DFMT_DXT1;
    desc.rowPitch = 8;
    desc.slicePitch = 8;
    desc.extent = PixelBox{0, 0, 4, 4, 0, 2};
    desc.box = desc.extent;
    const unsigned kWords[2] = {0xF800, 0x07FF};
    {
        std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
        for (UINT z = 0; z < 2; ++z) {
            const std::vector<ColorF> row(4, Grid565(kWords[z]));
            for (UINT y = 0; y < 4; ++y) {
                codec->WriteRow(y, z, row.data());
            }
        }
    }
    EXPECT_EQ(bytes, (std::vector<BYTE>{0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0, 0xFF, 0x07, 0xFF, 0x07,
                                        0, 0, 0, 0}));
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    std::vector<ColorF> row(4);
    for (UINT z = 0; z < 2; ++z) {
        codec->ReadRow(3, z, row.data());
        EXPECT_TRUE(Near(row[3], Grid565(kWords[z]), 0.0f));
    }
}

// ---------------------------------------------------------------------------
// Reading.

TEST(BlockCodec, ReadsTheBoxFromTheCachedBlockRowWithTheKeyQuantised) {
    // 8 x 8 DXT1: on the left red 30/31 of the way (index 2 between 0xF800
    // and 0xF000), in the 5:6:5 cell of the key 0xFFFC0204; blue on the
    // right.
    BlockSurface surface(D3DFMT_DXT1, 8, 8);
    const Block kNearRed = {0x00, 0xF8, 0x00, 0xF0, 0xAA, 0xAA, 0xAA, 0xAA};
    const Block kBlue = {0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
    for (UINT row = 0; row < 2; ++row) {
        std::copy_n(kNearRed.begin(), 8, surface.Block(0, row));
        std::copy_n(kBlue.begin(), 8, surface.Block(1, row));
    }
    SurfaceDesc desc = surface.Desc(PixelBox{2, 3, 7, 8, 0, 1});
    desc.colorKey = 0xFFFC0204;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    std::vector<ColorF> row(5);
    for (UINT y = 0; y < 5; ++y) {
        codec->ReadRow(y, 0, row.data());
        for (UINT x = 0; x < 5; ++x) {
            EXPECT_TRUE(Near(row[x], x < 2 ? ColorF{0, 0, 0, 0} : Grid565(0x001F), 0.0f));
        }
    }
}

TEST(BlockCodec, RefusesBoxesWhoseWriteGridDoesNotFitInMemory) {
    // 2^30 block rows; the widened bottom edge is 2^32.
    std::vector<BYTE> bytes(16);
    SurfaceDesc desc = {};
    desc.data = bytes.data();
    desc.format = D3DFMT_DXT5;
    desc.extent = PixelBox{0, 0, 4, 0xFFFFFFFF, 0, 1};
    desc.box = desc.extent;
    std::unique_ptr<PixelCodec> codec;
    EXPECT_EQ(CreatePixelCodec(desc, &codec), E_OUTOFMEMORY);
    EXPECT_EQ(codec, nullptr);
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// The encoders' output is fixed by their arithmetic: a hash of the blocks
// written for a set of pseudo-random blocks (noise, ramps, flat areas, all
// alpha kinds) was recorded once and must not change when the encoders are
// made faster.

ColorF PseudoRandomTexel(std::uint32_t& state, int kind, int i) {
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    switch (kind) {
        case 0: return ColorF{next(), next(), next(), next()};
        case 1: {
            const float t = static_cast<float>(i) / 15.0f;
            return ColorF{t, 1.0f - t, 0.5f * t + 0.2f * next(), next() < 0.3f ? 0.0f : 1.0f};
        }
        case 2: return ColorF{0.25f, 0.5f + 0.01f * next(), 0.75f, static_cast<float>(i & 1)};
        default: return ColorF{next() * 0.1f, next() * 0.1f + 0.8f, next(), 0.5f + 0.5f * next()};
    }
}

TEST(BlockEncoders, OutputIsPinned) {
    const struct {
        D3DFORMAT format;
        bool dither;
        std::uint64_t hash;
    } kPins[] = {
        {D3DFMT_DXT1, false, 0x0ac045110bf6fda7u}, {D3DFMT_DXT1, true, 0xbe6727bc1732a8cau},
        {D3DFMT_DXT2, false, 0xc019ac025d84b972u}, {D3DFMT_DXT3, true, 0x6735d2e99c9dc395u},
        {D3DFMT_DXT4, true, 0xba8e7959b5906872u},  {D3DFMT_DXT5, false, 0x98a38b3b592d26b8u},
        {D3DFMT_DXT5, true, 0x8531e1b51c18b9b6u},
    };
    for (const auto& pin : kPins) {
        std::uint32_t state = 7;
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a
        for (int block = 0; block < 4000; ++block) {
            ColorF texels[16];
            for (int i = 0; i < 16; ++i) {
                texels[i] = PseudoRandomTexel(state, block % 4, i);
            }
            Block out = {};
            BlockEncoderOf(pin.format)(texels, pin.dither, out.data());
            for (BYTE b : out) {
                hash = (hash ^ b) * 1099511628211u;
            }
        }
        EXPECT_EQ(hash, pin.hash) << pin.format << (pin.dither ? " dithered" : "");
    }
}

}  // namespace
