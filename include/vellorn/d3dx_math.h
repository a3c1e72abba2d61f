// The vector and matrix types and the few operations of the Direct3D
// extension math that the sprite batcher uses. Matrices hold row vectors
// multiplied on the left; _41, _42, _43 carry the translation.
#pragma once

#include "vellorn/d3d9_types.h"

struct D3DXVECTOR3 {
    float x;
    float y;
    float z;
};

struct D3DXMATRIX : D3DMATRIX {};

// out := m1 x m2. out may be either input.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);

// out := the identity.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);

// out := (v, 1) x m, divided by the resulting w. out may be v.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);

// The same for n points read every inStride bytes from in and written every
// outStride bytes to out; in and out may be the same array. Returns out.
D3DXVECTOR3* D3DXVec3TransformCoordArray(D3DXVECTOR3* out, UINT outStride, const D3DXVECTOR3* in,
                                         UINT inStride, const D3DXMATRIX* m, UINT n);

float D3DXVec3Length(const D3DXVECTOR3* v);
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
