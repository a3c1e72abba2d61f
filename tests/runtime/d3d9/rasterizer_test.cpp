#include "runtime/d3d9/rasterizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "raster_test_support.h"

namespace {

constexpr UINT kWidth = 160;
constexpr UINT kHeight = 120;

// The sprite projection onto this test's target.
RasterVertex PixelVertex(float x, float y, float u = 0, float v = 0, Colour c = kWhite) {
    return SpriteVertex(kWidth, kHeight, x, y, u, v, c);
}

// Clip-space vertex at pixel position (x, y) exactly (no half-pixel offset).
RasterVertex CentreVertex(float x, float y, Colour c = kWhite) {
    return {
        x * 2.0f / kWidth - 1.0f, 1.0f - y * 2.0f / kHeight, 0.5f, 1.0f, c.r, c.g, c.b, c.a, 0, 0};
}

void AddQuad(std::vector<RasterVertex>& out, float x, float y, float w, float h, float u0 = 0,
             float v0 = 0, float u1 = 1, float v1 = 1, Colour c = kWhite) {
    const RasterVertex a = PixelVertex(x, y, u0, v0, c), b = PixelVertex(x + w, y, u1, v0, c);
    const RasterVertex d = PixelVertex(x, y + h, u0, v1, c),
                       e = PixelVertex(x + w, y + h, u1, v1, c);
    out.insert(out.end(), {a, b, d, d, b, e});
}

class RasterizerTest : public ::testing::Test {
  protected:
    RasterizerTest() : pixels(kWidth * kHeight, kClear) {
        target = {pixels.data(), kWidth, kHeight, kWidth};
        state.viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
        state.cullMode = D3DCULL_NONE;
        state.stages[0] = {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE,
                           D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE};
    }
    void Bind(const Texture& t, int stage = 0) {
        state.textureLevels[stage] = t.levels.data();
        state.textureLevelCount[stage] = static_cast<UINT>(t.levels.size());
    }
    void Draw(const std::vector<RasterVertex>& v) {
        DrawTriangles(state, v.data(), v.size() / 3, target);
    }
    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * kWidth + x];
    }
    void UseDiffuseOnly() {
        state.stages[0] = {D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT,
                           D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT};
    }

    static constexpr std::uint32_t kClear = 0xFF000000u;
    std::vector<std::uint32_t> pixels;
    RasterTarget target{};
    RasterState state;
};

std::uint32_t PatternTexel(UINT x, UINT y) {
    return 0xFF000000u | (x * 7 << 16) | (y * 5 << 8) | ((x ^ y) * 3);
}

Texture Pattern32() {
    Texture t;
    std::vector<std::uint32_t> texels(32 * 32);
    for (UINT y = 0; y < 32; ++y)
        for (UINT x = 0; x < 32; ++x)
            texels[y * 32 + x] = PatternTexel(x, y);
    t.AddLevel(32, 32, texels);
    return t;
}

