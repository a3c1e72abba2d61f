#include "pixel/pixel_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "codec_test_util.h"

namespace {

constexpr float kByte = 1.0f / 255.0f;

// ---------------------------------------------------------------------------
// Factory.

TEST(CreatePixelCodec, RefusesFormatsOutsideTheTable) {
    TestSurface surface(4, 2, 2);
    for (D3DFORMAT format :
         {D3DFMT_UNKNOWN, D3DFMT_D24S8, D3DFMT_D16, D3DFMT_D32, D3DFMT_INDEX16, D3DFMT_VERTEXDATA,
          static_cast<D3DFORMAT>(MAKEFOURCC('A', 'B', 'C', 'D'))}) {
        std::unique_ptr<PixelCodec> codec;
        EXPECT_EQ(CreatePixelCodec(surface.Desc(format), &codec), E_FAIL) << format;
        EXPECT_EQ(codec, nullptr) << format;
    }
}

TEST(CreatePixelCodec, BindsToTheBoxOrigin) {
    TestSurface surface(4, 8, 6, 3, 12, 20);
    SurfaceDesc desc = surface.Desc(D3DFMT_A8R8G8B8);
    desc.box = PixelBox{2, 1, 7, 5, 1, 3};
    desc.dither = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    ASSERT_NE(codec, nullptr);
    EXPECT_TRUE(codec->perPixel);
    EXPECT_EQ(codec->valueClass, ValueClass::Unsigned);
    EXPECT_EQ(codec->data, surface.Pixel(2, 1, 1));
    EXPECT_EQ(codec->width, 5u);
    EXPECT_EQ(codec->height, 4u);
    EXPECT_EQ(codec->depth, 2u);
    EXPECT_EQ(codec->bytesPerPixel, 4u);
    EXPECT_EQ(codec->bytesPerRow, 20u);
    EXPECT_EQ(codec->box.right, 5u);
    EXPECT_EQ(codec->box.bottom, 4u);
    EXPECT_EQ(codec->box.back, 2u);
    EXPECT_EQ(codec->box.left + codec->box.top + codec->box.front, 0u);
    EXPECT_EQ(codec->diffusionBuffer, nullptr);
    EXPECT_NE(codec->conversionBuffer, nullptr);
}

TEST(CreatePixelCodec, DiffusionBufferIsZeroedAndTwoWider) {
    TestSurface surface(2, 5, 2);
    CodecOptions options;
    options.diffusion = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_R5G6B5, options);
    ASSERT_NE(codec->diffusionBuffer, nullptr);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(SameColor(codec->diffusionBuffer[i], ColorF{0, 0, 0, 0}));
    }
}

TEST(CreatePixelCodec, EmptyBoxReadsAndWritesNothing) {
    TestSurface surface(4, 4, 2);
    std::fill(surface.bytes.begin(), surface.bytes.end(), BYTE{0x5A});
    const std::vector<BYTE> before = surface.bytes;
    SurfaceDesc desc = surface.Desc(D3DFMT_A8R8G8B8);
    desc.box = PixelBox{3, 0, 3, 2, 0, 1};
    desc.diffusion = true;
    desc.colorKey = 0xFF000000;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->width, 0u);
    ColorF row[2] = {{7, 7, 7, 7}, {7, 7, 7, 7}};
    codec->ReadRow(0, 0, row);
    codec->WriteRow(1, 0, row);
    EXPECT_TRUE(SameColor(row[0], ColorF{7, 7, 7, 7}));
    EXPECT_EQ(surface.bytes, before);
}

// ---------------------------------------------------------------------------
// Memory bounds: every per-pixel format reads and writes a box that is not at
// the origin, with padded pitches, in memory that ends at the box's last byte,
// and leaves every byte outside the box alone.

class BoxBounds : public ::testing::TestWithParam<D3DFORMAT> {};

