// The settable state of a device: render, texture-stage and sampler states,
// transforms, viewport, bound resources and shaders. State blocks keep their
// recorded values in the same record.
#pragma once

#include <array>

#include "runtime/d3d9/device_child.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"

inline constexpr DWORD kRenderStateCount = 256;
inline constexpr DWORD kStageCount = 8;
inline constexpr DWORD kStageStateCount = 33;
inline constexpr DWORD kSamplerCount = 16;
inline constexpr DWORD kSamplerStateCount = 14;
// Transforms are kept by their type value: view, projection, the texture
// transforms and the 256 world matrices.
inline constexpr DWORD kTransformCount = 512;

struct DeviceState {
    std::array<DWORD, kRenderStateCount> renderStates{};
    std::array<std::array<DWORD, kStageStateCount>, kStageCount> stageStates{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplerCount> samplerStates{};
    std::array<D3DMATRIX, kTransformCount> transforms{};
    D3DVIEWPORT9 viewport{};
    std::array<Binding<IDirect3DBaseTexture9>, kSamplerCount> textures;
    Binding<IDirect3DVertexBuffer9> streamBuffer;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    Binding<IDirect3DIndexBuffer9> indices;
    Binding<IDirect3DVertexDeclaration9> declaration;
    ComPtr<IDirect3DVertexShader9> vertexShader;
    ComPtr<IDirect3DPixelShader9> pixelShader;
    float nPatchSegments = 0.0f;
};

// Direct3D 9's initial values; the viewport covers width x height.
void SetDefaultState(DeviceState& state, UINT width, UINT height, bool depthBuffer);

D3DMATRIX IdentityMatrix();
