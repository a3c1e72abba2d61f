// The extension-math operations the sprite batcher needs.
#include <cmath>
#include <cstring>

#include "vellorn/d3dx_math.h"

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX product;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            product.m[row][column] =
                m1->m[row][0] * m2->m[0][column] + m1->m[row][1] * m2->m[1][column] +
                m1->m[row][2] * m2->m[2][column] + m1->m[row][3] * m2->m[3][column];
        }
    }
    *out = product;
    return out;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    std::memset(out, 0, sizeof *out);
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    // Read the input first: out may alias v.
    const float x = v->x;
    const float y = v->y;
    const float z = v->z;
    const float w = x * m->_14 + y * m->_24 + z * m->_34 + m->_44;
    out->x = (x * m->_11 + y * m->_21 + z * m->_31 + m->_41) / w;
    out->y = (x * m->_12 + y * m->_22 + z * m->_32 + m->_42) / w;
    out->z = (x * m->_13 + y * m->_23 + z * m->_33 + m->_43) / w;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoordArray(D3DXVECTOR3* out, UINT outStride, const D3DXVECTOR3* in,
                                         UINT inStride, const D3DXMATRIX* m, UINT n) {
    auto* target = reinterpret_cast<unsigned char*>(out);
    const auto* source = reinterpret_cast<const unsigned char*>(in);
    for (UINT i = 0; i < n; ++i) {
        D3DXVECTOR3 point;
        std::memcpy(&point, source + static_cast<size_t>(i) * inStride, sizeof point);
        D3DXVec3TransformCoord(&point, &point, m);
        std::memcpy(target + static_cast<size_t>(i) * outStride, &point, sizeof point);
    }
    return out;
}

float D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    return a->x * b->x + a->y * b->y + a->z * b->z;
}