TEST_P(BoxBounds, TouchesOnlyTheBox) {
    const D3DFORMAT format = GetParam();
    const UINT bpp = BytesPerPixel(format);
    TestSurface surface(bpp, 7, 5, 3, 3, 5);
    for (std::size_t i = 0; i < surface.bytes.size(); ++i) {
        surface.bytes[i] = static_cast<BYTE>(i * 37 + 11);
    }
    const std::vector<BYTE> before = surface.bytes;
    SurfaceDesc desc = surface.Desc(format);
    desc.box = PixelBox{2, 1, 7, 5, 1, 3};
    desc.dither = true;
    desc.diffusion = true;
    desc.colorKey = 0xFF102030;
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    ASSERT_NE(codec, nullptr);

    std::vector<ColorF> row(5);
    for (UINT z = 0; z < 2; ++z) {
        for (UINT y = 0; y < 4; ++y) {
            codec->ReadRow(y, z, row.data());
            for (UINT x = 0; x < 5; ++x) {
                row[x] = ColorF{0.1f * x, 0.3f, -0.2f * y, 0.7f};
            }
            codec->WriteRow(y, z, row.data());
        }
    }
    for (UINT z = 0; z < 3; ++z) {
        for (UINT y = 0; y < 5; ++y) {
            for (UINT x = 0; x < 7; ++x) {
                const bool inBox = x >= 2 && y >= 1 && z >= 1;
                if (inBox) {
                    continue;
                }
                const std::size_t at = surface.Pixel(x, y, z) - surface.bytes.data();
                for (UINT b = 0; b < bpp; ++b) {
                    ASSERT_EQ(surface.bytes[at + b], before[at + b]) << x << "," << y << "," << z;
                }
            }
            // Padding after each row is never touched.
            if (y < 4 || z < 2) {
                const std::size_t pad = surface.Pixel(7, y, z) - surface.bytes.data();
                for (std::size_t b = pad; b < pad + 3 && b < before.size(); ++b) {
                    ASSERT_EQ(surface.bytes[b], before[b]);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, BoxBounds,
    ::testing::Values(D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                      D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_R3G3B2, D3DFMT_A8,
                      D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4, D3DFMT_A2B10G10R10, D3DFMT_A8B8G8R8,
                      D3DFMT_X8B8G8R8, D3DFMT_G16R16, D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16,
                      D3DFMT_A8P8, D3DFMT_P8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_A4L4, D3DFMT_V8U8,
                      D3DFMT_L6V5U5, D3DFMT_X8L8V8U8, D3DFMT_Q8W8V8U8, D3DFMT_V16U16,
                      D3DFMT_A2W10V10U10, D3DFMT_D16_LOCKABLE, D3DFMT_L16, D3DFMT_Q16W16V16U16,
                      D3DFMT_CxV8U8, D3DFMT_PRIVATE_AL16, D3DFMT_PRIVATE_R16, D3DFMT_R16F,
                      D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_D32F_LOCKABLE,
                      D3DFMT_G32R32F, D3DFMT_A32B32G32R32F));

// ---------------------------------------------------------------------------
// Colour key.

TEST(ColorKey, AlphaOfTheKeyIsIrrelevantWithoutStoredAlpha) {
    TestSurface surface(4, 4, 1);
    const std::uint32_t pixels[4] = {0xFFFF00FF, 0x00FF00FF, 0xFFFE00FF, 0xFF00FF00};
    std::memcpy(surface.bytes.data(), pixels, sizeof(pixels));
    CodecOptions options;
    options.colorKey = 0x00FF00FF;  // magenta with alpha 0
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_X8R8G8B8, options);
    EXPECT_TRUE(SameColor(codec->keyColor, ColorF{1.0f * 255 * kByte, 0, 255 * kByte, 1}));
    ColorF row[4];
    codec->ReadRow(0, 0, row);
    EXPECT_TRUE(SameColor(row[0], ColorF{0, 0, 0, 0}));
    EXPECT_TRUE(SameColor(row[1], ColorF{0, 0, 0, 0}));
    EXPECT_FALSE(SameColor(row[2], ColorF{0, 0, 0, 0}));
    EXPECT_FALSE(SameColor(row[3], ColorF{0, 0, 0, 0}));
}

TEST(ColorKey, AlphaIsComparedWhenStored) {
    TestSurface surface(4, 2, 1);
    const std::uint32_t pixels[2] = {0xFFFFFFFF, 0x80FFFFFF};
    std::memcpy(surface.bytes.data(), pixels, sizeof(pixels));
    CodecOptions options;
    options.colorKey = 0xFFFFFFFF;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8R8G8B8, options);
    ColorF row[2];
    codec->ReadRow(0, 0, row);
    EXPECT_TRUE(SameColor(row[0], ColorF{0, 0, 0, 0}));
    EXPECT_TRUE(SameColor(row[1], ColorF{255 * kByte, 255 * kByte, 255 * kByte, 128 * kByte}));
}

// A key is compared after 5-6-5 quantisation: any 8-bit colour of a cell keys
// that cell's pixel and no neighbour.
// The key is compared with the stored codes, before gamma decoding.
TEST(ColorKey, ComparesBeforeGammaDecoding) {
    TestSurface surface(4, 2, 1);
    const std::uint32_t pixels[2] = {0xFF808080, 0xFF808081};
    std::memcpy(surface.bytes.data(), pixels, sizeof(pixels));
    CodecOptions options;
    options.gamma = true;
    options.colorKey = 0xFF808080;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8R8G8B8, options);
    EXPECT_EQ(codec->keyColor.r, 128 * kByte);
    ColorF row[2];
    codec->ReadRow(0, 0, row);
    EXPECT_TRUE(SameColor(row[0], ColorF{0, 0, 0, 0}));
    EXPECT_NEAR(row[1].b, std::pow(129 * kByte, 2.2f), 2e-4);
}

TEST(ColorKey, R5G6B5KeyMatchesItsWholeCell) {
    for (int channel = 0; channel < 3; ++channel) {
        const int bits = channel == 1 ? 6 : 5;
        const int shift = channel == 0 ? 11 : channel == 1 ? 5 : 0;
        const int maxCode = (1 << bits) - 1;
        for (int value = 0; value < 256; ++value) {
            const int cell = static_cast<int>(value * kByte * maxCode + 0.5f);
            TestSurface surface(2, 3, 1);
            for (int d = -1; d <= 1; ++d) {
                const int code = std::clamp(cell + d, 0, maxCode);
                PutWord<std::uint16_t>(surface.Pixel(d + 1, 0),
                                       static_cast<std::uint16_t>(code << shift));
            }
            CodecOptions options;
            options.colorKey = 0xFF000000u | static_cast<DWORD>(value) << (16 - 8 * channel);
            std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_R5G6B5, options);
            ColorF row[3];
            codec->ReadRow(0, 0, row);
            ASSERT_TRUE(SameColor(row[1], ColorF{0, 0, 0, 0})) << channel << " " << value;
            for (int d : {-1, 1}) {
                const bool sameCell = std::clamp(cell + d, 0, maxCode) == cell;
                ASSERT_EQ(SameColor(row[d + 1], ColorF{0, 0, 0, 0}), sameCell)
                    << channel << " " << value << " " << d;
            }
        }
    }
}

