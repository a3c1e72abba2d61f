// Texture sampling for the rasteriser: address modes, point and linear
// filtering on packed A8R8G8B8 texels, and mip level choice from the
// level-of-detail. Texture coordinates arrive in fixed point (normalised
// coordinate times 2^32) so that stepping across a span is exact and the
// results do not depend on the order of evaluation.
#pragma once

#include <cstdint>

#include "runtime/d3d9/rasterizer.h"

namespace vellorn_d3d9 {

inline constexpr double kCoordScale = 4294967296.0;  // 2^32

// The sampler of one stage for one draw.
struct SamplerSetup {
    const SampledLevel* levels = nullptr;
    int levelCount = 0;
    SamplerSettings settings;
};

// What a level-of-detail value resolves to: the level (or the two levels to
// blend) and the filter to use within the level.
struct LodChoice {
    int level = 0;
    int nextLevel = 0;
    std::uint32_t nextWeight = 0;  // 0..256: weight of nextLevel
    DWORD filter = D3DTEXF_POINT;  // point or linear
};

// log2 of the largest texel-space derivative at level 0 from the derivatives
// of the normalised coordinates along x and y; very small when they vanish.
float Lambda(const SamplerSetup& sampler, double dudx, double dvdx, double dudy, double dvdy);

// lambda is log2 of the largest texel-space derivative at level 0 (before the
// bias is added).
LodChoice ChooseLod(const SamplerSetup& sampler, float lambda);

// Maps an integer texel index into [0, size) by the address mode; -1 means
// the border colour.
int AddressTexel(int index, int size, DWORD mode);

std::uint32_t SampleLevel(const SampledLevel& level, const SamplerSettings& settings, DWORD filter,
                          std::int64_t u, std::int64_t v);

std::uint32_t Sample(const SamplerSetup& sampler, const LodChoice& lod, std::int64_t u,
                     std::int64_t v);

// Per-channel linear interpolation of two packed colours; weight 0..256 is
// the weight of b. Rounds to nearest.
inline std::uint32_t LerpPacked(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
    const std::uint32_t inv = 256 - weight;
    const std::uint32_t rb =
        (((a & 0x00FF00FFu) * inv + (b & 0x00FF00FFu) * weight + 0x00800080u) >> 8) & 0x00FF00FFu;
    const std::uint32_t ag =
        ((((a >> 8) & 0x00FF00FFu) * inv + ((b >> 8) & 0x00FF00FFu) * weight + 0x00800080u) >> 8) &
        0x00FF00FFu;
    return rb | (ag << 8);
}

}  // namespace vellorn_d3d9
