// Helpers of the rasteriser tests: vertices placed in pixels as the sprite
// batcher places them, and textures with their levels.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/d3d9/rasterizer.h"

struct Colour {
    float r, g, b, a;
};
inline constexpr Colour kWhite{1, 1, 1, 1};

// The sprite projection onto a width x height target: pixel (x, y) to clip
// space with the half-pixel offset, so that pixel centres land on integer
// coordinates.
inline RasterVertex SpriteVertex(UINT width, UINT height, float x, float y, float u, float v,
                                 Colour c) {
    return {(x - 0.5f) * 2.0f / static_cast<float>(width) - 1.0f,
            1.0f - (y - 0.5f) * 2.0f / static_cast<float>(height),
            0.5f,
            1.0f,
            c.r,
            c.g,
            c.b,
            c.a,
            u,
            v};
}

// A texture's levels with the storage they point into.
struct Texture {
    std::vector<std::vector<std::uint32_t>> data;
    std::vector<std::pair<UINT, UINT>> sizes;
    std::vector<SampledLevel> levels;
    void AddLevel(UINT w, UINT h, std::vector<std::uint32_t> texels) {
        data.push_back(std::move(texels));
        sizes.push_back({w, h});
        levels.clear();
        for (std::size_t i = 0; i < data.size(); ++i) {
            levels.push_back({data[i].data(), sizes[i].first, sizes[i].second});
        }
    }
};
