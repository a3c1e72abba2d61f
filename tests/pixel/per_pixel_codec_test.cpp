#include "pixel/per_pixel_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "codec_test_util.h"

namespace {

float Un(int code, int bits) {
    return static_cast<float>(code) * (1.0f / static_cast<float>((1 << bits) - 1));
}
float Sn(int code, int bits) {
    return static_cast<float>(code) * (1.0f / static_cast<float>((1 << (bits - 1)) - 1));
}

std::vector<PALETTEENTRY> DistinctPalette() {
    std::vector<PALETTEENTRY> palette(256);
    for (int k = 0; k < 256; ++k) {
        palette[k] =
            PALETTEENTRY{static_cast<BYTE>(k), static_cast<BYTE>(255 - k),
                         static_cast<BYTE>((k * 7) & 255), static_cast<BYTE>((k * 13 + 5) & 255)};
    }
    return palette;
}

// ---------------------------------------------------------------------------
// Channel layout: one pixel of every format reads to the expected colour.

struct LayoutCase {
    const char* name;
    D3DFORMAT format;
    std::uint64_t low;  // the first 8 bytes of the pixel, little-endian
    std::uint64_t high;
    ColorF expected;
};

std::uint64_t FloatBits(float a, float b) {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::memcpy(&x, &a, 4);
    std::memcpy(&y, &b, 4);
    return x | (std::uint64_t{y} << 32);
}

class ChannelLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ChannelLayout, ReadsFieldsIntoTheirChannels) {
    const LayoutCase& c = GetParam();
    TestSurface surface(BytesPerPixel(c.format), 1, 1);
    std::uint64_t words[2] = {c.low, c.high};
    std::memcpy(surface.Pixel(0, 0), words, surface.bpp);
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, c.format);
    ASSERT_NE(codec, nullptr);
    ColorF got = {};
    codec->ReadRow(0, 0, &got);
    EXPECT_FLOAT_EQ(got.r, c.expected.r);
    EXPECT_FLOAT_EQ(got.g, c.expected.g);
    EXPECT_FLOAT_EQ(got.b, c.expected.b);
    EXPECT_FLOAT_EQ(got.a, c.expected.a);
}

const float kCxBlue = std::sqrt(1.0f - Sn(64, 8) * Sn(64, 8));