class PixelQuadTest : public RasterizerTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(PixelQuadTest, CoversExactlyItsPixelsAndReproducesTexels) {
    const Texture tex = Pattern32();
    Bind(tex);
    state.samplers[0].minFilter = GetParam();
    state.samplers[0].magFilter = GetParam();
    std::vector<RasterVertex> v;
    AddQuad(v, 100, 50, 32, 32);
    Draw(v);
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
        for (int x = 0; x < static_cast<int>(kWidth); ++x) {
            const bool inside = x >= 100 && x <= 131 && y >= 50 && y <= 81;
            const std::uint32_t expected = inside ? PatternTexel(x - 100, y - 50) : kClear;
            ASSERT_EQ(At(x, y), expected) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Filters, PixelQuadTest,
                         ::testing::Values(D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC));

TEST_F(RasterizerTest, SharedEdgesThroughPixelCentresDrawEachPixelOnce) {
    UseDiffuseOnly();
    state.alphaBlendEnable = true;
    state.srcBlend = D3DBLEND_ONE;
    state.destBlend = D3DBLEND_ONE;
    std::fill(pixels.begin(), pixels.end(), 0u);
    const Colour one{1.0f / 255, 0, 0, 0};
    // A square from centre (10,10) to centre (30,30), cut into four
    // triangles around its centre and, separately, two around a diagonal.
    const RasterVertex a = CentreVertex(10, 10, one), b = CentreVertex(30, 10, one);
    const RasterVertex c = CentreVertex(30, 30, one), d = CentreVertex(10, 30, one);
    const RasterVertex m = CentreVertex(20, 20, one);
    Draw({a, b, m, b, c, m, c, d, m, d, a, m});
    const RasterVertex e = CentreVertex(50, 10, one), f = CentreVertex(70, 10, one);
    const RasterVertex g = CentreVertex(70, 30, one), h = CentreVertex(50, 30, one);
    Draw({e, f, h, h, f, g});
    // A slanted shared edge through several centres.
    const RasterVertex p = CentreVertex(90, 10, one), q = CentreVertex(110, 30, one);
    const RasterVertex r = CentreVertex(90, 30, one), s = CentreVertex(110, 10, one);
    Draw({p, q, r, p, s, q});
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
        for (int x = 0; x < static_cast<int>(kWidth); ++x) {
            const bool inY = y >= 10 && y < 30;
            const bool inside =
                inY && ((x >= 10 && x < 30) || (x >= 50 && x < 70) || (x >= 90 && x < 110));
            ASSERT_EQ(At(x, y), inside ? 0x00010000u : 0u) << x << "," << y;
        }
    }
}

TEST_F(RasterizerTest, JitteredMeshCoversItsRectangleExactlyOnce) {
    UseDiffuseOnly();
    state.alphaBlendEnable = true;
    state.srcBlend = D3DBLEND_ONE;
    state.destBlend = D3DBLEND_ONE;
    std::fill(pixels.begin(), pixels.end(), 0u);
    const Colour one{1.0f / 255, 0, 0, 0};
    constexpr int kColumns = 6, kRows = 5;
    const float x0 = 10, y0 = 10, cellW = 20, cellH = 18;
    std::uint32_t seed = 4242;
    auto jitter = [&seed](float range) {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f) * range;
    };
    // Inner vertices move by up to a third of a cell; the outline stays on
    // pixel centres.
    std::vector<RasterVertex> grid;
    for (int r = 0; r <= kRows; ++r) {
        for (int c = 0; c <= kColumns; ++c) {
            float x = x0 + c * cellW, y = y0 + r * cellH;
            if (c > 0 && c < kColumns)
                x += jitter(cellW / 1.5f);
            if (r > 0 && r < kRows)
                y += jitter(cellH / 1.5f);
            grid.push_back(CentreVertex(x, y, one));
        }
    }
    auto at = [&](int c, int r) { return grid[static_cast<std::size_t>(r * (kColumns + 1) + c)]; };
    std::vector<RasterVertex> v;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const RasterVertex a = at(c, r), b = at(c + 1, r), d = at(c, r + 1),
                               e = at(c + 1, r + 1);
            if ((r + c) % 2 == 0) {
                v.insert(v.end(), {a, b, e, a, d, e});  // one triangle of each winding
            } else {
                v.insert(v.end(), {a, b, d, e, d, b});
            }
        }
    }
    Draw(v);
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
        for (int x = 0; x < static_cast<int>(kWidth); ++x) {
            const bool inside = x >= 10 && x < 130 && y >= 10 && y < 100;
            ASSERT_EQ(At(x, y), inside ? 0x00010000u : 0u) << x << "," << y;
        }
    }
}

struct CullCase {
    DWORD cullMode;
    bool clockwise;
    bool drawn;
};

class CullTest : public RasterizerTest, public ::testing::WithParamInterface<CullCase> {};

