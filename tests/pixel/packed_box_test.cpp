#include "pixel/packed_box.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codec_test_util.h"
#include "pixel/resampling_filters.h"
#include "platform/direct3d_settings.h"
#include "runtime/win32/settings_store.h"
#include "vellorn/d3dx_texture.h"
#include "vellorn/result_codes.h"

namespace {

struct Field {
    int shift;
    int bits;
};

// The stored channels of a format; bits outside them (X fields) read as
// unused and are expected to come out 0.
struct PackedFormat {
    D3DFORMAT format;
    UINT bytes;
    std::vector<Field> fields;
};

const std::vector<PackedFormat>& PackedFormats() {
    static const std::vector<PackedFormat> formats = {
        {D3DFMT_A8R8G8B8, 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
        {D3DFMT_A8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
        {D3DFMT_X8R8G8B8, 4, {{0, 8}, {8, 8}, {16, 8}}},
        {D3DFMT_X8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}}},
        {D3DFMT_R5G6B5, 2, {{0, 5}, {5, 6}, {11, 5}}},
        {D3DFMT_X1R5G5B5, 2, {{0, 5}, {5, 5}, {10, 5}}},
        {D3DFMT_A1R5G5B5, 2, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}},
        {D3DFMT_A4R4G4B4, 2, {{0, 4}, {4, 4}, {8, 4}, {12, 4}}},
        {D3DFMT_X4R4G4B4, 2, {{0, 4}, {4, 4}, {8, 4}}},
        {D3DFMT_R3G3B2, 1, {{0, 2}, {2, 3}, {5, 3}}},
        {D3DFMT_A8, 1, {{0, 8}}},
        {D3DFMT_L8, 1, {{0, 8}}},
        {D3DFMT_A8R3G3B2, 2, {{0, 2}, {2, 3}, {5, 3}, {8, 8}}},
        {D3DFMT_A8L8, 2, {{0, 8}, {8, 8}}},
        {D3DFMT_A4L4, 1, {{0, 4}, {4, 4}}},
    };
    return formats;
}

// Field by field: (a + b + c + d + 2) >> 2 of the 2 x 2 block at (2x, 2y).
std::vector<BYTE> ReferenceAverage(const PackedFormat& f, TestSurface& source, UINT width,
                                   UINT height) {
    TestSurface expected(f.bytes, width, height);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const std::uint32_t block[4] = {
                GetWord<std::uint32_t>(source.Pixel(2 * x, 2 * y), f.bytes),
                GetWord<std::uint32_t>(source.Pixel(2 * x + 1, 2 * y), f.bytes),
                GetWord<std::uint32_t>(source.Pixel(2 * x, 2 * y + 1), f.bytes),
                GetWord<std::uint32_t>(source.Pixel(2 * x + 1, 2 * y + 1), f.bytes)};
            std::uint32_t out = 0;
            for (const Field& field : f.fields) {
                const std::uint32_t mask = (1u << field.bits) - 1;
                std::uint32_t sum = 2;
                for (std::uint32_t p : block) {
                    sum += (p >> field.shift) & mask;
                }
                out |= (sum >> 2) << field.shift;
            }
            PutWord(expected.Pixel(x, y), out, f.bytes);
        }
    }
    return expected.bytes;
}

struct BoxRun {
    HRESULT result;
    std::vector<BYTE> bytes;
};

BoxRun RunBox(const PackedFormat& f, TestSurface& source, UINT width, UINT height, DWORD word) {
    TestSurface destination(f.bytes, width, height);
    std::unique_ptr<PixelCodec> in = MakeCodec(source, f.format);
    std::unique_ptr<PixelCodec> out = MakeCodec(destination, f.format);
    const HRESULT result = FilterBox2D(*in, *out, word);
    return {result, destination.bytes};
}

class PackedBoxTest : public testing::Test {
  protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override {
        SetPackedBoxVariant(PackedBoxVariant::Unchosen);
        ClearSettings();
    }
};

// Every packed format, from a source with an odd size (the last column and
// row drop out) and random bits everywhere, X fields included; the 32-bit
// formats through both implementations, which cover the vector loop and its
// tail.
TEST_F(PackedBoxTest, EveryFormatAveragesEachFieldWithRounding) {
    std::mt19937 random(11);
    for (const PackedFormat& f : PackedFormats()) {
        ASSERT_NE(FindPackedBoxRow(f.format), nullptr) << f.format;
        TestSurface source(f.bytes, 23, 9, 1, 5);
        for (BYTE& b : source.bytes) {
            b = static_cast<BYTE>(random());
        }
        const std::vector<BYTE> expected = ReferenceAverage(f, source, 11, 4);
        for (PackedBoxVariant variant : {PackedBoxVariant::Plain, PackedBoxVariant::Vector}) {
            SetPackedBoxVariant(variant);
            const BoxRun run = RunBox(f, source, 11, 4, D3DX_FILTER_BOX);
            ASSERT_EQ(run.result, S_OK);
            EXPECT_EQ(run.bytes, expected) << f.format << " variant " << static_cast<int>(variant);
        }
    }
}

TEST_F(PackedBoxTest, HandComputedArgbAverage) {
    TestSurface source(4, 2, 2);
    PutWord<std::uint32_t>(source.Pixel(0, 0), 0x01010101);
    PutWord<std::uint32_t>(source.Pixel(1, 0), 0x02020202);
    PutWord<std::uint32_t>(source.Pixel(0, 1), 0x02020202);
    PutWord<std::uint32_t>(source.Pixel(1, 1), 0x02020202);
    for (PackedBoxVariant variant : {PackedBoxVariant::Plain, PackedBoxVariant::Vector}) {
        SetPackedBoxVariant(variant);
        const BoxRun run = RunBox(PackedFormats()[0], source, 1, 1, D3DX_FILTER_BOX);
        ASSERT_EQ(run.result, S_OK);
        EXPECT_EQ(GetWord<std::uint32_t>(run.bytes.data()), 0x02020202u);  // (7 + 2) >> 2
    }
}