TEST(ColorKey, SignedFormatsQuantiseTheConvertedKey) {
    TestSurface surface(2, 2, 1);
    // Key red 255, green 0 -> U = 1.0, V = -1.0 -> codes 127 and -127.
    PutWord<std::uint16_t>(surface.Pixel(0, 0), 0x817F);
    PutWord<std::uint16_t>(surface.Pixel(1, 0), 0x807F);  // -128 reads like -127
    CodecOptions options;
    options.colorKey = 0x00FF0000;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_V8U8, options);
    ColorF row[2];
    codec->ReadRow(0, 0, row);
    EXPECT_TRUE(SameColor(row[0], ColorF{0, 0, 0, 0}));
    EXPECT_TRUE(SameColor(row[1], ColorF{0, 0, 0, 0}));
}

TEST(ColorKey, PreparingTheKeyRestoresTheCodecState) {
    TestSurface surface(1, 6, 2);
    SurfaceDesc desc = surface.Desc(D3DFMT_A8);
    desc.box = PixelBox{1, 0, 6, 2, 0, 1};
    desc.dither = true;
    desc.diffusion = true;
    desc.gamma = true;
    desc.colorKey = 0x80000000;  // alpha 0.502: quantising it leaves an error
    std::unique_ptr<PixelCodec> codec = MakeCodec(desc);
    EXPECT_EQ(codec->data, surface.Pixel(1, 0));
    EXPECT_EQ(codec->width, 5u);
    EXPECT_EQ(codec->height, 2u);
    EXPECT_EQ(codec->rowPitch, 6u);
    EXPECT_EQ(codec->bytesPerRow, 5u);
    EXPECT_TRUE(codec->gamma);
    EXPECT_EQ(codec->colorKey, 0x80000000u);
    ASSERT_NE(codec->diffusionBuffer, nullptr);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(SameColor(codec->diffusionBuffer[i], ColorF{0, 0, 0, 0}));
    }
    EXPECT_EQ(codec->keyColor.a, 128 * kByte);

    // The ordered thresholds are back: a row written now equals the same row
    // written by a codec made without a key.
    desc.colorKey = 0;
    TestSurface other(1, 6, 2);
    desc.data = other.bytes.data();
    std::unique_ptr<PixelCodec> plain = MakeCodec(desc);
    const ColorF row[5] = {
        {0, 0, 0, 0.3f}, {0, 0, 0, 0.31f}, {0, 0, 0, 0.32f}, {0, 0, 0, 0.33f}, {0, 0, 0, 0.34f}};
    for (UINT y = 0; y < 2; ++y) {
        codec->WriteRow(y, 0, row);
        plain->WriteRow(y, 0, row);
    }
    EXPECT_EQ(surface.bytes, other.bytes);
}

