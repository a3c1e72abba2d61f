#include "runtime/d3d9/sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/d3d9/raster_context.h"

namespace {

using namespace vellorn_d3d9;

struct AddressCase {
    DWORD mode;
    int index;
    int expected;
};

class AddressTexelTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTexelTest, MapsIndexIntoTexture) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(AddressTexel(c.index, 4, c.mode), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AddressTexelTest,
    ::testing::Values(
        AddressCase{D3DTADDRESS_WRAP, -1, 3}, AddressCase{D3DTADDRESS_WRAP, 5, 1},
        AddressCase{D3DTADDRESS_WRAP, -9, 3}, AddressCase{D3DTADDRESS_CLAMP, -3, 0},
        AddressCase{D3DTADDRESS_CLAMP, 7, 3}, AddressCase{D3DTADDRESS_MIRROR, 4, 3},
        AddressCase{D3DTADDRESS_MIRROR, 7, 0}, AddressCase{D3DTADDRESS_MIRROR, 8, 0},
        AddressCase{D3DTADDRESS_MIRROR, -1, 0}, AddressCase{D3DTADDRESS_MIRROR, -5, 3},
        AddressCase{D3DTADDRESS_MIRRORONCE, -2, 1}, AddressCase{D3DTADDRESS_MIRRORONCE, 9, 3},
        AddressCase{D3DTADDRESS_BORDER, -1, -1}, AddressCase{D3DTADDRESS_BORDER, 4, -1},
        AddressCase{D3DTADDRESS_BORDER, 2, 2}));

TEST(LerpPackedTest, EndpointsExactAndMidpointRounded) {
    EXPECT_EQ(LerpPacked(0x10203040u, 0xF0E0D0C0u, 0), 0x10203040u);
    EXPECT_EQ(LerpPacked(0x10203040u, 0xF0E0D0C0u, 256), 0xF0E0D0C0u);
    EXPECT_EQ(LerpPacked(0x00000000u, 0xFF0101FFu, 128), 0x80010180u);
}

struct LodCase {
    float lambda;
    DWORD minFilter, magFilter, mipFilter;
    DWORD maxMipLevel;
    float bias;
    int level, nextLevel;
    std::uint32_t nextWeight;
    DWORD filter;
};

class ChooseLodTest : public ::testing::TestWithParam<LodCase> {};

TEST_P(ChooseLodTest, PicksLevelsAndFilter) {
    const LodCase& c = GetParam();
    std::vector<SampledLevel> levels(5, SampledLevel{nullptr, 1, 1});
    SamplerSetup setup;
    setup.levels = levels.data();
    setup.levelCount = 5;
    setup.settings.minFilter = c.minFilter;
    setup.settings.magFilter = c.magFilter;
    setup.settings.mipFilter = c.mipFilter;
    setup.settings.maxMipLevel = c.maxMipLevel;
    setup.settings.mipLodBias = c.bias;
    const LodChoice lod = ChooseLod(setup, c.lambda);
    EXPECT_EQ(lod.level, c.level);
    EXPECT_EQ(lod.nextLevel, c.nextLevel);
    EXPECT_EQ(lod.nextWeight, c.nextWeight);
    EXPECT_EQ(lod.filter, c.filter);
}

constexpr DWORD P = D3DTEXF_POINT, L = D3DTEXF_LINEAR, N = D3DTEXF_NONE, A = D3DTEXF_ANISOTROPIC;

INSTANTIATE_TEST_SUITE_P(
    Table, ChooseLodTest,
    ::testing::Values(
        // magnification uses the mag filter and the most detailed allowed level
        LodCase{-1.0f, P, L, P, 0, 0.0f, 0, 0, 0, L}, LodCase{-1.0f, L, P, P, 2, 0.0f, 2, 2, 0, P},
        // minification picks the nearest level; anisotropic filters linearly
        LodCase{2.0f, A, P, P, 0, 0.0f, 2, 2, 0, L}, LodCase{1.4f, P, P, P, 0, 0.0f, 1, 1, 0, P},
        LodCase{1.6f, P, P, P, 0, 0.0f, 2, 2, 0, P},
        // no mip filter stays on the base level
        LodCase{3.0f, L, L, N, 0, 0.0f, 0, 0, 0, L},
        // bias and the maximum mip level
        LodCase{2.0f, P, P, P, 0, 1.0f, 3, 3, 0, P}, LodCase{2.0f, P, P, P, 0, -1.0f, 1, 1, 0, P},
        LodCase{1.0f, P, P, P, 3, 0.0f, 3, 3, 0, P}, LodCase{9.0f, P, P, P, 0, 0.0f, 4, 4, 0, P},
        // linear mip filtering blends two levels
        LodCase{1.25f, L, L, L, 0, 0.0f, 1, 2, 64, L},
        LodCase{7.0f, L, L, L, 0, 0.0f, 4, 4, 0, L}));

// Positions and texture coordinates are rounded to fixed point without a
// library call; the result must be llround's, halves away from zero.
TEST(RoundToNearestTest, MatchesLlround) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  -0.5,
                                  1.5,
                                  -1.5,
                                  2.5,
                                  -2.5,
                                  0.49999999999999994,
                                  -0.49999999999999994,
                                  1e7,
                                  -1e7 - 0.5,
                                  4503599627370495.5,
                                  4503599627370496.0,
                                  9007199254740993.0,
                                  -9007199254740993.0,
                                  1099511627776.5};
    std::uint64_t seed = 12345;
    for (int i = 0; i < 10000; ++i) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        const double unit = static_cast<double>(seed >> 11) / 9007199254740992.0;  // [0, 1)
        const double scale = std::ldexp(1.0, static_cast<int>(seed % 50));
        values.push_back((unit - 0.5) * scale);
        values.push_back(std::floor((unit - 0.5) * scale) + 0.5);  // exact halves
    }
    for (const double value : values) {
        EXPECT_EQ(RoundToNearest(value), std::llround(value)) << value;
    }
}

}  // namespace
