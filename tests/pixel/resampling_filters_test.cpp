#include "pixel/resampling_filters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "codec_test_util.h"
#include "vellorn/d3dx_texture.h"
#include "vellorn/result_codes.h"

namespace {

struct Size3 {
    UINT w, h, d;
};

// Float surfaces: what a filter computes is what the destination holds.
constexpr D3DFORMAT kFloat = D3DFMT_A32B32G32R32F;
constexpr UINT kFloatBytes = 16;

// One value per pixel, spread so that every channel is checked exactly:
// scaling by powers of two and negation commute with float rounding.
ColorF Spread(float v) {
    return ColorF{v, 2.0f * v, -v, 4.0f * v};
}

void FillFloat(TestSurface& surface, const std::vector<float>& values) {
    std::size_t i = 0;
    for (UINT z = 0; z < surface.depth; ++z) {
        for (UINT y = 0; y < surface.height; ++y) {
            for (UINT x = 0; x < surface.width; ++x) {
                const ColorF c = Spread(values[i++]);
                std::memcpy(surface.Pixel(x, y, z), &c, sizeof(c));
            }
        }
    }
}

std::vector<ColorF> ReadFloat(TestSurface& surface) {
    std::vector<ColorF> pixels;
    for (UINT z = 0; z < surface.depth; ++z) {
        for (UINT y = 0; y < surface.height; ++y) {
            for (UINT x = 0; x < surface.width; ++x) {
                ColorF c;
                std::memcpy(&c, surface.Pixel(x, y, z), sizeof(c));
                pixels.push_back(c);
            }
        }
    }
    return pixels;
}

struct FilterRun {
    HRESULT result;
    std::vector<ColorF> pixels;
};

// Filters a float source holding values into a float destination that starts
// out holding 99 everywhere.
FilterRun RunFloat(ResamplingFilter filter, DWORD word, Size3 from,
                   const std::vector<float>& values, Size3 to) {
    TestSurface source(kFloatBytes, from.w, from.h, from.d);
    TestSurface destination(kFloatBytes, to.w, to.h, to.d);
    FillFloat(source, values);
    FillFloat(destination, std::vector<float>(std::size_t{to.w} * to.h * to.d, 99.0f));
    std::unique_ptr<PixelCodec> in = MakeCodec(source, kFloat);
    std::unique_ptr<PixelCodec> out = MakeCodec(destination, kFloat);
    const HRESULT result = filter(*in, *out, word);
    return {result, ReadFloat(destination)};
}

constexpr DWORD kNoWrap = D3DX_FILTER_MIRROR;
constexpr DWORD kClampU = D3DX_FILTER_MIRROR_U;
constexpr DWORD kClampV = D3DX_FILTER_MIRROR_V;
constexpr DWORD kClampW = D3DX_FILTER_MIRROR_W;
constexpr float kUnwritten = 99.0f;

struct KnownAnswer {
    const char* name;
    ResamplingFilter filter;
    DWORD word;
    Size3 from;
    std::vector<float> source;
    Size3 to;
    HRESULT result;
    std::vector<float> expected;  // when result is S_OK
    friend void PrintTo(const KnownAnswer& c, std::ostream* os) { *os << c.name; }
};

class KnownAnswerTest : public testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswerTest, WritesTheHandComputedPixels) {
    const KnownAnswer& c = GetParam();
    const FilterRun run = RunFloat(c.filter, c.word, c.from, c.source, c.to);
    ASSERT_EQ(run.result, c.result);
    std::vector<float> expected = c.expected;
    if (c.result != S_OK) {
        expected.assign(run.pixels.size(), kUnwritten);  // a filter that declines writes nothing
    }
    ASSERT_EQ(run.pixels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ColorF want = Spread(expected[i]);
        EXPECT_TRUE(SameColor(run.pixels[i], want))
            << "pixel " << i << ": " << run.pixels[i].r << " " << run.pixels[i].g << " "
            << run.pixels[i].b << " " << run.pixels[i].a << ", expected " << expected[i];
    }
}