TEST_P(CullTest, CullsByScreenWinding) {
    UseDiffuseOnly();
    state.cullMode = GetParam().cullMode;
    const RasterVertex a = PixelVertex(10, 10), b = PixelVertex(40, 10), c = PixelVertex(10, 40);
    if (GetParam().clockwise) {
        Draw({a, b, c});
    } else {
        Draw({a, c, b});
    }
    EXPECT_EQ(At(15, 15), GetParam().drawn ? 0xFFFFFFFFu : kClear);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CullTest,
    ::testing::Values(CullCase{D3DCULL_NONE, true, true}, CullCase{D3DCULL_NONE, false, true},
                      CullCase{D3DCULL_CCW, true, true}, CullCase{D3DCULL_CCW, false, false},
                      CullCase{D3DCULL_CW, true, false}, CullCase{D3DCULL_CW, false, true}));

TEST_F(RasterizerTest, NearAndFarPlanesClipAlongDepth) {
    UseDiffuseOnly();
    // A full-target quad whose depth runs from -1 at the left to 2 at the
    // right: only 0 <= z <= 1, the middle third of the columns, remains.
    auto vert = [](float x, float y, float z) {
        return RasterVertex{x, y, z, 1.0f, 1, 1, 1, 1, 0, 0};
    };
    const RasterVertex a = vert(-1, 1, -1), b = vert(1, 1, 2), c = vert(-1, -1, -1),
                       d = vert(1, -1, 2);
    Draw({a, b, c, c, b, d});
    // z = 0 at x = 53.33, z = 1 at x = 106.67
    for (int x = 0; x < static_cast<int>(kWidth); ++x) {
        const bool drawn = x >= 54 && x <= 106;
        EXPECT_EQ(At(x, 60), drawn ? 0xFFFFFFFFu : kClear) << x;
    }
}

TEST_F(RasterizerTest, TriangleCrossingTheEyePlaneDrawsOnlyTheVisiblePart) {
    UseDiffuseOnly();
    // Perspective-style vertices: one behind the eye (w < 0).
    const RasterVertex a{-0.5f, -0.5f, 0.5f, 1.0f, 1, 1, 1, 1, 0, 0};
    const RasterVertex b{0.5f, -0.5f, 0.5f, 1.0f, 1, 1, 1, 1, 0, 0};
    const RasterVertex c{0.0f, 1.5f, -1.5f, -1.0f, 1, 1, 1, 1, 0, 0};
    Draw({a, b, c});
    // The near plane cuts a -> c and b -> c a quarter of the way along, at
    // screen (20, 60) and (140, 60): what remains is the trapezoid
    // (40, 90), (120, 90), (140, 60), (20, 60), widening upwards.
    EXPECT_EQ(At(80, 89), 0xFFFFFFFFu);
    EXPECT_EQ(At(80, 90), kClear);       // bottom edge through the centres
    EXPECT_EQ(At(80, 60), 0xFFFFFFFFu);  // top edge through the centres
    EXPECT_EQ(At(80, 59), kClear);
    EXPECT_EQ(At(135, 62), 0xFFFFFFFFu);
    EXPECT_EQ(At(10, 75), kClear);
    EXPECT_EQ(At(80, 20), kClear);
}

TEST_F(RasterizerTest, HugeTriangleIsClippedToTheGuardBandAndFillsTheTarget) {
    UseDiffuseOnly();
    const RasterVertex a{-1e6f, -1e6f, 0.5f, 1, 1, 1, 1, 1, 0, 0};
    const RasterVertex b{1e6f, -1e6f, 0.5f, 1, 1, 1, 1, 1, 0, 0};
    const RasterVertex c{0.0f, 1e6f, 0.5f, 1, 1, 1, 1, 1, 0, 0};
    Draw({a, b, c});
    for (std::uint32_t p : pixels)
        ASSERT_EQ(p, 0xFFFFFFFFu);
}

TEST_F(RasterizerTest, TriangleFarOffScreenDrawsNothing) {
    UseDiffuseOnly();
    Draw({PixelVertex(5000, 10), PixelVertex(5040, 10), PixelVertex(5000, 40)});
    Draw({PixelVertex(-500, -500), PixelVertex(-400, -500), PixelVertex(-500, -400)});
    for (std::uint32_t p : pixels)
        ASSERT_EQ(p, kClear);
}