// Where the generic ColorF path quantises exactly (8-bit, 4-bit and 3-bit
// fields without luminance weighting) it writes the same bytes as the packed
// routines, X fields included. The dither flag of the filter word turns the
// packed path off; the destination itself is written without dither.
TEST_F(PackedBoxTest, GenericPathAgreesWhereItIsExact) {
    std::mt19937 random(5);
    for (const PackedFormat& f : PackedFormats()) {
        if (f.format == D3DFMT_R5G6B5 || f.format == D3DFMT_X1R5G5B5 ||
            f.format == D3DFMT_A1R5G5B5 || f.format == D3DFMT_L8 || f.format == D3DFMT_A8L8 ||
            f.format == D3DFMT_A4L4) {
            continue;  // float rounding at the halfway points differs there
        }
        TestSurface source(f.bytes, 64, 64);
        for (BYTE& b : source.bytes) {
            b = static_cast<BYTE>(random());
        }
        const BoxRun packed = RunBox(f, source, 32, 32, D3DX_FILTER_BOX);
        const BoxRun generic = RunBox(f, source, 32, 32, D3DX_FILTER_BOX | D3DX_FILTER_DITHER);
        ASSERT_EQ(packed.result, S_OK);
        ASSERT_EQ(generic.result, S_OK);
        EXPECT_EQ(packed.bytes, generic.bytes) << f.format;
    }
}

// The packed path runs only where it cannot change the answer: a colour key,
// dithering or gamma-encoded colour send a block through the generic path.
TEST_F(PackedBoxTest, KeyDitherAndGammaTakeTheGenericPath) {
    struct Case {
        const char* name;
        D3DFORMAT format;
        UINT bytes;
        std::uint32_t pixels[4];
        CodecOptions source;
        CodecOptions destination;
        DWORD word;
        std::uint32_t expected;
    };
    CodecOptions keyed;
    keyed.colorKey = 0xFFFF00FF;
    CodecOptions dithered;
    dithered.dither = true;
    CodecOptions gamma;
    gamma.gamma = true;
    const Case cases[] = {
        // Keyed pixels read as transparent black.
        {"key",
         D3DFMT_A8R8G8B8,
         4,
         {0xFFFF00FF, 0xFFFF00FF, 0xFFFF00FF, 0xFFFF00FF},
         keyed,
         {},
         D3DX_FILTER_BOX,
         0x00000000},
        // Red 0.25 of a 5-bit step rounds up under the first threshold 31/32.
        {"dither",
         D3DFMT_R5G6B5,
         2,
         {0x0000, 0x0000, 0x0000, 0x0800},
         {},
         dithered,
         D3DX_FILTER_BOX | D3DX_FILTER_DITHER,
         0x0800},
        // Black and white average to linear 0.5, which encodes as 186.
        {"gamma",
         D3DFMT_A8R8G8B8,
         4,
         {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF},
         gamma,
         gamma,
         D3DX_FILTER_BOX,
         0xFFBABABA},
    };
    for (const Case& c : cases) {
        TestSurface source(c.bytes, 2, 2);
        TestSurface destination(c.bytes, 1, 1);
        for (UINT i = 0; i < 4; ++i) {
            PutWord(source.Pixel(i % 2, i / 2), c.pixels[i], c.bytes);
        }
        std::unique_ptr<PixelCodec> in = MakeCodec(source, c.format, c.source);
        std::unique_ptr<PixelCodec> out = MakeCodec(destination, c.format, c.destination);
        ASSERT_EQ(FilterBox2D(*in, *out, c.word), S_OK) << c.name;
        EXPECT_EQ(GetWord<std::uint32_t>(destination.bytes.data(), c.bytes), c.expected) << c.name;
    }
}

// Formats without a packed routine take the generic path.
TEST_F(PackedBoxTest, OtherFormatsHaveNoRoutine) {
    for (D3DFORMAT format :
         {D3DFMT_R8G8B8, D3DFMT_P8, D3DFMT_A8P8, D3DFMT_A2R10G10B10, D3DFMT_A32B32G32R32F}) {
        EXPECT_EQ(FindPackedBoxRow(format), nullptr) << format;
    }
}

// Each 32-bit routine picks its implementation on its own first use: the
// vector one unless "DisableMMX" is set to a non-zero value.
TEST_F(PackedBoxTest, FirstUseChoosesFromTheSetting) {
    struct Case {
        bool present;
        DWORD value;
        PackedBoxVariant chosen;
    };
    const PackedBoxVariant vector =
        HasVectorPackedBox() ? PackedBoxVariant::Vector : PackedBoxVariant::Plain;
    for (const Case& c :
         {Case{false, 0, vector}, Case{true, 0, vector}, Case{true, 1, PackedBoxVariant::Plain},
          Case{true, 7, PackedBoxVariant::Plain}}) {
        ClearSettings();
        if (c.present) {
            SetRegistryDword(kDirect3DSettingsKey, "DisableMMX", c.value);
        }
        SetPackedBoxVariant(PackedBoxVariant::Unchosen);
        TestSurface source(4, 4, 2);
        ASSERT_EQ(RunBox(PackedFormats()[0], source, 2, 1, D3DX_FILTER_BOX).result, S_OK);
        EXPECT_EQ(PackedBoxVariantOf(D3DFMT_A8R8G8B8), c.chosen) << c.present << c.value;
        EXPECT_EQ(PackedBoxVariantOf(D3DFMT_X8R8G8B8), PackedBoxVariant::Unchosen);
    }
}

}  // namespace
