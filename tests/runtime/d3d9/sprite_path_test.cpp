// The sprite path: which draw states it accepts, and that for the sprite
// batcher's states it writes exactly the bytes of the general pipeline.
#include "runtime/d3d9/sprite_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "raster_test_support.h"

namespace {

using vellorn_d3d9::SpritePathFor;

constexpr UINT kWidth = 96;
constexpr UINT kHeight = 64;
constexpr UINT kAtlasWidth = 512;
constexpr UINT kAtlasHeight = 64;

// The states the sprite batcher sets for ALPHABLEND on a device that offers
// the GREATER comparison: modulate texture by diffuse, source-alpha blending,
// alpha test GREATER 0, clamped addressing, linear mip filter.
RasterState BatcherState(const SampledLevel* levels, UINT levelCount, bool targetHasAlpha) {
    RasterState state;
    state.viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
    state.cullMode = D3DCULL_NONE;
    state.alphaTestEnable = true;
    state.alphaFunc = D3DCMP_GREATER;
    state.alphaRef = 0;
    state.alphaBlendEnable = true;
    state.srcBlend = D3DBLEND_SRCALPHA;
    state.destBlend = D3DBLEND_INVSRCALPHA;
    state.blendOp = D3DBLENDOP_ADD;
    state.targetHasAlpha = targetHasAlpha;
    state.stages[0] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
                       D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};
    state.samplers[0].addressU = D3DTADDRESS_CLAMP;
    state.samplers[0].addressV = D3DTADDRESS_CLAMP;
    state.samplers[0].minFilter = D3DTEXF_LINEAR;
    state.samplers[0].magFilter = D3DTEXF_LINEAR;
    state.samplers[0].mipFilter = D3DTEXF_LINEAR;
    state.textureLevels[0] = levels;
    state.textureLevelCount[0] = levelCount;
    return state;
}

struct DecisionCase {
    const char* change;
    void (*apply)(RasterState&);
    bool accepted;
    int keepAlphaAtOrBelow;
};

const DecisionCase kDecisions[] = {
    {"batcher state", [](RasterState&) {}, true, -1},
    {"target without alpha", [](RasterState& s) { s.targetHasAlpha = false; }, true, 0},
    {"no alpha test", [](RasterState& s) { s.alphaTestEnable = false; }, true, -1},
    {"ALWAYS", [](RasterState& s) { s.alphaFunc = D3DCMP_ALWAYS; }, true, -1},
    {"NEVER", [](RasterState& s) { s.alphaFunc = D3DCMP_NEVER; }, true, 255},
    {"GREATER 0x40", [](RasterState& s) { s.alphaRef = 0x40; }, true, 0x40},
    {"reference beyond a byte", [](RasterState& s) { s.alphaRef = 0x140; }, true, 0x40},
    {"GREATEREQUAL 0", [](RasterState& s) { s.alphaFunc = D3DCMP_GREATEREQUAL; }, true, -1},
    {"GREATEREQUAL 0x80",
     [](RasterState& s) {
         s.alphaFunc = D3DCMP_GREATEREQUAL;
         s.alphaRef = 0x80;
     },
     true, 0x7F},
    {"diffuse first",
     [](RasterState& s) {
         s.stages[0].colorArg1 = D3DTA_DIFFUSE;
         s.stages[0].colorArg2 = D3DTA_TEXTURE;
     },
     true, -1},
    {"point filters, no mip filter",
     [](RasterState& s) {
         s.samplers[0].minFilter = s.samplers[0].magFilter = D3DTEXF_POINT;
         s.samplers[0].mipFilter = D3DTEXF_NONE;
     },
     true, -1},
    {"LESS", [](RasterState& s) { s.alphaFunc = D3DCMP_LESS; }, false, -1},
    {"NOTEQUAL", [](RasterState& s) { s.alphaFunc = D3DCMP_NOTEQUAL; }, false, -1},
    {"no blending", [](RasterState& s) { s.alphaBlendEnable = false; }, false, -1},
    {"additive blend", [](RasterState& s) { s.destBlend = D3DBLEND_ONE; }, false, -1},
    {"subtract", [](RasterState& s) { s.blendOp = D3DBLENDOP_SUBTRACT; }, false, -1},
    {"write mask", [](RasterState& s) { s.colorWriteEnable = 0x7; }, false, -1},
    {"wrap in u", [](RasterState& s) { s.samplers[0].addressU = D3DTADDRESS_WRAP; }, false, -1},
    {"border in v", [](RasterState& s) { s.samplers[0].addressV = D3DTADDRESS_BORDER; }, false, -1},
    {"texture alone", [](RasterState& s) { s.stages[0].colorOp = D3DTOP_SELECTARG1; }, false, -1},
    {"alpha from diffuse", [](RasterState& s) { s.stages[0].alphaArg1 = D3DTA_DIFFUSE; }, false,
     -1},
    {"second stage", [](RasterState& s) { s.stages[1].colorOp = D3DTOP_MODULATE; }, false, -1},
    {"no texture", [](RasterState& s) { s.textureLevels[0] = nullptr; }, false, -1},
};