constexpr DWORD kNone = D3DX_FILTER_NONE;
constexpr DWORD kPoint = D3DX_FILTER_POINT;
constexpr DWORD kLinear = D3DX_FILTER_LINEAR;
constexpr DWORD kTriangle = D3DX_FILTER_TRIANGLE;
constexpr DWORD kBox = D3DX_FILTER_BOX;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Filters, KnownAnswerTest, testing::Values(
    // None: the top-left part; zeros past the source, in extra rows and slices.
    KnownAnswer{"NoneWidensAndClears", FilterNone, kNone, {2, 1, 1}, {1, 2}, {3, 2, 2}, S_OK,
                {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    KnownAnswer{"NoneNarrows", FilterNone, kNone, {3, 2, 1}, {1, 2, 3, 4, 5, 6}, {2, 1, 1}, S_OK, {1, 2}},
    KnownAnswer{"NoneDeclinesOtherKinds", FilterNone, kPoint, {1, 1, 1}, {1}, {1, 1, 1}, E_FAIL, {}},
    // Point: (x * 49152) >> 16 samples columns 0, 0, 1, 2.
    KnownAnswer{"Point3To4", FilterPoint, kPoint, {3, 1, 1}, {10, 20, 30}, {4, 1, 1}, S_OK,
                {10, 10, 20, 30}},
    // 4 -> 6 steps by 43690 (truncated from 43690.67), so column 3 lands on
    // 131070 >> 16 = 1, short of the exact 2.
    KnownAnswer{"Point4To6", FilterPoint, kPoint, {4, 1, 1}, {1, 2, 3, 4}, {6, 1, 1}, S_OK,
                {1, 1, 2, 2, 3, 4}},
    KnownAnswer{"PointRowsAndSlices", FilterPoint, kPoint, {1, 3, 2}, {1, 2, 3, 4, 5, 6}, {1, 2, 4}, S_OK,
                {1, 2, 1, 2, 4, 5, 4, 5}},
    // Box: exact halving only.
    KnownAnswer{"Box4x4To2x2", FilterBox2D, kBox, {4, 4, 1},
                {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {2, 2, 1}, S_OK,
                {2.5f, 4.5f, 10.5f, 12.5f}},
    KnownAnswer{"Box5x5UsesTopLeft4x4", FilterBox2D, kBox, {5, 5, 1},
                {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
                {2, 2, 1}, S_OK, {3, 5, 13, 15}},
    KnownAnswer{"Box1x4To1x2", FilterBox2D, kBox, {1, 4, 1}, {1, 2, 4, 8}, {1, 2, 1}, S_OK, {1.5f, 6}},
    KnownAnswer{"Box2DDeclinesOtherSizes", FilterBox2D, kBox, {4, 4, 1}, std::vector<float>(16, 1.0f),
                {3, 2, 1}, E_FAIL, {}},
    KnownAnswer{"Box2DDeclinesVolumes", FilterBox2D, kBox, {2, 2, 2}, {1, 2, 4, 8, 16, 32, 64, 128},
                {1, 1, 1}, E_FAIL, {}},
    KnownAnswer{"Box3D2x2x2", FilterBox3D, kBox, {2, 2, 2}, {1, 2, 4, 8, 16, 32, 64, 128}, {1, 1, 1},
                S_OK, {31.875f}},
    KnownAnswer{"Box3DOneRowAliases", FilterBox3D, kBox, {2, 1, 2}, {1, 2, 4, 8}, {1, 1, 1}, S_OK,
                {3.75f}},
    KnownAnswer{"Box3DDropsOddSlice", FilterBox3D, kBox, {1, 1, 3}, {1, 3, 100}, {1, 1, 1}, S_OK, {2}},
    // Linear: taps (0, .5, 1, .5) and (2, .5, 3, .5) from 4 to 2.
    KnownAnswer{"Linear4To2", FilterLinear2D, kLinear, {4, 1, 1}, {1, 2, 4, 8}, {2, 1, 1}, S_OK, {1.5f, 6}},
    // From 2 to 4 destination 0 takes 0.25 of source[-1]: source 1 with wrap,
    // source 0 without.
    KnownAnswer{"Linear2To4Wrapping", FilterLinear2D, kLinear, {2, 1, 1}, {1, 5}, {4, 1, 1}, S_OK,
                {2, 2, 4, 4}},
    KnownAnswer{"Linear2To4Clamped", FilterLinear2D, kLinear | kClampU, {2, 1, 1}, {1, 5}, {4, 1, 1}, S_OK,
                {1, 2, 4, 5}},
    KnownAnswer{"Linear3To2", FilterLinear2D, kLinear, {3, 1, 1}, {4, 8, 16}, {2, 1, 1}, S_OK, {5, 14}},
    KnownAnswer{"LinearVertical4To2", FilterLinear2D, kLinear, {1, 4, 1}, {1, 2, 4, 8}, {1, 2, 1}, S_OK,
                {1.5f, 6}},
    KnownAnswer{"LinearVertical2To4Clamped", FilterLinear2D, kLinear | kClampV, {1, 2, 1}, {1, 5}, {1, 4, 1},
                S_OK, {1, 2, 4, 5}},
    KnownAnswer{"Linear2DDeclinesVolumes", FilterLinear2D, kLinear, {1, 1, 2}, {1, 2}, {1, 1, 1}, E_FAIL, {}},
    KnownAnswer{"Linear3D2x2x2", FilterLinear3D, kLinear, {2, 2, 2}, {1, 2, 4, 8, 16, 32, 64, 128},
                {1, 1, 1}, S_OK, {31.875f}},
    KnownAnswer{"Linear3DDepth4To2", FilterLinear3D, kLinear, {1, 1, 4}, {1, 2, 4, 8}, {1, 1, 2}, S_OK,
                {1.5f, 6}},
    KnownAnswer{"Linear3DDepth2To4Wrapping", FilterLinear3D, kLinear | kClampU | kClampV, {1, 1, 2}, {1, 5},
                {1, 1, 4}, S_OK, {2, 2, 4, 4}},
    KnownAnswer{"Linear3DDepth2To4Clamped", FilterLinear3D, kLinear | kClampW, {1, 1, 2}, {1, 5}, {1, 1, 4},
                S_OK, {1, 2, 4, 5}},
    // Triangle.
    KnownAnswer{"Triangle2To1", FilterTriangle2D, kTriangle | kNoWrap, {2, 1, 1}, {2, 6}, {1, 1, 1}, S_OK,
                {4}},
    KnownAnswer{"Triangle1To2", FilterTriangle2D, kTriangle | kNoWrap, {1, 1, 1}, {7}, {2, 1, 1}, S_OK,
                {7, 7}},
    // From 2 to 4 the outer cells take a quarter of the far pixel with wrap;
    // without, the outer halves of the edge pixels weigh 1.
    KnownAnswer{"Triangle2To4Wrapping", FilterTriangle2D, kTriangle, {2, 1, 1}, {4, 8}, {4, 1, 1}, S_OK,
                {5, 5, 7, 7}},
    KnownAnswer{"Triangle2To4Clamped", FilterTriangle2D, kTriangle | kClampU, {2, 1, 1}, {4, 8}, {4, 1, 1},
                S_OK, {4, 5, 7, 8}},
    KnownAnswer{"TriangleVertical2To4Wrapping", FilterTriangle2D, kTriangle, {1, 2, 1}, {4, 8}, {1, 4, 1},
                S_OK, {5, 5, 7, 7}},
    KnownAnswer{"TriangleVertical2To4Clamped", FilterTriangle2D, kTriangle | kClampV, {1, 2, 1}, {4, 8},
                {1, 4, 1}, S_OK, {4, 5, 7, 8}},
    KnownAnswer{"Triangle2DDeclinesVolumes", FilterTriangle2D, kTriangle, {1, 1, 2}, {1, 2}, {1, 1, 1},
                E_FAIL, {}},
    KnownAnswer{"Triangle3DDepth2To1", FilterTriangle3D, kTriangle | kNoWrap, {1, 1, 2}, {2, 6}, {1, 1, 1},
                S_OK, {4}},
    KnownAnswer{"Triangle3DDepth2To4Wrapping", FilterTriangle3D, kTriangle | kClampU | kClampV, {1, 1, 2}, {4, 8}, {1, 1, 4},
                S_OK, {5, 5, 7, 7}},
    KnownAnswer{"Triangle3DDepth2To4Clamped", FilterTriangle3D, kTriangle | kClampW, {2, 1, 2},
                {4, 4, 8, 8}, {1, 1, 4}, S_OK, {4, 5, 7, 8}}));
// clang-format on

// A source box that holds no pixel: only the none filter has an answer for a
// destination (zeros); the sampling filters decline. Every filter is done at
// once with an empty destination.
TEST(ResamplingFilters, EmptyBoxes) {
    TestSurface source(kFloatBytes, 2, 2, 2);
    TestSurface destination(kFloatBytes, 2, 2, 2);
    SurfaceDesc emptyDesc = source.Desc(kFloat);
    emptyDesc.box = PixelBox{1, 1, 1, 2, 0, 2};
    struct Case {
        ResamplingFilter filter;
        DWORD word;
        HRESULT fromEmpty;
    };
    for (const Case& c :
         {Case{FilterNone, kNone, S_OK}, Case{FilterPoint, kPoint, E_FAIL},
          Case{FilterLinear3D, kLinear, E_FAIL}, Case{FilterTriangle3D, kTriangle, E_FAIL}}) {
        FillFloat(destination, std::vector<float>(8, kUnwritten));
        std::unique_ptr<PixelCodec> empty = MakeCodec(emptyDesc);
        std::unique_ptr<PixelCodec> full = MakeCodec(destination, kFloat);
        EXPECT_EQ(c.filter(*empty, *full, c.word), c.fromEmpty) << c.word;
        const float expected = c.fromEmpty == S_OK ? 0.0f : kUnwritten;
        for (const ColorF& pixel : ReadFloat(destination)) {
            EXPECT_TRUE(SameColor(pixel, Spread(expected))) << c.word;
        }
        std::unique_ptr<PixelCodec> sourceCodec = MakeCodec(source, kFloat);
        std::unique_ptr<PixelCodec> emptyDestination = MakeCodec(emptyDesc);
        EXPECT_EQ(c.filter(*sourceCodec, *emptyDestination, c.word), S_OK) << c.word;
    }
}

// The 3-D triangle filter on one slice computes exactly what the 2-D one
// does: the single slice's weight is exactly 1.
TEST(ResamplingFilters, Triangle3DOnOneSliceEqualsTriangle2D) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-4.0f, 4.0f);
    std::vector<float> values(7 * 5);
    for (float& v : values) {
        v = value(random);
    }
    for (DWORD word : {kTriangle, kTriangle | kNoWrap}) {
        const FilterRun flat = RunFloat(FilterTriangle2D, word, {7, 5, 1}, values, {3, 9, 1});
        const FilterRun volume = RunFloat(FilterTriangle3D, word, {7, 5, 1}, values, {3, 9, 1});
        ASSERT_EQ(flat.result, S_OK);
        ASSERT_EQ(volume.result, S_OK);
        ASSERT_EQ(flat.pixels.size(), volume.pixels.size());
        EXPECT_EQ(std::memcmp(flat.pixels.data(), volume.pixels.data(),
                              flat.pixels.size() * sizeof(ColorF)),
                  0)
            << word;
    }
}

// A reduction so strong that every weight falls below the drop threshold
// still writes every destination row and slice, as zeros.
TEST(ResamplingFilters, TriangleWritesCellsWhoseWeightsWereAllDropped) {
    constexpr UINT kLong = 200000;
    struct Case {
        ResamplingFilter filter;
        Size3 from;
    };
    for (const Case& c :
         {Case{FilterTriangle2D, {kLong, 1, 1}}, Case{FilterTriangle2D, {1, kLong, 1}},
          Case{FilterTriangle3D, {1, 1, kLong}}}) {
        const FilterRun run =
            RunFloat(c.filter, kTriangle, c.from, std::vector<float>(kLong, 3.0f), {1, 1, 1});
        ASSERT_EQ(run.result, S_OK);
        EXPECT_TRUE(SameColor(run.pixels[0], Spread(0.0f)))
            << c.from.w << "x" << c.from.h << "x" << c.from.d;
    }
}

// The triangle filter clamps by the source's value class. Resampling white
// from 2 to 9 pixels with wrap overshoots 1 by a rounding error at pixel 1:
// a float source keeps it, an 8-bit source is clamped back to 1.
TEST(ResamplingFilters, TriangleClampsToTheSourceRange) {
    TestSurface floats(kFloatBytes, 2, 1);
    FillFloat(floats, {0.25f, 0.25f});  // spread to alpha 1
    TestSurface bytes(4, 2, 1);
    std::memset(bytes.bytes.data(), 0xFF, bytes.bytes.size());
    struct Case {
        TestSurface* source;
        D3DFORMAT format;
        bool overshoots;
    };
    for (const Case& c : {Case{&floats, kFloat, true}, Case{&bytes, D3DFMT_A8R8G8B8, false}}) {
        TestSurface destination(kFloatBytes, 9, 1);
        std::unique_ptr<PixelCodec> in = MakeCodec(*c.source, c.format);
        std::unique_ptr<PixelCodec> out = MakeCodec(destination, kFloat);
        ASSERT_EQ(FilterTriangle2D(*in, *out, kTriangle), S_OK);
        const float alpha = ReadFloat(destination)[1].a;
        EXPECT_EQ(alpha > 1.0f, c.overshoots) << c.format << ": " << alpha;
        EXPECT_NEAR(alpha, 1.0f, 1e-6f) << c.format;
    }
}

// With gamma-encoded colour on both sides the copying filters hand the
// encoded bytes through unchanged, whether or not the both-gamma shortcut is
// set.
TEST(ResamplingFilters, CopyingFiltersKeepGammaEncodedValues) {
    TestSurface source(4, 16, 16);
    std::mt19937 random(3);
    for (BYTE& b : source.bytes) {
        b = static_cast<BYTE>(random());
    }
    CodecOptions gamma;
    gamma.gamma = true;
    for (ResamplingFilter filter : {FilterNone, FilterPoint}) {
        for (bool bothGamma : {false, true}) {
            TestSurface destination(4, 16, 16);
            std::unique_ptr<PixelCodec> in = MakeCodec(source, D3DFMT_A8R8G8B8, gamma);
            std::unique_ptr<PixelCodec> out = MakeCodec(destination, D3DFMT_A8R8G8B8, gamma);
            in->bothGamma = bothGamma;
            out->bothGamma = bothGamma;
            const DWORD word = filter == FilterNone ? kNone : kPoint;
            ASSERT_EQ(filter(*in, *out, word), S_OK);
            EXPECT_EQ(destination.bytes, source.bytes) << word << " " << bothGamma;
        }
    }
}

}  // namespace