// ---------------------------------------------------------------------------
// Gamma.

TEST(Gamma, DecodingOnReading) {
    TestSurface surface(4, 5, 1);
    const std::uint32_t pixels[5] = {0x00000000, 0x80808080, 0xFFFFFFFF, 0x40204060, 0x00FF0000};
    std::memcpy(surface.bytes.data(), pixels, sizeof(pixels));
    CodecOptions options;
    options.gamma = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8R8G8B8, options);
    ColorF row[5];
    codec->ReadRow(0, 0, row);
    EXPECT_EQ(row[0].r, 0.0f);
    const float half = 128 * kByte;
    EXPECT_NEAR(row[1].r, std::pow(half, 2.2f), 2e-4);
    EXPECT_EQ(row[1].a, half);  // alpha is not decoded for unsigned formats
    EXPECT_NEAR(row[2].g, 1.0f, 1e-6);
    EXPECT_NEAR(row[3].r, std::pow(0x20 * kByte, 2.2f), 2e-4);
    EXPECT_NEAR(row[3].g, std::pow(0x40 * kByte, 2.2f), 2e-4);
    EXPECT_NEAR(row[3].b, std::pow(0x60 * kByte, 2.2f), 2e-4);

    codec->bothGamma = true;
    codec->ReadRow(0, 0, row);
    EXPECT_EQ(row[1].r, half * half);
}

