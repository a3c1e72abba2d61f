#include "pixel/packed_pair_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "codec_test_util.h"
#include "pixel/pixel_codec.h"
#include "vellorn/result_codes.h"

namespace {

// A surface in a heap block of exactly rows x pitch bytes, so that the
// sanitizer build catches any access past the described memory.
struct Surface {
    Surface(D3DFORMAT f, UINT texelsPerRow, UINT rowCount)
        : format(f), pitch(texelsPerRow * 2), rows(rowCount), bytes(new BYTE[pitch * rows]) {
        std::memset(bytes.get(), 0, pitch * rows);
    }

    void SetRow(UINT y, const std::vector<BYTE>& row) {
        ASSERT_EQ(row.size(), pitch);
        std::memcpy(bytes.get() + y * pitch, row.data(), pitch);
    }

    std::vector<BYTE> Row(UINT y) const {
        return std::vector<BYTE>(bytes.get() + y * pitch, bytes.get() + (y + 1) * pitch);
    }

    SurfaceDesc Desc(UINT left, UINT right, DWORD key = 0) {
        SurfaceDesc d = {};
        d.data = bytes.get();
        d.format = format;
        d.rowPitch = pitch;
        d.slicePitch = 0;
        d.extent = PixelBox{0, 0, pitch / 2, rows, 0, 1};
        d.box = PixelBox{left, 0, right, rows, 0, 1};
        d.colorKey = key;
        return d;
    }

    std::unique_ptr<PixelCodec> Codec(UINT left, UINT right) {
        return MakeCodec(Desc(left, right));
    }