// clang-format off
INSTANTIATE_TEST_SUITE_P(AllFormats, ChannelLayout, ::testing::Values(
    LayoutCase{"R8G8B8", D3DFMT_R8G8B8, 0x123456, 0, {Un(0x12, 8), Un(0x34, 8), Un(0x56, 8), 1}},
    LayoutCase{"A8R8G8B8", D3DFMT_A8R8G8B8, 0x78123456, 0, {Un(0x12, 8), Un(0x34, 8), Un(0x56, 8), Un(0x78, 8)}},
    LayoutCase{"X8R8G8B8", D3DFMT_X8R8G8B8, 0x78123456, 0, {Un(0x12, 8), Un(0x34, 8), Un(0x56, 8), 1}},
    LayoutCase{"R5G6B5", D3DFMT_R5G6B5, 0x11 << 11 | 0x2A << 5 | 0x05, 0, {Un(0x11, 5), Un(0x2A, 6), Un(5, 5), 1}},
    LayoutCase{"X1R5G5B5", D3DFMT_X1R5G5B5, 0x0000 | 3 << 10 | 17 << 5 | 29, 0, {Un(3, 5), Un(17, 5), Un(29, 5), 1}},
    LayoutCase{"A1R5G5B5_on", D3DFMT_A1R5G5B5, 0x8000 | 3 << 10 | 17 << 5 | 29, 0, {Un(3, 5), Un(17, 5), Un(29, 5), 1}},
    LayoutCase{"A1R5G5B5_off", D3DFMT_A1R5G5B5, 3 << 10 | 17 << 5 | 29, 0, {Un(3, 5), Un(17, 5), Un(29, 5), 0}},
    LayoutCase{"A4R4G4B4", D3DFMT_A4R4G4B4, 0xC396, 0, {Un(3, 4), Un(9, 4), Un(6, 4), Un(12, 4)}},
    LayoutCase{"R3G3B2", D3DFMT_R3G3B2, 5 << 5 | 2 << 2 | 1, 0, {Un(5, 3), Un(2, 3), Un(1, 2), 1}},
    LayoutCase{"A8", D3DFMT_A8, 0x80, 0, {0, 0, 0, Un(0x80, 8)}},
    LayoutCase{"A8R3G3B2", D3DFMT_A8R3G3B2, 0x4000 | 5 << 5 | 2 << 2 | 1, 0, {Un(5, 3), Un(2, 3), Un(1, 2), Un(0x40, 8)}},
    LayoutCase{"X4R4G4B4", D3DFMT_X4R4G4B4, 0xF396, 0, {Un(3, 4), Un(9, 4), Un(6, 4), 1}},
    LayoutCase{"A2B10G10R10", D3DFMT_A2B10G10R10, 0x123u | 0x2ABu << 10 | 0x3C5u << 20 | 2u << 30, 0, {Un(0x123, 10), Un(0x2AB, 10), Un(0x3C5, 10), Un(2, 2)}},
    LayoutCase{"A8B8G8R8", D3DFMT_A8B8G8R8, 0x78123456, 0, {Un(0x56, 8), Un(0x34, 8), Un(0x12, 8), Un(0x78, 8)}},
    LayoutCase{"X8B8G8R8", D3DFMT_X8B8G8R8, 0x78123456, 0, {Un(0x56, 8), Un(0x34, 8), Un(0x12, 8), 1}},
    LayoutCase{"G16R16", D3DFMT_G16R16, 0xABCD1234, 0, {Un(0x1234, 16), Un(0xABCD, 16), 1, 1}},
    LayoutCase{"A2R10G10B10", D3DFMT_A2R10G10B10, 0x123u << 20 | 0x2ABu << 10 | 0x3C5u | 1u << 30, 0, {Un(0x123, 10), Un(0x2AB, 10), Un(0x3C5, 10), Un(1, 2)}},
    LayoutCase{"A16B16G16R16", D3DFMT_A16B16G16R16, 0x1111222233334444, 0, {Un(0x4444, 16), Un(0x3333, 16), Un(0x2222, 16), Un(0x1111, 16)}},
    LayoutCase{"L8", D3DFMT_L8, 0x80, 0, {Un(0x80, 8), Un(0x80, 8), Un(0x80, 8), 1}},
    LayoutCase{"A8L8", D3DFMT_A8L8, 0x4080, 0, {Un(0x80, 8), Un(0x80, 8), Un(0x80, 8), Un(0x40, 8)}},
    LayoutCase{"A4L4", D3DFMT_A4L4, 0x5A, 0, {Un(10, 4), Un(10, 4), Un(10, 4), Un(5, 4)}},
    LayoutCase{"V8U8", D3DFMT_V8U8, 0x807F, 0, {1, -1, 1, 1}},
    LayoutCase{"L6V5U5", D3DFMT_L6V5U5, 0x1D | 0x0F << 5 | 0x2A << 10, 0, {Sn(-3, 5), 1, 1, Un(0x2A, 6)}},
    LayoutCase{"X8L8V8U8", D3DFMT_X8L8V8U8, 0xFF408105, 0, {Sn(5, 8), -1, 1, Un(0x40, 8)}},
    LayoutCase{"Q8W8V8U8", D3DFMT_Q8W8V8U8, 0x807FFF01, 0, {Sn(1, 8), Sn(-1, 8), 1, -1}},
    LayoutCase{"V16U16", D3DFMT_V16U16, 0x80007FFF, 0, {1, -1, 1, 1}},
    LayoutCase{"A2W10V10U10", D3DFMT_A2W10V10U10, 0x200u | 0x1FFu << 10 | 0x001u << 20 | 3u << 30, 0, {-1, 1, Sn(1, 10), 1}},
    LayoutCase{"D16_LOCKABLE", D3DFMT_D16_LOCKABLE, 0x8000, 0, {Un(0x8000, 16), Un(0x8000, 16), Un(0x8000, 16), 1}},
    LayoutCase{"L16", D3DFMT_L16, 0x1234, 0, {Un(0x1234, 16), Un(0x1234, 16), Un(0x1234, 16), 1}},
    LayoutCase{"Q16W16V16U16", D3DFMT_Q16W16V16U16, 0x7FFF8000FFFF0001, 0, {Sn(1, 16), Sn(-1, 16), -1, 1}},
    LayoutCase{"R16F", D3DFMT_R16F, 0xC000, 0, {-2, 1, 1, 1}},
    LayoutCase{"G16R16F", D3DFMT_G16R16F, 0x42003800, 0, {0.5f, 3, 1, 1}},
    LayoutCase{"A16B16G16R16F", D3DFMT_A16B16G16R16F, 0x00004400B8003C00, 0, {1, -0.5f, 4, 0}},
    LayoutCase{"R32F", D3DFMT_R32F, FloatBits(1.5f, 0), 0, {1.5f, 1, 1, 1}},
    LayoutCase{"D32F_LOCKABLE", D3DFMT_D32F_LOCKABLE, FloatBits(0.25f, 0), 0, {0.25f, 1, 1, 1}},
    LayoutCase{"G32R32F", D3DFMT_G32R32F, FloatBits(1.5f, -2), 0, {1.5f, -2, 1, 1}},
    LayoutCase{"A32B32G32R32F", D3DFMT_A32B32G32R32F, FloatBits(1.5f, -2), FloatBits(7, 0.125f), {1.5f, -2, 7, 0.125f}},
    LayoutCase{"CxV8U8", D3DFMT_CxV8U8, 0x0040, 0, {Sn(64, 8), 0, kCxBlue, 1}},
    LayoutCase{"CxV8U8_outside", D3DFMT_CxV8U8, 0x5A5A, 0, {Sn(90, 8), Sn(90, 8), 0, 1}},
    LayoutCase{"AL16", D3DFMT_PRIVATE_AL16, 0x80004000, 0, {Un(0x4000, 16), Un(0x4000, 16), Un(0x4000, 16), Un(0x8000, 16)}},
    LayoutCase{"R16", D3DFMT_PRIVATE_R16, 0x333322221111, 0, {Un(0x3333, 16), Un(0x2222, 16), Un(0x1111, 16), 1}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });
// clang-format on

// ---------------------------------------------------------------------------
// Round trips: every stored value reads to a colour that writes back the same
// bits, with and without ordered dither, in every row and slice phase.

struct SignedField {
    int shift;
    int bits;
};

struct RoundTripCase {
    const char* name;
    D3DFORMAT format;
    std::uint64_t stored;  // bits of the first 8 bytes that the format stores
    std::vector<SignedField> signedFields;
};

// The most negative code of a signed field reads like the one above it, so it
// comes back as that code.
std::uint64_t Expected(const RoundTripCase& c, std::uint64_t word) {
    word &= c.stored;
    for (const SignedField& f : c.signedFields) {
        const std::uint64_t mask = ((std::uint64_t{1} << f.bits) - 1) << f.shift;
        const std::uint64_t mostNegative = std::uint64_t{1} << (f.shift + f.bits - 1);
        if ((word & mask) == mostNegative) {
            word += std::uint64_t{1} << f.shift;
        }
    }
    return word;
}

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, EveryValueWritesBackItsBits) {
    const RoundTripCase& c = GetParam();
    const UINT bpp = BytesPerPixel(c.format);
    // Every word for 8- and 16-bit pixels; a pseudo-random sample otherwise.
    const UINT count = bpp <= 2 ? (1u << (8 * bpp)) : 16384;
    TestSurface source(bpp, count, 1);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (UINT x = 0; x < count; ++x) {
        if (bpp <= 2) {
            PutWord<std::uint16_t>(source.Pixel(x, 0), static_cast<std::uint16_t>(x), bpp);
        } else {
            for (UINT b = 0; b < bpp; ++b) {
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                source.Pixel(x, 0)[b] = static_cast<BYTE>(state >> 56);
            }
        }
    }
    const std::vector<PALETTEENTRY> palette = DistinctPalette();
    CodecOptions options;
    options.palette = palette.data();
    std::unique_ptr<PixelCodec> reader = MakeCodec(source, c.format, options);
    ASSERT_NE(reader, nullptr);
    std::vector<ColorF> row(count);
    reader->ReadRow(0, 0, row.data());
    const std::vector<ColorF> original = row;

    for (bool dither : {false, true}) {
        TestSurface target(bpp, count, 4, 2);
        options.dither = dither;
        std::unique_ptr<PixelCodec> writer = MakeCodec(target, c.format, options);
        ASSERT_NE(writer, nullptr);
        for (UINT z = 0; z < 2; ++z) {
            for (UINT y = 0; y < 4; ++y) {
                writer->WriteRow(y, z, row.data());
                int failures = 0;
                for (UINT x = 0; x < count && failures < 5; ++x) {
                    const BYTE* in = source.Pixel(x, 0);
                    const BYTE* out = target.Pixel(x, y, z);
                    const UINT low = bpp < 8 ? bpp : 8;
                    const auto want = Expected(c, GetWord<std::uint64_t>(in, low));
                    const auto got = GetWord<std::uint64_t>(out, low) & c.stored;
                    bool same = want == got;
                    if (bpp > 8) {
                        same = same && std::memcmp(in + 8, out + 8, bpp - 8) == 0;
                    }
                    if (!same) {
                        ++failures;
                        ADD_FAILURE()
                            << c.name << " dither " << dither << " y " << y << " z " << z << " x "
                            << x << ": wrote 0x" << std::hex << got << " for 0x" << want;
                    }
                }
            }
        }
    }
    // Writing leaves the caller's row alone.
    EXPECT_EQ(std::memcmp(row.data(), original.data(), sizeof(ColorF) * count), 0);
}