TEST_F(RasterizerTest, ViewportScissorsAndMaps) {
    UseDiffuseOnly();
    state.viewport = {20, 10, 40, 30, 0.0f, 1.0f};
    const RasterVertex a{-1, 1, 0.5f, 1, 1, 1, 1, 1, 0, 0}, b{3, 1, 0.5f, 1, 1, 1, 1, 1, 0, 0};
    const RasterVertex c{-1, -3, 0.5f, 1, 1, 1, 1, 1, 0, 0};
    Draw({a, b, c});
    EXPECT_EQ(At(20, 10), 0xFFFFFFFFu);
    EXPECT_EQ(At(59, 39), 0xFFFFFFFFu);
    EXPECT_EQ(At(60, 39), kClear);
    EXPECT_EQ(At(59, 40), kClear);
    EXPECT_EQ(At(19, 10), kClear);
}

struct BlendCase {
    DWORD src, dst, op;
    std::uint32_t source, destination, expected;
};

class BlendTest : public RasterizerTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(BlendTest, CombinesSourceAndDestination) {
    const BlendCase& c = GetParam();
    state.stages[0] = {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
                       D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT};
    state.textureFactor = c.source;
    state.alphaBlendEnable = true;
    state.srcBlend = c.src;
    state.destBlend = c.dst;
    state.blendOp = c.op;
    state.blendFactor = 0x40808080u;
    std::fill(pixels.begin(), pixels.end(), c.destination);
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4);
    Draw(v);
    EXPECT_EQ(At(5, 5), c.expected);
    EXPECT_EQ(At(0, 0), c.destination);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, BlendTest,
    ::testing::Values(BlendCase{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD,
                                0x80FF0000u, 0xFF0000FFu, 0xBF80007Fu},
                      BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, 0x80C01020u,
                                0x80801020u, 0xFFFF2040u},
                      BlendCase{D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFFFFFFFFu,
                                0xFFFFFFFFu, 0},
                      BlendCase{D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0x12345678u,
                                0xFFFFFFFFu, 0x12345678u},
                      BlendCase{D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFF808080u,
                                0xFF80FF00u, 0xFF408000u},
                      BlendCase{D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD,
                                0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u},
                      BlendCase{D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD,
                                0xFFFF0000u, 0x0000FF00u, 0x0000FF00u},
                      BlendCase{D3DBLEND_SRCALPHASAT, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xFFFF0000u,
                                0xC0000000u, 0xFF3F0000u},
                      BlendCase{D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0x80FF0000u,
                                0xFF0000FFu, 0xBF80007Fu},
                      BlendCase{D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD,
                                0x80FF0000u, 0xFF0000FFu, 0xC07F0080u},
                      BlendCase{D3DBLEND_BLENDFACTOR, D3DBLEND_INVBLENDFACTOR, D3DBLENDOP_ADD,
                                0xFFFFFFFFu, 0x00000000u, 0x40808080u},
                      BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT, 0xFF804020u,
                                0x80408030u, 0x7F400000u},
                      BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0xFF804020u,
                                0x80408030u, 0x00004010u},
                      BlendCase{D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MIN, 0xFF804020u,
                                0x80408030u, 0x80404020u},
                      BlendCase{D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MAX, 0xFF804020u,
                                0x80408030u, 0xFF808030u}));

struct AlphaTestCase {
    DWORD func;
    std::uint32_t alpha;
    bool passes;
};

class AlphaTestTest : public RasterizerTest, public ::testing::WithParamInterface<AlphaTestCase> {};

TEST_P(AlphaTestTest, ComparesPixelAlphaWithReference) {
    state.stages[0] = {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
                       D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT};
    state.textureFactor = (GetParam().alpha << 24) | 0x00FFFFFFu;
    state.alphaTestEnable = true;
    state.alphaFunc = GetParam().func;
    state.alphaRef = 0x80;
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4);
    Draw(v);
    EXPECT_EQ(At(5, 5), GetParam().passes ? state.textureFactor : kClear);
}