TEST(SpritePathTest, AcceptsTheStatesItReproducesExactly) {
    const std::uint32_t texel = 0xFFFFFFFFu;
    const SampledLevel level{&texel, 1, 1};
    for (const DecisionCase& c : kDecisions) {
        SCOPED_TRACE(c.change);
        RasterState state = BatcherState(&level, 1, true);
        c.apply(state);
        const vellorn_d3d9::SpritePath path = SpritePathFor(state);
        EXPECT_EQ(path.accepted, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(path.keepAlphaAtOrBelow, c.keepAlphaAtOrBelow);
        }
    }
}

std::uint32_t NextRandom(std::uint32_t* seed) {
    *seed = *seed * 1664525u + 1013904223u;
    return *seed;
}

// A 512 x 64 atlas with a full mip chain: 8 x 8 blocks of opaque, fully
// transparent and translucent texels of random colours; each lower level
// averages 2 x 2 texels of the one above.
Texture Atlas() {
    Texture atlas;
    std::uint32_t seed = 4711;
    std::vector<std::uint32_t> texels(kAtlasWidth * kAtlasHeight);
    for (UINT y = 0; y < kAtlasHeight; ++y) {
        for (UINT x = 0; x < kAtlasWidth; ++x) {
            const std::uint32_t random = NextRandom(&seed);
            const UINT kind = (x / 8 + y / 8) % 3;
            const std::uint32_t alpha = kind == 0 ? 0xFFu : kind == 1 ? 0u : 1 + random % 254;
            texels[y * kAtlasWidth + x] = (alpha << 24) | (random >> 8);
        }
    }
    UINT w = kAtlasWidth, h = kAtlasHeight;
    atlas.AddLevel(w, h, texels);
    while (w > 1 || h > 1) {
        const UINT nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
        std::vector<std::uint32_t> next(nw * nh);
        for (UINT y = 0; y < nh; ++y) {
            for (UINT x = 0; x < nw; ++x) {
                const UINT x1 = std::min(2 * x + 1, w - 1), y1 = std::min(2 * y + 1, h - 1);
                const std::uint32_t quad[4] = {texels[2 * y * w + 2 * x], texels[2 * y * w + x1],
                                               texels[y1 * w + 2 * x], texels[y1 * w + x1]};
                std::uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    std::uint32_t sum = 2;
                    for (std::uint32_t t : quad) {
                        sum += (t >> shift) & 0xFFu;
                    }
                    out |= (sum / 4) << shift;
                }
                next[y * nw + x] = out;
            }
        }
        texels = std::move(next);
        w = nw;
        h = nh;
        atlas.AddLevel(w, h, texels);
    }
    return atlas;
}

// How a quad becomes two triangles: as the batcher splits it, along the
// other diagonal, as two halves that overlap (sharing the top side), with
// the bottom-right corner's texture coordinate moved so that the two halves
// map the atlas differently, or with a second colour for the second half.
enum class Split { Batcher, OtherDiagonal, Overlapping, BentCorner, TwoColours };

// A sprite: its top-left corner and size on screen, and its source
// rectangle in atlas texels (which may reach outside the atlas).
struct Quad {
    float x, y, w, h;
    float left, top, right, bottom;
    Split split = Split::Batcher;
};

const Quad kQuads[] = {
    {5, 6, 32, 32, 0, 0, 32, 32},             // whole pixels, one texel per pixel
    {20.37f, 9.61f, 32, 32, 96, 8, 128, 40},  // fractional position
    {-10, -7, 36, 36, 40, 8, 76, 44},         // clipped at the left and top
    {kWidth - 20.0f, kHeight - 12.0f, 36, 36, 200, 20, 236, 56},  // clipped right, bottom
    {40, 30, 32, 16, 0, 0, 64, 32},                               // half size: level 1
    {60, 5, 32, 16, 128, 0, 256, 64},                             // quarter size: level 2
    {10, 40, 45, 22, 256, 0, 320, 32},                            // between levels 0 and 1
    {33.3f, 17.8f, 24.5f, 13.25f, 320, 8, 400, 50},  // fractional and between levels 1 and 2
    {50, 40, 40, 20, 300, 10, 320, 20},              // magnified
    {70, 20, 20, 20, -8, 20, 12, 40},                // partly left of the atlas (clamped)
    {70, 44, 20, 16, 100, 54, 120, 70},              // partly below the atlas (clamped)
    {84, 30, 12, 12, 506, 0, 518, 12},               // partly right of the atlas (clamped)
    {8, 44, 20, 16, 200.25f, 4, 210.25f, 20},  // first pixel on a texel centre, half-texel steps
    {10.5f, 20.5f, 16, 8, 64, 0, 80, 8},       // sides through pixel centres
    {78, 2, 16, 24, 420, 30, 436, 42},         // one to one across, stretched down
    {60.5f, 48, 24, 12, 128, 8, 152, 20, Split::OtherDiagonal},
    {44, 2, 20, 14, 136, 16, 156, 30, Split::Overlapping},
    {2, 26, 18, 18, 24, 2, 42, 20, Split::BentCorner},
    {76, 40, 16, 16, 160, 0, 176, 16, Split::TwoColours},
};