using SF = std::vector<SignedField>;

// clang-format off
INSTANTIATE_TEST_SUITE_P(AllFormats, RoundTrip, ::testing::Values(
    RoundTripCase{"R8G8B8", D3DFMT_R8G8B8, 0xFFFFFF, {}},
    RoundTripCase{"A8R8G8B8", D3DFMT_A8R8G8B8, 0xFFFFFFFF, {}},
    RoundTripCase{"X8R8G8B8", D3DFMT_X8R8G8B8, 0x00FFFFFF, {}},
    RoundTripCase{"R5G6B5", D3DFMT_R5G6B5, 0xFFFF, {}},
    RoundTripCase{"X1R5G5B5", D3DFMT_X1R5G5B5, 0x7FFF, {}},
    RoundTripCase{"A1R5G5B5", D3DFMT_A1R5G5B5, 0xFFFF, {}},
    RoundTripCase{"A4R4G4B4", D3DFMT_A4R4G4B4, 0xFFFF, {}},
    RoundTripCase{"R3G3B2", D3DFMT_R3G3B2, 0xFF, {}},
    RoundTripCase{"A8", D3DFMT_A8, 0xFF, {}},
    RoundTripCase{"A8R3G3B2", D3DFMT_A8R3G3B2, 0xFFFF, {}},
    RoundTripCase{"X4R4G4B4", D3DFMT_X4R4G4B4, 0x0FFF, {}},
    RoundTripCase{"A2B10G10R10", D3DFMT_A2B10G10R10, 0xFFFFFFFF, {}},
    RoundTripCase{"A8B8G8R8", D3DFMT_A8B8G8R8, 0xFFFFFFFF, {}},
    RoundTripCase{"X8B8G8R8", D3DFMT_X8B8G8R8, 0x00FFFFFF, {}},
    RoundTripCase{"G16R16", D3DFMT_G16R16, 0xFFFFFFFF, {}},
    RoundTripCase{"A2R10G10B10", D3DFMT_A2R10G10B10, 0xFFFFFFFF, {}},
    RoundTripCase{"A16B16G16R16", D3DFMT_A16B16G16R16, ~0ull, {}},
    RoundTripCase{"A8P8", D3DFMT_A8P8, 0xFFFF, {}},
    RoundTripCase{"P8", D3DFMT_P8, 0xFF, {}},
    RoundTripCase{"L8", D3DFMT_L8, 0xFF, {}},
    RoundTripCase{"A8L8", D3DFMT_A8L8, 0xFFFF, {}},
    RoundTripCase{"A4L4", D3DFMT_A4L4, 0xFF, {}},
    RoundTripCase{"V8U8", D3DFMT_V8U8, 0xFFFF, SF{{0, 8}, {8, 8}}},
    RoundTripCase{"L6V5U5", D3DFMT_L6V5U5, 0xFFFF, SF{{0, 5}, {5, 5}}},
    RoundTripCase{"X8L8V8U8", D3DFMT_X8L8V8U8, 0x00FFFFFF, SF{{0, 8}, {8, 8}}},
    RoundTripCase{"Q8W8V8U8", D3DFMT_Q8W8V8U8, 0xFFFFFFFF, SF{{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
    RoundTripCase{"V16U16", D3DFMT_V16U16, 0xFFFFFFFF, SF{{0, 16}, {16, 16}}},
    RoundTripCase{"A2W10V10U10", D3DFMT_A2W10V10U10, 0xFFFFFFFF, SF{{0, 10}, {10, 10}, {20, 10}}},
    RoundTripCase{"D16_LOCKABLE", D3DFMT_D16_LOCKABLE, 0xFFFF, {}},
    RoundTripCase{"L16", D3DFMT_L16, 0xFFFF, {}},
    RoundTripCase{"Q16W16V16U16", D3DFMT_Q16W16V16U16, ~0ull, SF{{0, 16}, {16, 16}, {32, 16}, {48, 16}}},
    RoundTripCase{"CxV8U8", D3DFMT_CxV8U8, 0xFFFF, SF{{0, 8}, {8, 8}}},
    RoundTripCase{"AL16", D3DFMT_PRIVATE_AL16, 0xFFFFFFFF, {}},
    RoundTripCase{"R16", D3DFMT_PRIVATE_R16, 0xFFFFFFFFFFFF, {}},
    RoundTripCase{"R16F", D3DFMT_R16F, 0xFFFF, {}},
    RoundTripCase{"G16R16F", D3DFMT_G16R16F, 0xFFFFFFFF, {}},
    RoundTripCase{"A16B16G16R16F", D3DFMT_A16B16G16R16F, ~0ull, {}},
    RoundTripCase{"R32F", D3DFMT_R32F, 0xFFFFFFFF, {}},
    RoundTripCase{"D32F_LOCKABLE", D3DFMT_D32F_LOCKABLE, 0xFFFFFFFF, {}},
    RoundTripCase{"G32R32F", D3DFMT_G32R32F, ~0ull, {}},
    RoundTripCase{"A32B32G32R32F", D3DFMT_A32B32G32R32F, ~0ull, {}}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });
// clang-format on

// ---------------------------------------------------------------------------
// Single-pixel writes with known results.

struct WriteCase {
    const char* name;
    D3DFORMAT format;
    ColorF input;
    std::uint64_t expected;  // the whole pixel, X bits included
};

class KnownWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(KnownWrite, StoresTheExpectedBits) {
    const WriteCase& c = GetParam();
    const UINT bpp = BytesPerPixel(c.format);
    TestSurface surface(bpp, 1, 1);
    std::fill(surface.bytes.begin(), surface.bytes.end(), BYTE{0xFF});  // X bits must be cleared
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, c.format);
    ASSERT_NE(codec, nullptr);
    codec->WriteRow(0, 0, &c.input);
    EXPECT_EQ(GetWord<std::uint64_t>(surface.Pixel(0, 0), bpp), c.expected)
        << std::hex << "got 0x" << GetWord<std::uint64_t>(surface.Pixel(0, 0), bpp);
}

const float kInf = std::numeric_limits<float>::infinity();

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, KnownWrite, ::testing::Values(
    // Signed: -1.0 stores -127, never -128; out-of-range values clamp to +-127.
    WriteCase{"SignedMinusOne", D3DFMT_V8U8, {-1, 1, 0, 0}, 0x7F81},
    WriteCase{"SignedClamp", D3DFMT_V8U8, {-3, 2, 0, 0}, 0x7F81},
    WriteCase{"SignedHalfRoundsUp", D3DFMT_Q8W8V8U8, {-0.5f, 0.5f, 0, -0.25f}, 0xE00040C1},
    WriteCase{"Signed16", D3DFMT_V16U16, {-1, 1, 0, 0}, 0x7FFF8001},
    WriteCase{"Signed10", D3DFMT_A2W10V10U10, {-1, 1, 0, 1}, 0xC0000000u | 0x1FFu << 10 | 0x201u},
    // 0.999 x 31 + 0.5 = 31.469 truncates to 31; 1.0 gives 31 too.
    WriteCase{"FiveBitsNearOne", D3DFMT_R5G6B5, {0.999f, 0, 0, 0}, 0xF800},
    WriteCase{"FiveBitsOne", D3DFMT_R5G6B5, {1, 1, 1, 0}, 0xFFFF},
    WriteCase{"UnsignedClamp", D3DFMT_A8R8G8B8, {2, -1, kInf, -kInf}, 0x00FF00FF},
    // Float narrowing to half saturates at 131008 (0x7FFF), infinities too.
    WriteCase{"HalfSaturates", D3DFMT_R16F, {200000, 0, 0, 0}, 0x7FFF},
    WriteCase{"HalfInfinity", D3DFMT_R16F, {kInf, 0, 0, 0}, 0x7FFF},
    WriteCase{"HalfMinusInfinity", D3DFMT_R16F, {-kInf, 0, 0, 0}, 0xFFFF},
    WriteCase{"FloatUnclamped", D3DFMT_R32F, {-7.5f, 0, 0, 0}, 0xC0F00000},
    // Luminance 0.2125 r + 0.7154 g + 0.0721 b.
    WriteCase{"LuminanceRed", D3DFMT_L8, {1, 0, 0, 0}, 54},
    WriteCase{"LuminanceGreen", D3DFMT_L8, {0, 1, 0, 0}, 182},
    WriteCase{"LuminanceBlue", D3DFMT_L8, {0, 0, 1, 0}, 18},
    WriteCase{"LuminanceAlpha", D3DFMT_A8L8, {1, 1, 1, 0.5f}, 0x80FF},
    WriteCase{"Luminance16", D3DFMT_L16, {0, 1, 0, 0}, 46884},
    WriteCase{"AlphaOnly", D3DFMT_A8, {1, 1, 1, 0.25f}, 64},
    // X fields are written as 0.
    WriteCase{"X8R8G8B8", D3DFMT_X8R8G8B8, {1, 1, 1, 1}, 0x00FFFFFF},
    WriteCase{"X8B8G8R8", D3DFMT_X8B8G8R8, {1, 0, 0, 1}, 0x000000FF},
    WriteCase{"X1R5G5B5", D3DFMT_X1R5G5B5, {1, 1, 1, 1}, 0x7FFF},
    WriteCase{"X4R4G4B4", D3DFMT_X4R4G4B4, {1, 1, 1, 1}, 0x0FFF},
    WriteCase{"X8L8V8U8", D3DFMT_X8L8V8U8, {1, -1, 1, 1}, 0x00FF817F},
    WriteCase{"R16", D3DFMT_PRIVATE_R16, {1, 0, 0.5f, 1}, 0xFFFF00008000}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });
// clang-format on

// ---------------------------------------------------------------------------
// Signed fields: -1, -0.5, 0, 0.5 and 1 written into every signed field of
// every signed format, by the plain writer and by the diffusing one (whose
// first pixel carries no error yet). Each code is v x S + 0.5 rounded down,
// so negative halves round up like positive ones and -1.0 never stores the
// most negative code.

struct SignedCodes {
    int bits;
    int codes[5];  // for -1, -0.5, 0, 0.5, 1
};

constexpr SignedCodes kSignedCodes[] = {
    {5, {-15, -7, 0, 8, 15}},
    {8, {-127, -63, 0, 64, 127}},
    {10, {-511, -255, 0, 256, 511}},
    {16, {-32767, -16383, 0, 16384, 32767}},
};

struct SignedCase {
    const char* name;
    D3DFORMAT format;
    std::vector<SignedField> fields;
};

class SignedKnownAnswers : public ::testing::TestWithParam<SignedCase> {};

TEST_P(SignedKnownAnswers, RoundHalfUpInBothDirections) {
    const SignedCase& c = GetParam();
    const float values[5] = {-1.0f, -0.5f, 0.0f, 0.5f, 1.0f};
    const UINT bpp = BytesPerPixel(c.format);
    for (int i = 0; i < 5; ++i) {
        for (bool diffusion : {false, true}) {
            TestSurface surface(bpp, 1, 1);
            CodecOptions options;
            options.diffusion = diffusion;
            std::unique_ptr<PixelCodec> codec = MakeCodec(surface, c.format, options);
            const float v = values[i];
            const ColorF pixel = {v, v, v, v};
            codec->WriteRow(0, 0, &pixel);
            const std::uint64_t word = GetWord<std::uint64_t>(surface.Pixel(0, 0), bpp);
            for (const SignedField& f : c.fields) {
                const SignedCodes* expected = nullptr;
                for (const SignedCodes& codes : kSignedCodes) {
                    expected = codes.bits == f.bits ? &codes : expected;
                }
                ASSERT_NE(expected, nullptr) << f.bits;
                const std::uint64_t raw = (word >> f.shift) & ((std::uint64_t{1} << f.bits) - 1);
                const auto code = static_cast<int>(raw) - (raw >> (f.bits - 1) ? (1 << f.bits) : 0);
                EXPECT_EQ(code, expected->codes[i]) << c.name << " value " << v << " field at "
                                                    << f.shift << " diffusion " << diffusion;
            }
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(SignedFormats, SignedKnownAnswers, ::testing::Values(
    SignedCase{"V8U8", D3DFMT_V8U8, SF{{0, 8}, {8, 8}}},
    SignedCase{"L6V5U5", D3DFMT_L6V5U5, SF{{0, 5}, {5, 5}}},
    SignedCase{"X8L8V8U8", D3DFMT_X8L8V8U8, SF{{0, 8}, {8, 8}}},
    SignedCase{"Q8W8V8U8", D3DFMT_Q8W8V8U8, SF{{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
    SignedCase{"V16U16", D3DFMT_V16U16, SF{{0, 16}, {16, 16}}},
    SignedCase{"A2W10V10U10", D3DFMT_A2W10V10U10, SF{{0, 10}, {10, 10}, {20, 10}}},
    SignedCase{"Q16W16V16U16", D3DFMT_Q16W16V16U16, SF{{0, 16}, {16, 16}, {32, 16}, {48, 16}}},
    SignedCase{"CxV8U8", D3DFMT_CxV8U8, SF{{0, 8}, {8, 8}}}),
    [](const ::testing::TestParamInfo<SignedCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(PerPixelCodec, HalfExponent31ReadsAsANumber) {
    TestSurface surface(2, 2, 1);
    PutWord<std::uint16_t>(surface.Pixel(0, 0), 0x7C00);
    PutWord<std::uint16_t>(surface.Pixel(1, 0), 0x7FFF);
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_R16F);
    ColorF row[2];
    codec->ReadRow(0, 0, row);
    EXPECT_EQ(row[0].r, 65536.0f);
    EXPECT_EQ(row[1].r, 131008.0f);
}

TEST(PerPixelCodec, SignedMostNegativeCodeReadsMinusOne) {
    TestSurface surface(2, 1, 1);
    PutWord<std::uint16_t>(surface.Pixel(0, 0), 0x8180);  // U = -128, V = -127
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_V8U8);
    ColorF c;
    codec->ReadRow(0, 0, &c);
    EXPECT_EQ(c.r, -1.0f);
    EXPECT_EQ(c.g, -1.0f);
    codec->WriteRow(0, 0, &c);
    EXPECT_EQ(GetWord<std::uint16_t>(surface.Pixel(0, 0)), 0x8181);
}

// ---------------------------------------------------------------------------
// Palettes.

TEST(PaletteCodec, EqualDistancesKeepTheLowestIndex) {
    // Red and green are equally far from (0.5, 0.5, 0); black is there twice.
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{255, 255, 255, 255});
    palette[3] = PALETTEENTRY{255, 0, 0, 255};
    palette[7] = PALETTEENTRY{0, 255, 0, 255};
    palette[12] = PALETTEENTRY{0, 0, 0, 255};
    palette[20] = PALETTEENTRY{0, 0, 0, 255};
    const ColorF pixels[2] = {{0, 0, 0, 1}, {0.5f, 0.5f, 0, 1}};
    for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8}) {
        TestSurface surface(format == D3DFMT_P8 ? 1 : 2, 2, 1);
        CodecOptions options;
        options.palette = palette.data();
        std::unique_ptr<PixelCodec> codec = MakeCodec(surface, format, options);
        codec->WriteRow(0, 0, pixels);
        EXPECT_EQ(surface.Pixel(0, 0)[0], 12) << format;
        EXPECT_EQ(surface.Pixel(1, 0)[0], 3) << format;
    }
}

TEST(PaletteCodec, A8P8MatchesColourOnlyAndQuantisesAlpha) {
    std::vector<PALETTEENTRY> palette(256, PALETTEENTRY{255, 255, 255, 0});
    palette[40] = PALETTEENTRY{0, 0, 0, 0};
    palette[41] = PALETTEENTRY{0, 0, 0, 255};  // same colour; alpha must not decide
    TestSurface surface(2, 1, 1);
    CodecOptions options;
    options.palette = palette.data();
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_A8P8, options);
    const ColorF pixel = {0, 0, 0, 1};
    codec->WriteRow(0, 0, &pixel);
    EXPECT_EQ(GetWord<std::uint16_t>(surface.Pixel(0, 0)), 0xFF28);

    ColorF back;
    codec->ReadRow(0, 0, &back);
    EXPECT_TRUE(SameColor(back, ColorF{0, 0, 0, Un(255, 8)}));
}

TEST(PaletteCodec, WithoutAPaletteEveryEntryIsWhiteAndIndexZeroIsStored) {
    TestSurface surface(1, 4, 1);
    std::fill(surface.bytes.begin(), surface.bytes.end(), BYTE{0x77});
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_P8);
    ASSERT_NE(codec, nullptr);
    ColorF read[4];
    codec->ReadRow(0, 0, read);
    for (const ColorF& c : read) {
        EXPECT_TRUE(SameColor(c, ColorF{1, 1, 1, 1}));
    }
    const ColorF row[4] = {{0, 0, 0, 0}, {1, 0, 0, 1}, {0.3f, 0.6f, 0.9f, 0.5f}, {1, 1, 1, 1}};
    codec->WriteRow(0, 0, row);
    for (UINT x = 0; x < 4; ++x) {
        EXPECT_EQ(surface.Pixel(x, 0)[0], 0);
    }
}

TEST(PaletteCodec, PaletteEntriesReadAsBytesTimesTheByteStep) {
    std::vector<PALETTEENTRY> palette = DistinctPalette();
    TestSurface surface(1, 1, 1);
    surface.Pixel(0, 0)[0] = 200;
    CodecOptions options;
    options.palette = palette.data();
    std::unique_ptr<PixelCodec> codec = MakeCodec(surface, D3DFMT_P8, options);
    ColorF c;
    codec->ReadRow(0, 0, &c);
    const PALETTEENTRY& e = palette[200];
    EXPECT_TRUE(
        SameColor(c, ColorF{Un(e.peRed, 8), Un(e.peGreen, 8), Un(e.peBlue, 8), Un(e.peFlags, 8)}));
}

}  // namespace