INSTANTIATE_TEST_SUITE_P(
    Functions, AlphaTestTest,
    ::testing::Values(
        AlphaTestCase{D3DCMP_NEVER, 0x80, false}, AlphaTestCase{D3DCMP_ALWAYS, 0x00, true},
        AlphaTestCase{D3DCMP_LESS, 0x7F, true}, AlphaTestCase{D3DCMP_LESS, 0x80, false},
        AlphaTestCase{D3DCMP_EQUAL, 0x80, true}, AlphaTestCase{D3DCMP_EQUAL, 0x81, false},
        AlphaTestCase{D3DCMP_LESSEQUAL, 0x80, true}, AlphaTestCase{D3DCMP_LESSEQUAL, 0x81, false},
        AlphaTestCase{D3DCMP_GREATER, 0x81, true}, AlphaTestCase{D3DCMP_GREATER, 0x80, false},
        AlphaTestCase{D3DCMP_NOTEQUAL, 0x80, false}, AlphaTestCase{D3DCMP_NOTEQUAL, 0x00, true},
        AlphaTestCase{D3DCMP_GREATEREQUAL, 0x80, true},
        AlphaTestCase{D3DCMP_GREATEREQUAL, 0x7F, false}));

struct StageCase {
    StageSettings stage;
    std::uint32_t expected;
};

class StageOpTest : public RasterizerTest, public ::testing::WithParamInterface<StageCase> {};

