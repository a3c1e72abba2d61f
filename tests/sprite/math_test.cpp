// The vector and matrix helpers: row-vector products, the division by w,
// strided arrays transformed in place, and aliasing of output and input.
#include <gtest/gtest.h>

#include <cstring>

#include "vellorn/d3dx_math.h"

namespace {

D3DXMATRIX Matrix(const float (&values)[16]) {
    D3DXMATRIX m;
    std::memcpy(m.m, values, sizeof values);
    return m;
}

// A translation by (1, 2, 3) followed by a projection whose w is z + 1.
const D3DXMATRIX kProjective = Matrix({1, 0, 0, 0,  //
                                       0, 1, 0, 0,  //
                                       0, 0, 1, 1,  //
                                       1, 2, 3, 1});

TEST(SpriteMath, TransformCoordDividesByW) {
    const struct {
        D3DXVECTOR3 in, out;
    } cases[] = {
        {{0, 0, 0}, {1, 2, 3}},       // w = 1
        {{3, 4, 1}, {2, 3, 2}},       // (4, 6, 4) / 2
        {{-1, -2, 3}, {0, 0, 1.5f}},  // (0, 0, 6) / 4
        {{2, 2, -0.5f}, {6, 8, 5}},   // (3, 4, 2.5) / 0.5
    };
    for (const auto& c : cases) {
        D3DXVECTOR3 out{};
        EXPECT_EQ(D3DXVec3TransformCoord(&out, &c.in, &kProjective), &out);
        EXPECT_FLOAT_EQ(out.x, c.out.x);
        EXPECT_FLOAT_EQ(out.y, c.out.y);
        EXPECT_FLOAT_EQ(out.z, c.out.z);
        D3DXVECTOR3 aliased = c.in;
        D3DXVec3TransformCoord(&aliased, &aliased, &kProjective);
        EXPECT_FLOAT_EQ(aliased.x, c.out.x);
        EXPECT_FLOAT_EQ(aliased.z, c.out.z);
    }
}

// Sprite corners are 24 bytes apart; the array form transforms their
// positions in place and leaves the bytes between them alone.
TEST(SpriteMath, TransformCoordArrayKeepsTheStride) {
    struct Corner {
        D3DXVECTOR3 position;
        float rest[3];
    } corners[3] = {{{0, 0, 0}, {7, 8, 9}}, {{3, 4, 1}, {7, 8, 9}}, {{2, 2, -0.5f}, {7, 8, 9}}};
    static_assert(sizeof(Corner) == 24);
    D3DXVec3TransformCoordArray(&corners[0].position, sizeof(Corner), &corners[0].position,
                                sizeof(Corner), &kProjective, 2);
    EXPECT_FLOAT_EQ(corners[0].position.y, 2.0f);
    EXPECT_FLOAT_EQ(corners[1].position.x, 2.0f);
    EXPECT_FLOAT_EQ(corners[1].position.z, 2.0f);
    EXPECT_FLOAT_EQ(corners[2].position.x, 2.0f) << "only n points are transformed";
    for (const Corner& corner : corners) {
        EXPECT_EQ(corner.rest[0], 7.0f);
        EXPECT_EQ(corner.rest[2], 9.0f);
    }
}

TEST(SpriteMath, MultiplyIsRowByColumnAndMayAlias) {
    const D3DXMATRIX a = Matrix({1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1});
    const D3DXMATRIX b = Matrix({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1});
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &a, &b);
    // Row 0: (1, 2, 0, 0) x b = (-2, 1, 0, 0); row 3: (5, 0, 0, 1) x b = (0, 5, 3, 1).
    EXPECT_FLOAT_EQ(product._11, -2.0f);
    EXPECT_FLOAT_EQ(product._12, 1.0f);
    EXPECT_FLOAT_EQ(product._41, 0.0f);
    EXPECT_FLOAT_EQ(product._42, 5.0f);
    EXPECT_FLOAT_EQ(product._43, 3.0f);
    D3DXMATRIX aliased = a;
    D3DXMatrixMultiply(&aliased, &aliased, &b);
    EXPECT_EQ(std::memcmp(&aliased, &product, sizeof product), 0);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixMultiply(&aliased, &identity, &a);
    EXPECT_EQ(std::memcmp(&aliased, &a, sizeof a), 0);
}

TEST(SpriteMath, LengthAndDot) {
    const D3DXVECTOR3 v = {2, -3, 6};
    const D3DXVECTOR3 w = {1, 4, 0.5f};
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 7.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&v, &w), -7.0f);
}

}  // namespace