struct AlphaTest {
    bool enable;
    DWORD func;
    DWORD ref;
};

struct Filters {
    DWORD min, mag, mip;
};

using EquivalenceCase = std::tuple<bool, AlphaTest, Filters, Colour>;

class SpritePathEquivalenceTest : public ::testing::TestWithParam<EquivalenceCase> {};

// Draws every quad of the list with both routes over the same background
// (random bytes, alpha included) and compares the targets byte for byte.
TEST_P(SpritePathEquivalenceTest, WritesTheBytesOfTheGeneralPipeline) {
    const auto& [targetHasAlpha, alphaTest, filters, colour] = GetParam();
    const Texture atlas = Atlas();
    ASSERT_EQ(atlas.levels.size(), 10u);
    RasterState state =
        BatcherState(atlas.levels.data(), static_cast<UINT>(atlas.levels.size()), targetHasAlpha);
    state.alphaTestEnable = alphaTest.enable;
    state.alphaFunc = alphaTest.func;
    state.alphaRef = alphaTest.ref;
    state.samplers[0].minFilter = filters.min;
    state.samplers[0].magFilter = filters.mag;
    state.samplers[0].mipFilter = filters.mip;
    ASSERT_TRUE(SpritePathFor(state).accepted);

    std::vector<RasterVertex> vertices;
    for (const Quad& q : kQuads) {
        auto vertex = [&](float x, float y, float u, float v, Colour c) {
            return SpriteVertex(kWidth, kHeight, x, y, u / kAtlasWidth, v / kAtlasHeight, c);
        };
        const float bent = q.split == Split::BentCorner ? 3.0f : 0.0f;
        const Colour other{1.0f, 0.5f, 0.25f, 0.8f};
        const RasterVertex a = vertex(q.x, q.y, q.left, q.top, colour);
        const RasterVertex b = vertex(q.x + q.w, q.y, q.right, q.top, colour);
        const RasterVertex c = vertex(q.x, q.y + q.h, q.left, q.bottom, colour);
        const RasterVertex d = vertex(q.x + q.w, q.y + q.h, q.right + bent, q.bottom, colour);
        const RasterVertex b2 = vertex(q.x + q.w, q.y, q.right, q.top, other);
        const RasterVertex c2 = vertex(q.x, q.y + q.h, q.left, q.bottom, other);
        const RasterVertex d2 = vertex(q.x + q.w, q.y + q.h, q.right, q.bottom, other);
        switch (q.split) {
            case Split::OtherDiagonal: vertices.insert(vertices.end(), {a, b, d, a, d, c}); break;
            case Split::Overlapping: vertices.insert(vertices.end(), {a, b, c, a, b, d}); break;
            case Split::TwoColours: vertices.insert(vertices.end(), {a, b, c, c2, b2, d2}); break;
            default: vertices.insert(vertices.end(), {a, b, c, c, b, d}); break;
        }
    }
    std::vector<std::uint32_t> background(kWidth * kHeight);
    std::uint32_t seed = 99;
    for (std::uint32_t& p : background) {
        p = NextRandom(&seed);
    }
    auto draw = [&](RasterRoutes routes) {
        std::vector<std::uint32_t> pixels = background;
        RasterTarget target{pixels.data(), kWidth, kHeight, kWidth};
        DrawTriangles(state, vertices.data(), vertices.size() / 3, target, routes);
        return pixels;
    };
    const std::vector<std::uint32_t> fastest = draw(RasterRoutes::Fastest);
    const std::vector<std::uint32_t> general = draw(RasterRoutes::GeneralOnly);
    std::size_t changed = 0, differing = 0;
    for (std::size_t i = 0; i < background.size(); ++i) {
        changed += general[i] != background[i];
        if (fastest[i] != general[i] && differing++ < 3) {
            ADD_FAILURE() << "pixel (" << i % kWidth << ", " << i / kWidth << "): sprite path "
                          << std::hex << fastest[i] << ", general pipeline " << general[i];
        }
    }
    EXPECT_EQ(differing, 0u);
    if (alphaTest.func == D3DCMP_NEVER) {
        EXPECT_EQ(changed, 0u);
    } else {
        EXPECT_GT(changed, background.size() / 4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    BatcherStates, SpritePathEquivalenceTest,
    ::testing::Combine(
        ::testing::Bool(),
        ::testing::Values(AlphaTest{true, D3DCMP_GREATER, 0}, AlphaTest{false, D3DCMP_ALWAYS, 0},
                          AlphaTest{true, D3DCMP_GREATEREQUAL, 0x80},
                          AlphaTest{true, D3DCMP_GREATER, 0x60}, AlphaTest{true, D3DCMP_NEVER, 0}),
        ::testing::Values(Filters{D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_LINEAR},
                          Filters{D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_POINT},
                          Filters{D3DTEXF_ANISOTROPIC, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR},
                          Filters{D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE}),
        ::testing::Values(kWhite, Colour{0.5f, 0.75f, 1.0f, 0.6f})));

}  // namespace