TEST_P(StageOpTest, CombinesTextureAndDiffuse) {
    Texture tex;
    tex.AddLevel(1, 1, {0x80FF8040u});
    Bind(tex);
    state.stages[0] = GetParam().stage;
    state.textureFactor = 0x20202020u;
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4, 0, 0, 1, 1, Colour{0.5f, 1.0f, 0.25f, 0.5f});  // diffuse 0x8080FF40
    Draw(v);
    EXPECT_EQ(At(5, 5), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, StageOpTest,
    ::testing::Values(StageCase{{D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
                                 D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x40808010u},
                      StageCase{{D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2,
                                 D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x80FF8040u},
                      StageCase{{D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
                                 D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x8080FF40u},
                      StageCase{{D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
                                 D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x80FFFF20u},
                      StageCase{{D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_ADD,
                                 D3DTA_TEXTURE, D3DTA_TFACTOR},
                                0xA0FFA060u},
                      StageCase{{D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE,
                                 D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x80007FBFu},
                      StageCase{{D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE,
                                 D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x80808080u},
                      // a disabled first stage passes the diffuse colour through
                      StageCase{{D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE,
                                 D3DTA_TEXTURE, D3DTA_DIFFUSE},
                                0x8080FF40u}));

TEST_F(RasterizerTest, SecondStageModulatesWithItsOwnTextureOnlyWhenEnabled) {
    Texture t0, t1;
    t0.AddLevel(1, 1, {0xFFFF8040u});
    t1.AddLevel(1, 1, {0x80808080u});
    Bind(t0, 0);
    Bind(t1, 1);
    state.stages[1] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT,
                       D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT};
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4);
    Draw(v);
    EXPECT_EQ(At(5, 5), 0x80804020u);
    state.stages[1].colorOp = D3DTOP_DISABLE;
    Draw(v);
    EXPECT_EQ(At(5, 5), 0xFFFF8040u);
}

struct AddressCase {
    DWORD mode;
    std::uint32_t expected[12];
};

class AddressModeTest : public RasterizerTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressModeTest, AddressesTexelsOutsideTheTexture) {
    Texture tex;
    tex.AddLevel(4, 1, {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u});
    Bind(tex);
    state.samplers[0].addressU = GetParam().mode;
    state.samplers[0].addressV = D3DTADDRESS_CLAMP;
    state.samplers[0].borderColor = 0xFF0000FFu;
    std::vector<RasterVertex> v;
    AddQuad(v, 10, 10, 12, 1, -1.0f, 0.0f, 2.0f, 1.0f);  // one texel per pixel, u from -1 to 2
    Draw(v);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(At(10 + i, 10), GetParam().expected[i]) << i;
    }
}

constexpr std::uint32_t T1 = 0xFF000001u, T2 = 0xFF000002u, T3 = 0xFF000003u, T4 = 0xFF000004u,
                        B = 0xFF0000FFu;
INSTANTIATE_TEST_SUITE_P(
    Modes, AddressModeTest,
    ::testing::Values(
        AddressCase{D3DTADDRESS_WRAP, {T1, T2, T3, T4, T1, T2, T3, T4, T1, T2, T3, T4}},
        AddressCase{D3DTADDRESS_CLAMP, {T1, T1, T1, T1, T1, T2, T3, T4, T4, T4, T4, T4}},
        AddressCase{D3DTADDRESS_MIRROR, {T4, T3, T2, T1, T1, T2, T3, T4, T4, T3, T2, T1}},
        AddressCase{D3DTADDRESS_BORDER, {B, B, B, B, T1, T2, T3, T4, B, B, B, B}},
        AddressCase{D3DTADDRESS_MIRRORONCE, {T4, T3, T2, T1, T1, T2, T3, T4, T4, T4, T4, T4}}));

TEST_F(RasterizerTest, LinearFilterBlendsNeighbouringTexelsAtHalfOffsets) {
    Texture tex;
    tex.AddLevel(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    Bind(tex);
    state.samplers[0].magFilter = D3DTEXF_LINEAR;
    state.samplers[0].addressU = D3DTADDRESS_CLAMP;
    std::vector<RasterVertex> v;
    AddQuad(v, 10, 10, 4, 1);  // two pixels per texel
    Draw(v);
    // texel coordinates 0.25, 0.75, 1.25, 1.75 -> weights 0, 0.25, 0.75, 1
    EXPECT_EQ(At(10, 10), 0xFF000000u);
    EXPECT_EQ(At(11, 10), 0xFF404040u);
    EXPECT_EQ(At(12, 10), 0xFFBFBFBFu);
    EXPECT_EQ(At(13, 10), 0xFFFFFFFFu);
}

Texture MipLevels() {
    Texture tex;
    const std::uint32_t colours[] = {0xFF000010u, 0xFF000020u, 0xFF000030u, 0xFF000040u,
                                     0xFF000050u, 0xFF000060u, 0xFF000070u};
    for (UINT level = 0; level < 7; ++level) {
        const UINT size = 64u >> level;
        tex.AddLevel(size, size, std::vector<std::uint32_t>(size * size, colours[level]));
    }
    return tex;
}

struct MipCase {
    float quadSize;
    DWORD maxMipLevel;
    float bias;
    std::uint32_t expected;
};

class MipSelectionTest : public RasterizerTest, public ::testing::WithParamInterface<MipCase> {};

TEST_P(MipSelectionTest, ChoosesLevelFromScreenDerivatives) {
    const Texture tex = MipLevels();
    Bind(tex);
    state.samplers[0].minFilter = D3DTEXF_LINEAR;
    state.samplers[0].magFilter = D3DTEXF_LINEAR;
    state.samplers[0].mipFilter = D3DTEXF_POINT;
    state.samplers[0].maxMipLevel = GetParam().maxMipLevel;
    state.samplers[0].mipLodBias = GetParam().bias;
    std::vector<RasterVertex> v;
    AddQuad(v, 10, 10, GetParam().quadSize, GetParam().quadSize);
    Draw(v);
    EXPECT_EQ(At(12, 12), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, MipSelectionTest,
                         ::testing::Values(MipCase{16, 0, 0.0f, 0xFF000030u},   // 1/4 size: level 2
                                           MipCase{64, 0, 0.0f, 0xFF000010u},   // one to one
                                           MipCase{100, 0, 0.0f, 0xFF000010u},  // magnified
                                           MipCase{100, 3, 0.0f, 0xFF000040u},
                                           MipCase{16, 3, 0.0f, 0xFF000040u},
                                           MipCase{32, 0, 1.0f, 0xFF000030u},
                                           MipCase{16, 0, -1.0f, 0xFF000020u},
                                           MipCase{4, 0, 0.0f, 0xFF000050u}));

TEST_F(RasterizerTest, ColourWriteMaskKeepsDisabledChannels) {
    UseDiffuseOnly();
    state.colorWriteEnable = D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA;
    std::fill(pixels.begin(), pixels.end(), 0x11223344u);
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4, 0, 0, 1, 1, Colour{1, 1, 1, 0});
    Draw(v);
    EXPECT_EQ(At(5, 5), 0x00FF3344u);
}

TEST_F(RasterizerTest, TargetWithoutAlphaWritesOpaqueAlpha) {
    UseDiffuseOnly();
    state.targetHasAlpha = false;
    state.alphaBlendEnable = true;
    state.srcBlend = D3DBLEND_INVDESTALPHA;  // reads 0 from a target without alpha
    state.destBlend = D3DBLEND_ONE;
    std::fill(pixels.begin(), pixels.end(), 0x00102030u);
    std::vector<RasterVertex> v;
    AddQuad(v, 4, 4, 4, 4, 0, 0, 1, 1, Colour{1, 1, 1, 0.25f});
    Draw(v);
    EXPECT_EQ(At(5, 5), 0xFF102030u);
}

TEST_F(RasterizerTest, NonFiniteOrOversizedInputDrawsNothing) {
    UseDiffuseOnly();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    RasterVertex a = PixelVertex(10, 10), b = PixelVertex(40, 10), c = PixelVertex(10, 40);
    a.x = nan;
    Draw({a, b, c});
    a = PixelVertex(10, 10);
    b.w = inf;
    Draw({a, b, c});
    b = PixelVertex(40, 10);
    state.viewport = {0, 0, 0x80000000u, 0x80000000u, 0.0f, 1.0f};
    Draw({a, b, c});
    for (std::uint32_t p : pixels)
        ASSERT_EQ(p, kClear);
    // a NaN colour still draws, as black
    state.viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
    std::fill(pixels.begin(), pixels.end(), 0x12345678u);
    for (RasterVertex* p : {&a, &b, &c})
        p->r = p->g = p->b = nan;
    Draw({a, b, c});
    EXPECT_EQ(At(12, 12), 0xFF000000u);
    EXPECT_EQ(At(50, 50), 0x12345678u);
}

TEST_F(RasterizerTest, FlatShadingUsesFirstVertexColour) {
    UseDiffuseOnly();
    state.shadeMode = D3DSHADE_FLAT;
    const RasterVertex a = PixelVertex(10, 10, 0, 0, Colour{1, 0, 0, 1});
    const RasterVertex b = PixelVertex(40, 10, 0, 0, Colour{0, 1, 0, 1});
    const RasterVertex c = PixelVertex(10, 40, 0, 0, Colour{0, 0, 1, 1});
    Draw({a, b, c});
    EXPECT_EQ(At(11, 11), 0xFFFF0000u);
    EXPECT_EQ(At(30, 12), 0xFFFF0000u);
    state.shadeMode = D3DSHADE_GOURAUD;
    Draw({a, b, c});
    EXPECT_NE(At(30, 12), 0xFFFF0000u);
}

TEST_F(RasterizerTest, TextureCoordinatesArePerspectiveCorrect) {
    Texture tex;
    tex.AddLevel(4, 1, {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u});
    Bind(tex);
    // Left edge at w = 1, right edge at w = 3, spanning the target width.
    auto vert = [](float sx, float sy, float w, float u) {
        return RasterVertex{sx * w, sy * w, 0.5f * w, w, 1, 1, 1, 1, u, 0};
    };
    const RasterVertex a = vert(-1, 1, 1, 0), b = vert(1, 1, 3, 1), c = vert(-1, -1, 1, 0),
                       d = vert(1, -1, 3, 1);
    Draw({a, b, c, c, b, d});
    // At 60% of the width the perspective-correct u is about 0.34 (texel 1);
    // affine interpolation would give 0.6 (texel 2).
    EXPECT_EQ(At(96, 60), 0xFF000002u);
    EXPECT_EQ(At(1, 60), 0xFF000001u);
    EXPECT_EQ(At(159, 60), 0xFF000004u);
}

}  // namespace
