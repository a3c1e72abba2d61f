// The software rasteriser: clips, sets up and fills triangles into an
// A8R8G8B8 or X8R8G8B8 render target with Direct3D 9 conventions (pixel
// centres at integer coordinates, top-left fill rule, texel centres at half
// integers), running fixed-function texture stages 0 and 1, sampling, alpha
// test, alpha blending and the colour write mask.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/d3d9/resources.h"
#include "vellorn/d3d9_types.h"

// A vertex after the world, view and projection transforms: clip-space
// position, diffuse colour (0..1 per channel) and texture coordinate 0.
struct RasterVertex {
    float x, y, z, w;
    float r, g, b, a;
    float u, v;
};

struct RasterTarget {
    std::uint32_t* pixels;  // A8R8G8B8 or X8R8G8B8
    UINT width;
    UINT height;
    UINT pitchPixels;
};

struct SamplerSettings {
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    D3DCOLOR borderColor = 0;
    DWORD magFilter = D3DTEXF_POINT;
    DWORD minFilter = D3DTEXF_POINT;
    DWORD mipFilter = D3DTEXF_NONE;
    float mipLodBias = 0.0f;
    DWORD maxMipLevel = 0;
};

struct StageSettings {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
};

// Everything a draw call needs besides its vertices.
struct RasterState {
    D3DVIEWPORT9 viewport;
    DWORD cullMode = D3DCULL_CCW;
    DWORD shadeMode = D3DSHADE_GOURAUD;
    bool alphaTestEnable = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    DWORD alphaRef = 0;
    bool alphaBlendEnable = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    DWORD blendOp = D3DBLENDOP_ADD;
    DWORD colorWriteEnable = 0xF;
    D3DCOLOR textureFactor = 0xFFFFFFFF;
    D3DCOLOR blendFactor = 0xFFFFFFFF;  // for D3DBLEND_BLENDFACTOR / INVBLENDFACTOR
    bool targetHasAlpha = true;         // false for X8R8G8B8: alpha writes 0xFF
    StageSettings stages[2];
    SamplerSettings samplers[2];
    // Levels of the texture bound to each stage, decoded for sampling; none
    // when no texture is bound to the stage.
    const SampledLevel* textureLevels[2] = {nullptr, nullptr};
    UINT textureLevelCount[2] = {0, 0};
};

// The routes a draw may take to the same bytes: the fastest one its state
// allows, or the general pixel pipeline alone (to compare the two).
enum class RasterRoutes { Fastest, GeneralOnly };

// Draws triangleCount triangles; vertices 3i, 3i+1, 3i+2 form triangle i.
void DrawTriangles(const RasterState& state, const RasterVertex* vertices,
                   std::size_t triangleCount, RasterTarget& target,
                   RasterRoutes routes = RasterRoutes::Fastest);