TEST(Gamma, DecodingClampsFloatInputs) {
    TestSurface surface(4, 3, 1);
    const float pixels[3] = {2.0f, -0.5f, 0.25f};
    std::memcpy(surface.bytes.data(), pixels, sizeof(pixels));
    CodecOptions options;
    options.gamma = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_R32F, options);
    ColorF row[3];
    codec->ReadRow(0, 0, row);
    EXPECT_EQ(row[0].r, 1.0f);
    EXPECT_EQ(row[1].r, 0.0f);
    // 0.25 sits on sample 0.0625 x 254 = 15.875 of the curve.
    EXPECT_NEAR(row[2].r, std::pow(0.25f, 2.2f), 2e-4);
}

TEST(Gamma, SignedFormatsDecodeAlphaOnly) {
    TestSurface surface(2, 1, 1);
    PutWord<std::uint16_t>(surface.Pixel(0, 0), 32 << 10 | 8 << 5 | 8);  // L 32, V 8, U 8
    CodecOptions options;
    options.gamma = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_L6V5U5, options);
    ColorF c;
    codec->ReadRow(0, 0, &c);
    EXPECT_EQ(c.r, 8 * (1.0f / 15));
    EXPECT_EQ(c.g, 8 * (1.0f / 15));
    EXPECT_NEAR(c.a, std::pow(32 / 63.0f, 2.2f), 2e-4);
}

// The gamma flag survives creation for the unsigned and float classes and,
// of the signed ones, for D3DFMT_L6V5U5 alone.
struct GammaFlagCase {
    D3DFORMAT format;
    ValueClass valueClass;
    bool keeps;
};

TEST(Gamma, FlagIsDroppedForSignedFormats) {
    const GammaFlagCase cases[] = {
        {D3DFMT_A8R8G8B8, ValueClass::Unsigned, true},
        {D3DFMT_P8, ValueClass::Unsigned, true},
        {D3DFMT_YUY2, ValueClass::Unsigned, true},
        {D3DFMT_R32F, ValueClass::Float, true},
        {D3DFMT_A16B16G16R16F, ValueClass::Float, true},
        {D3DFMT_L6V5U5, ValueClass::SignedColor, true},
        {D3DFMT_V8U8, ValueClass::SignedColor, false},
        {D3DFMT_X8L8V8U8, ValueClass::SignedColor, false},
        {D3DFMT_V16U16, ValueClass::SignedColor, false},
        {D3DFMT_A2W10V10U10, ValueClass::SignedColor, false},
        {D3DFMT_CxV8U8, ValueClass::SignedColor, false},
        {D3DFMT_Q8W8V8U8, ValueClass::Signed, false},
        {D3DFMT_Q16W16V16U16, ValueClass::Signed, false},
    };
    for (const GammaFlagCase& c : cases) {
        TestSurface surface(16, 2, 1);
        for (bool gamma : {false, true}) {
            CodecOptions options;
            options.gamma = gamma;
            std::unique_ptr<PixelCodec> codec = MakeCodec(surface, c.format, options);
            ASSERT_NE(codec, nullptr) << c.format;
            EXPECT_EQ(codec->valueClass, c.valueClass) << c.format;
            EXPECT_EQ(codec->gamma, gamma && c.keeps) << c.format << " gamma " << gamma;
        }
    }
}

TEST(Gamma, EncodingOnWriting) {
    TestSurface surface(4, 5, 1);
    CodecOptions options;
    options.gamma = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8R8G8B8, options);
    // 0.25 -> sqrt 0.5 -> sample 127: 0.5^(1/1.1) = 0.53252 -> 135.79 + 0.5 -> 136.
    const ColorF row[5] = {
        {0.25f, 0, 1, 0.25f}, {2, -1, 0, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}, {0.0625f, 0, 0, 0}};
    const std::vector<ColorF> before(row, row + 5);
    codec->WriteRow(0, 0, row);
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(0, 0)), 0x408800FFu);
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(1, 0)), 0xFFFF0000u);
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(3, 0)), 0xFFFFFFFFu);
    // 0.0625 -> sample 63.5, halfway between (63/254)^(1/1.1) = 0.28155 and
    // (64/254)^(1/1.1) = 0.28561: 0.28358 x 255 + 0.5 = 72.81 -> 72.
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(4, 0)) >> 16, 72u);
    EXPECT_EQ(std::memcmp(row, before.data(), sizeof(row)), 0);

    codec->bothGamma = true;
    codec->WriteRow(0, 0, row);
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(0, 0)), 0x408000FFu);
}