    D3DFORMAT format;
    UINT pitch;
    UINT rows;
    std::unique_ptr<BYTE[]> bytes;
};

struct Rgb {
    float r;
    float g;
    float b;
};

std::vector<ColorF> ReadWholeRow(PixelCodec& codec, UINT y) {
    std::vector<ColorF> row(codec.width);
    codec.ReadRow(y, 0, row.data());
    return row;
}

// Swaps the two bytes of every word: YUY2 <-> UYVY, RGBG <-> GRGB.
std::vector<BYTE> SwapWordBytes(std::vector<BYTE> bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
    return bytes;
}

struct DecodeCase {
    const char* name;
    D3DFORMAT format;       // YUY2 or RGBG; the swapped format is checked too
    std::vector<BYTE> row;  // in the format's byte order
    std::vector<Rgb> expected;
};

class PackedPairDecodeTest : public testing::TestWithParam<DecodeCase> {};

// The whole first row of a one-row surface holding bytes; empty when no codec
// could be made.
std::vector<ColorF> DecodeRow(D3DFORMAT format, const std::vector<BYTE>& bytes) {
    Surface s(format, static_cast<UINT>(bytes.size() / 2), 1);
    s.SetRow(0, bytes);
    auto codec = s.Codec(0, s.pitch / 2);
    return codec ? ReadWholeRow(*codec, 0) : std::vector<ColorF>{};
}

TEST_P(PackedPairDecodeTest, DecodesInBothByteOrders) {
    const DecodeCase& c = GetParam();
    const D3DFORMAT swapped = c.format == D3DFMT_YUY2 ? D3DFMT_UYVY : D3DFMT_G8R8_G8B8;
    const std::pair<D3DFORMAT, std::vector<BYTE>> layouts[] = {{c.format, c.row},
                                                               {swapped, SwapWordBytes(c.row)}};
    for (const auto& [format, bytes] : layouts) {
        const std::vector<ColorF> row = DecodeRow(format, bytes);
        ASSERT_EQ(row.size(), c.expected.size()) << c.name;
        for (std::size_t x = 0; x < row.size(); ++x) {
            EXPECT_EQ(row[x].r, c.expected[x].r) << c.name << " pixel " << x;
            EXPECT_EQ(row[x].g, c.expected[x].g) << c.name << " pixel " << x;
            EXPECT_EQ(row[x].b, c.expected[x].b) << c.name << " pixel " << x;
            EXPECT_EQ(row[x].a, 1.0f) << c.name << " pixel " << x;
        }
    }
}

// Expected values worked out by hand in single precision. YUY2 rows are
// Y0 U Y1 V per pair; the second pixel's U and V are
// (-Q[k-1] + 9 Q[k] + 9 Q[k+1] - Q[k+2] + 8) >> 4 with the edge pairs repeated.
INSTANTIATE_TEST_SUITE_P(
    HandComputed, PackedPairDecodeTest,
    testing::Values(
        DecodeCase{"black and white",
                   D3DFMT_YUY2,
                   {16, 128, 235, 128},
                   {{0, 0, 0}, {0.99999994f, 0.99999994f, 0.99999994f}}},
        DecodeCase{"below and above the studio range clamp",
                   D3DFMT_YUY2,
                   {0, 128, 255, 128},
                   {{0, 0, 0}, {1, 1, 1}}},
        DecodeCase{"a single pair uses its own chroma twice",
                   D3DFMT_YUY2,
                   {100, 90, 150, 200},
                   {{0.834204614f, 0.212397873f, 0.082954675f}, {1, 0.440708399f, 0.311265171f}}},
        // U 10, 50, 200 and V 240, 100, 0: second pixels get U 21, 128, 209
        // (last pair: (17 * 200 - 50 + 8) >> 4) and V 176, 41, 0 (last pair:
        // (0 - 100 + 8) >> 4 = -6, clamped).
        DecodeCase{"interpolation across three pairs",
                   D3DFMT_YUY2,
                   {50, 10, 60, 240, 70, 50, 80, 100, 90, 200, 100, 0},
                   {{0.856251299f, 0, 0},
                    {0.501341879f, 0.212270185f, 0},
                    {0.0713252872f, 0.455675364f, 0},
                    {0, 0.569602966f, 0.292237431f},
                    {0, 0.635362566f, 0.907470703f},
                    {0, 0.667197824f, 1}}},
        // U 0, 255, 255, 0 and V 255, 0, 0, 255 with Y 130 everywhere.
        // Second pixels: U 128, 287 -> 255, 128, -16 -> 0; V 128, -32 -> 0,
        // 128, 271 -> 255.
        DecodeCase{"interpolated chroma clamped to the byte range",
                   D3DFMT_YUY2,
                   {130, 0, 130, 255, 130, 255, 130, 0, 130, 255, 130, 0, 130, 0, 130, 255},
                   {{1, 0.312306911f, 0},
                    {0.520547926f, 0.520547926f, 0.520547926f},
                    {0, 0.733513355f, 1},
                    {0, 0.733513355f, 1},
                    {0, 0.733513355f, 1},
                    {0.520547926f, 0.520547926f, 0.520547926f},
                    {1, 0.312306911f, 0},
                    {1, 0.312306911f, 0}}},
        // G0 R G1 B per pair.
        DecodeCase{"red and blue shared by the pair",
                   D3DFMT_R8G8_B8G8,
                   {10, 20, 30, 40, 255, 0, 0, 255},
                   {{0.0784313753f, 0.0392156877f, 0.156862751f},
                    {0.0784313753f, 0.117647067f, 0.156862751f},
                    {0, 1, 1},
                    {0, 0, 1}}}),
    [](const testing::TestParamInfo<DecodeCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(PackedPairCodecTest, ByteOrderDiffersBetweenTheSwappedFormats) {
    const std::vector<BYTE> bytes = {100, 90, 150, 200};
    Surface yuy2(D3DFMT_YUY2, 2, 1);
    Surface uyvy(D3DFMT_UYVY, 2, 1);
    Surface rgbg(D3DFMT_R8G8_B8G8, 2, 1);
    Surface grgb(D3DFMT_G8R8_G8B8, 2, 1);
    for (Surface* s : {&yuy2, &uyvy, &rgbg, &grgb}) {
        s->SetRow(0, bytes);
    }
    const std::vector<ColorF> a = ReadWholeRow(*yuy2.Codec(0, 2), 0);
    const std::vector<ColorF> b = ReadWholeRow(*uyvy.Codec(0, 2), 0);
    EXPECT_NE(a[0].r, b[0].r);
    // UYVY reads Y0 = 90, U = 100, V = 150 from the same bytes.
    EXPECT_EQ(b[0].g, (static_cast<float>(90 - 16) * 0.00456621f) -
                          0.00153632f * static_cast<float>(100 - 128) -
                          0.00318811f * static_cast<float>(150 - 128));

    const std::vector<ColorF> c = ReadWholeRow(*rgbg.Codec(0, 2), 0);
    const std::vector<ColorF> d = ReadWholeRow(*grgb.Codec(0, 2), 0);
    EXPECT_EQ(c[0].g, 100 * 0.003921569f);
    EXPECT_EQ(c[0].r, 90 * 0.003921569f);
    EXPECT_EQ(d[0].g, 90 * 0.003921569f);
    EXPECT_EQ(d[0].r, 100 * 0.003921569f);
    EXPECT_EQ(d[1].b, 150 * 0.003921569f);
    EXPECT_EQ(d[1].g, 200 * 0.003921569f);
}

TEST(PackedPairCodecTest, EncodesHandComputedPairs) {
    struct Case {
        D3DFORMAT format;
        ColorF first;
        ColorF second;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        // Y = truncate(219 v + 0.5) + 16 for grey; chroma 128.
        {D3DFMT_YUY2, {0, 0, 0, 1}, {1, 1, 1, 1}, {16, 128, 235, 128}},
        // Red: Y = truncate(65.481 + 0.5) + 16 = 81, U = truncate(-37.797 +
        // 0.5) + 128 = 91 (truncation toward zero), V = 112 + 128 = 240. The
        // second pixel's blue: Y = truncate(24.966 + 0.5) + 16 = 41.
        {D3DFMT_YUY2, {1, 0, 0, 1}, {0, 0, 1, 1}, {81, 91, 41, 240}},
        {D3DFMT_UYVY, {1, 0, 0, 1}, {0, 0, 1, 1}, {91, 81, 240, 41}},
        // Out of range input: Y = truncate(130.962 - 128.553 + 0.5) + 16 =
        // 18, U = truncate(-75.594 + 74.203 + 0.5) + 128 = 128, V = 224 +
        // 93.786 + 128 clamped to 255; the second pixel's Y -218 + 16
        // clamped to 0.
        {D3DFMT_YUY2, {2, -1, 0, 1}, {-1, -1, -1, 1}, {18, 128, 0, 255}},
        // G of each pixel, R and B of the first: truncate(v * 255 + 0.5).
        {D3DFMT_R8G8_B8G8, {0.5f, 0.2f, 1, 1}, {0, 0.9f, 0, 1}, {51, 128, 230, 255}},
        {D3DFMT_G8R8_G8B8, {0.5f, 0.2f, 1, 1}, {0, 0.9f, 0, 1}, {128, 51, 255, 230}},
        {D3DFMT_R8G8_B8G8, {-0.5f, 3, 1.5f, 1}, {0, -2, 0, 1}, {255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        Surface s(c.format, 2, 1);
        {
            auto codec = s.Codec(0, 2);
            const ColorF row[2] = {c.first, c.second};
            codec->WriteRow(0, 0, row);
        }
        EXPECT_EQ(s.Row(0), c.bytes) << std::hex << c.format;
    }
}

TEST(PackedPairCodecTest, DecodedRowsEncodeBackToTheirBytes) {
    // Every U and V from 16 to 240 at three luma levels, one pair each. A
    // first pixel carries its pair's own chroma, so decoding and encoding it
    // again gives back its luma and, where decoding did not clip a channel,
    // its chroma. Chroma below 128 comes back one higher: truncate(x + 0.5)
    // rounds a negative difference toward zero.
    const UINT pairs = 225 * 225;
    for (const BYTE luma : {BYTE{60}, BYTE{126}, BYTE{180}}) {
        Surface source(D3DFMT_YUY2, 2 * pairs, 1);
        std::vector<BYTE> bytes;
        for (int u = 16; u <= 240; ++u) {
            for (int v = 16; v <= 240; ++v) {
                bytes.insert(bytes.end(), {luma, static_cast<BYTE>(u), luma, static_cast<BYTE>(v)});
            }
        }
        source.SetRow(0, bytes);
        Surface copy(D3DFMT_YUY2, 2 * pairs, 1);
        const std::vector<ColorF> decoded = ReadWholeRow(*source.Codec(0, 2 * pairs), 0);
        copy.Codec(0, 2 * pairs)->WriteRow(0, 0, decoded.data());
        const std::vector<BYTE> again = copy.Row(0);

        int unclipped = 0;
        for (UINT k = 0; k < pairs; ++k) {
            const ColorF& c = decoded[2 * k];
            const BYTE* original = &bytes[4 * k];
            const BYTE* encoded = &again[4 * k];
            const bool clipped = !(c.r > 0 && c.r < 1 && c.g > 0 && c.g < 1 && c.b > 0 && c.b < 1);
            if (clipped) {
                continue;
            }
            ++unclipped;
            ASSERT_EQ(encoded[0], luma) << k;
            ASSERT_EQ(encoded[1], original[1] + (original[1] < 128 ? 1 : 0)) << k;
            ASSERT_EQ(encoded[3], original[3] + (original[3] < 128 ? 1 : 0)) << k;
        }
        EXPECT_GT(unclipped, 5000) << int{luma};
    }
}

TEST(PackedPairCodecTest, DirtyRowGoesBackOnRowChangeAndOnDestruction) {
    Surface s(D3DFMT_R8G8_B8G8, 2, 3);
    const ColorF white[2] = {{1, 1, 1, 1}, {1, 1, 1, 1}};
    auto codec = s.Codec(0, 2);
    codec->WriteRow(0, 0, white);
    // Still cached.
    EXPECT_EQ(s.Row(0), (std::vector<BYTE>{0, 0, 0, 0}));
    // Reading another row writes it back first.
    std::vector<ColorF> row(2);
    codec->ReadRow(2, 0, row.data());
    EXPECT_EQ(s.Row(0), (std::vector<BYTE>{255, 255, 255, 255}));

    const ColorF grey[2] = {{0.2f, 0.2f, 0.2f, 1}, {0.2f, 0.2f, 0.2f, 1}};
    codec->WriteRow(1, 0, grey);
    // Writing another row writes the previous one back too.
    codec->WriteRow(2, 0, grey);
    EXPECT_EQ(s.Row(1), (std::vector<BYTE>{51, 51, 51, 51}));
    EXPECT_EQ(s.Row(2), (std::vector<BYTE>{0, 0, 0, 0}));
    codec.reset();
    EXPECT_EQ(s.Row(2), (std::vector<BYTE>{51, 51, 51, 51}));
}

TEST(PackedPairCodecTest, ReadingTheWrittenRowGivesWhatTheSurfaceHolds) {
    Surface s(D3DFMT_R8G8_B8G8, 2, 1);
    auto codec = s.Codec(0, 2);
    const ColorF in[2] = {{0.3f, 0.6f, 0.9f, 0.5f}, {0.1f, 0.25f, 0.4f, 0.5f}};
    codec->WriteRow(0, 0, in);
    const std::vector<ColorF> back = ReadWholeRow(*codec, 0);
    EXPECT_EQ(back[0].r, 77 * 0.003921569f);  // truncate(76.5 + 0.5)
    EXPECT_EQ(back[1].g, 64 * 0.003921569f);  // truncate(63.75 + 0.5)
    EXPECT_EQ(back[1].r, back[0].r);          // red comes from the first pixel
    EXPECT_EQ(back[1].a, 1.0f);
}

TEST(PackedPairCodecTest, NarrowWriteKeepsTheOtherPixelOfThePair) {
    // Pair 0: grey 100 / 110; pair 1: grey 120 / 130; neutral chroma.
    Surface s(D3DFMT_YUY2, 4, 1);
    s.SetRow(0, {100, 128, 110, 128, 120, 128, 130, 128});
    {
        auto codec = s.Codec(1, 3);  // the second pixel of pair 0, the first of pair 1
        EXPECT_EQ(codec->width, 2u);
        const ColorF black[2] = {{0, 0, 0, 1}, {0, 0, 0, 1}};
        codec->WriteRow(0, 0, black);
    }
    EXPECT_EQ(s.Row(0), (std::vector<BYTE>{100, 128, 16, 128, 16, 128, 130, 128}));
}

TEST(PackedPairCodecTest, OddLeftEdgeReadsTheMatchingPixels) {
    Surface s(D3DFMT_YUY2, 8, 1);
    s.SetRow(0, {50, 10, 60, 240, 70, 50, 80, 100, 90, 200, 100, 0, 110, 30, 120, 60});
    // Interpolation runs over the pairs of the widened box (texels 2..7),
    // so compare with a codec bound to exactly those texels.
    const std::vector<ColorF> widened = ReadWholeRow(*s.Codec(2, 8), 0);
    auto odd = s.Codec(3, 7);
    ASSERT_EQ(odd->width, 4u);
    const std::vector<ColorF> part = ReadWholeRow(*odd, 0);
    for (UINT x = 0; x < 4; ++x) {
        EXPECT_EQ(part[x].r, widened[x + 1].r) << x;
        EXPECT_EQ(part[x].g, widened[x + 1].g) << x;
        EXPECT_EQ(part[x].b, widened[x + 1].b) << x;
    }
}

TEST(PackedPairCodecTest, OddExtentIsNeverLeft) {
    // Five texels a row: the last pair has no second word in memory.
    const UINT texels = 5;
    Surface s(D3DFMT_R8G8_B8G8, texels, 2);
    s.SetRow(0, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
    s.SetRow(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    {
        auto codec = s.Codec(0, texels);
        ASSERT_NE(codec, nullptr);
        const std::vector<ColorF> row = ReadWholeRow(*codec, 0);
        // Texel 4 keeps its own green and red; blue is repeated from the
        // row's last complete pair.
        EXPECT_EQ(row[4].g, 90 * 0.003921569f);
        EXPECT_EQ(row[4].r, 100 * 0.003921569f);
        EXPECT_EQ(row[4].b, 80 * 0.003921569f);
        std::vector<ColorF> white(texels, ColorF{1, 1, 1, 1});
        codec->WriteRow(1, 0, white.data());
    }
    EXPECT_EQ(s.Row(1), (std::vector<BYTE>(10, 255)));
    EXPECT_EQ(s.Row(0), (std::vector<BYTE>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

TEST(PackedPairCodecTest, OddExtentLeftIsNeverTouched) {
    // The extent starts at texel 1, the second half of pair 0.
    Surface s(D3DFMT_R8G8_B8G8, 4, 1);
    s.SetRow(0, {0xEE, 0xEE, 30, 40, 50, 60, 70, 80});
    SurfaceDesc desc = s.Desc(1, 4);
    desc.extent.left = 1;
    std::vector<ColorF> before(3);
    {
        auto codec = MakeCodec(desc);
        codec->ReadRow(0, 0, before.data());
        // Texel 1 has its own green and blue; red repeats from pair 1.
        EXPECT_EQ(before[0].g, 30 * 0.003921569f);
        EXPECT_EQ(before[0].b, 40 * 0.003921569f);
        EXPECT_EQ(before[0].r, 60 * 0.003921569f);
    }
    // Bytes outside the extent do not change what is read ...
    s.bytes[0] = 0x11;
    s.bytes[1] = 0x22;
    std::vector<ColorF> after(3);
    {
        auto codec = MakeCodec(desc);
        codec->ReadRow(0, 0, after.data());
        EXPECT_EQ(after[0].r, before[0].r);
        EXPECT_EQ(after[0].g, before[0].g);
        // ... and writing leaves them alone. Texel 1's blue comes from the
        // first pixel of its pair, texel 0, which the box does not cover, so
        // it keeps the value read for it.
        const std::vector<ColorF> black(3, ColorF{0, 0, 0, 1});
        codec->WriteRow(0, 0, black.data());
    }
    EXPECT_EQ(s.Row(0), (std::vector<BYTE>{0x11, 0x22, 0, 40, 0, 0, 0, 0}));
}

TEST(PackedPairCodecTest, SlicesAndRowsAddressTheirOwnMemory) {
    // Two slices of two rows of one pair each, exactly sized.
    const UINT pitch = 4;
    const UINT slicePitch = 8;
    std::unique_ptr<BYTE[]> bytes(new BYTE[2 * slicePitch]());
    SurfaceDesc d = {};
    d.data = bytes.get();
    d.format = D3DFMT_R8G8_B8G8;
    d.rowPitch = pitch;
    d.slicePitch = slicePitch;
    d.extent = PixelBox{0, 0, 2, 2, 0, 2};
    d.box = PixelBox{0, 1, 2, 2, 1, 2};  // row 1 of slice 1 only
    {
        auto codec = MakeCodec(d);
        ASSERT_NE(codec, nullptr);
        EXPECT_EQ(codec->height, 1u);
        EXPECT_EQ(codec->depth, 1u);
        const ColorF white[2] = {{1, 1, 1, 1}, {1, 1, 1, 1}};
        codec->WriteRow(0, 0, white);
    }
    for (UINT i = 0; i < 2 * slicePitch; ++i) {
        EXPECT_EQ(bytes[i], i >= 12 ? 255 : 0) << i;
    }
}

TEST(PackedPairCodecTest, ColourKeyIsComparedAfterThePairEncoding) {
    // White encodes as Y 235 and neutral chroma, which reads back a hair
    // below 1.0: the key must match that value, not the exact 1.0.
    Surface s(D3DFMT_YUY2, 4, 1);
    s.SetRow(0, {235, 128, 235, 128, 16, 128, 235, 128});
    auto codec = MakeCodec(s.Desc(0, 4, 0xFFFFFFFF));
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(codec->keyColor.r, 0.99999994f);
    EXPECT_EQ(codec->keyColor.a, 1.0f);
    const std::vector<ColorF> row = ReadWholeRow(*codec, 0);
    EXPECT_EQ(row[0].a, 0.0f);
    EXPECT_EQ(row[0].r, 0.0f);
    EXPECT_EQ(row[1].a, 0.0f);
    EXPECT_EQ(row[2].a, 1.0f);
    EXPECT_EQ(row[3].a, 0.0f);

    // Gamma does not enter the key's quantisation.
    SurfaceDesc desc = s.Desc(0, 4, 0xFFFFFFFF);
    desc.gamma = true;
    auto withGamma = MakeCodec(desc);
    ASSERT_NE(withGamma, nullptr);
    EXPECT_EQ(withGamma->keyColor.r, 0.99999994f);
    EXPECT_TRUE(withGamma->gamma);
}

TEST(PackedPairCodecTest, RefusesOtherFormats) {
    Surface s(D3DFMT_YUY2, 2, 1);
    SurfaceDesc other = s.Desc(0, 2);
    other.format = D3DFMT_A8R8G8B8;
    std::unique_ptr<PixelCodec> codec;
    EXPECT_EQ(CreatePackedPairCodec(other, &codec), E_FAIL);
    EXPECT_EQ(codec, nullptr);
}

}  // namespace