// ---------------------------------------------------------------------------
// Class conversion on writing.

struct ClassCase {
    const char* name;
    D3DFORMAT format;
    ValueClass other;
    ColorF input;
    std::uint32_t expected;
};

class ClassConversion : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassConversion, ConvertsBeforeQuantising) {
    const ClassCase& c = GetParam();
    TestSurface surface(BytesPerPixel(c.format), 1, 1);
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, c.format);
    codec->otherClass = c.other;
    const ColorF input = c.input;
    codec->WriteRow(0, 0, &input);
    EXPECT_EQ(GetWord<std::uint32_t>(surface.Pixel(0, 0), surface.bpp), c.expected)
        << std::hex << GetWord<std::uint32_t>(surface.Pixel(0, 0), surface.bpp);
    EXPECT_TRUE(SameColor(input, c.input));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ClassConversion, ::testing::Values(
    // Unsigned to signed: 2v - 1.
    ClassCase{"UnsignedToSignedColor", D3DFMT_V8U8, ValueClass::Unsigned, {1, 0.5f, 0, 0}, 0x007F},
    ClassCase{"UnsignedToSignedColorLow", D3DFMT_V8U8, ValueClass::Unsigned, {0, 0, 0, 0}, 0x8181},
    // Signed to unsigned: v x 0.5 + 0.5; alpha too from class 3 only.
    ClassCase{"SignedToUnsigned", D3DFMT_A8R8G8B8, ValueClass::Signed, {-1, 0, 1, -1}, 0x000080FF},
    ClassCase{"SignedColorToUnsigned", D3DFMT_A8R8G8B8, ValueClass::SignedColor, {-1, 0, 1, 0.5f}, 0x800080FF},
    ClassCase{"SignedColorToSigned", D3DFMT_Q8W8V8U8, ValueClass::SignedColor, {-1, 0.5f, 1, 0.5f}, 0x007F4081},
    ClassCase{"UnsignedToSigned", D3DFMT_Q8W8V8U8, ValueClass::Unsigned, {1, 0, 0.5f, 1}, 0x7F00817F},
    // From float: clamps to the destination's range.
    ClassCase{"FloatToUnsigned", D3DFMT_A8R8G8B8, ValueClass::Float, {2, -1, 0.5f, 7}, 0xFFFF0080},
    ClassCase{"FloatToSigned", D3DFMT_Q8W8V8U8, ValueClass::Float, {2, -2, 0.5f, -3}, 0x8140817F},
    ClassCase{"FloatToSignedColor", D3DFMT_A2W10V10U10, ValueClass::Float, {-5, 0, 5, 9}, 0xDFF00201},
    // A float destination is written as it comes.
    ClassCase{"UnsignedToFloat", D3DFMT_R32F, ValueClass::Unsigned, {-7.5f, 0, 0, 0}, 0xC0F00000}),
    [](const ::testing::TestParamInfo<ClassCase>& info) { return std::string(info.param.name); });
// clang-format on

// ---------------------------------------------------------------------------
// Dithering.

// A level halfway between two codes, 100.5 / 255, meets the ordered thresholds
// (2k + 1) / 32; odd rows run right to left, so their thresholds are mirrored.
TEST(OrderedDither, FollowsTheThresholdMatrix) {
    TestSurface surface(1, 4, 4, 2);
    CodecOptions options;
    options.dither = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8, options);
    std::vector<ColorF> row(4, ColorF{0, 0, 0, 100.5f * kByte});
    for (UINT z = 0; z < 2; ++z) {
        for (UINT y = 0; y < 4; ++y) {
            codec->WriteRow(y, z, row.data());
        }
    }
    // k per threshold row: 15 7 13 5 | 3 11 1 9 | 12 4 14 6 | 0 8 2 10; a pixel
    // rounds up when (2k + 1) / 32 > 0.5, i.e. k >= 8.
    const int slice0[4][4] = {
        {101, 100, 101, 100},  // k 15 7 13 5
        {101, 100, 101, 100},  // i = 3 - x: k 9 1 11 3
        {101, 100, 101, 100},  // k 12 4 14 6
        {101, 100, 101, 100},  // i = 3 - x: k 10 2 8 0
    };
    const int slice1[4][4] = {
        {100, 101, 100, 101},  // k 7 13 5 15
        {100, 101, 100, 101},  // i = 3 - x, shifted: k 3 9 1 11
        {100, 101, 100, 101},  // k 4 14 6 12
        {100, 101, 100, 101},  // k 0 10 2 8
    };
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            EXPECT_EQ(surface.Pixel(x, y, 0)[0], slice0[y][x]) << x << "," << y;
            EXPECT_EQ(surface.Pixel(x, y, 1)[0], slice1[y][x]) << x << "," << y;
        }
    }
}

// Error diffusion on a 1-bit field, worked by hand: alpha 0.3 everywhere, five
// pixels wide. Row 0 (left to right): 0.8 -> 0, e 0.3, carry 0.13125;
// 0.93125 -> 0; 0.98867 -> 0; 1.01379 -> 1; 0.58728 -> 0. Row 1 runs right to
// left with the 3/16, 5/16, 1/16 shares of row 0 added, row 2 left to right.
TEST(ErrorDiffusion, CarriesErrorsInSerpentineOrder) {
    TestSurface surface(2, 5, 3);
    CodecOptions options;
    options.diffusion = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A1R5G5B5, options);
    std::vector<ColorF> row(5, ColorF{0, 0, 0, 0.3f});
    const std::vector<ColorF> input = row;
    const int expected[3][5] = {{0, 0, 0, 1, 0}, {1, 0, 1, 0, 0}, {0, 0, 0, 1, 0}};
    for (UINT y = 0; y < 3; ++y) {
        codec->WriteRow(y, 0, row.data());
        for (UINT x = 0; x < 5; ++x) {
            EXPECT_EQ(GetWord<std::uint16_t>(surface.Pixel(x, y)), expected[y][x] ? 0x8000 : 0)
                << x << "," << y;
        }
    }
    EXPECT_EQ(std::memcmp(row.data(), input.data(), sizeof(ColorF) * 5), 0);
}

TEST(ErrorDiffusion, BufferHoldsTheSharesForTheNextRow) {
    TestSurface surface(2, 2, 1);
    CodecOptions options;
    options.diffusion = true;
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A1R5G5B5, options);
    // x 0: v 0.3, q 0, e 0.3, carry 0.13125; x 1: v 0.43125, q 0, e 0.43125.
    const ColorF row[2] = {{0, 0, 0, 0.3f}, {0, 0, 0, 0.3f}};
    codec->WriteRow(0, 0, row);
    const ColorF* next = codec->diffusionBuffer.get();
    EXPECT_FLOAT_EQ(next[0].a, 0.1875f * 0.3f);
    EXPECT_FLOAT_EQ(next[1].a, 0.3125f * 0.3f + 0.1875f * 0.43125f);
    EXPECT_FLOAT_EQ(next[2].a, 0.0625f * 0.3f + 0.3125f * 0.43125f);
    EXPECT_FLOAT_EQ(next[3].a, 0.0625f * 0.43125f);
    EXPECT_EQ(next[1].r, 0.0f);
}

}  // namespace
