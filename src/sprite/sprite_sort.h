// Ordering of queued sprites: three total comparisons and an in-place heap
// sort over the index array, which needs no memory of its own.
#pragma once

#include <cstdint>

#include "vellorn/d3d9.h"

// Each returns -1 when sprite a goes first, +1 when b does; equal values go
// by index, the smaller first, so no two sprites compare equal.
struct TextureOrder {
    IDirect3DTexture9* const* textures;
    int operator()(std::uint32_t a, std::uint32_t b) const;
};
struct AscendingDepthOrder {
    const float* keys;
    int operator()(std::uint32_t a, std::uint32_t b) const;
};
struct DescendingDepthOrder {
    const float* keys;
    int operator()(std::uint32_t a, std::uint32_t b) const;
};

// Fills order with 0 ... count - 1 and sorts it so that the sprite going
// first comes first.
template <class Compare>
void SortSprites(std::uint32_t* order, std::uint32_t count, Compare compare) {
    for (std::uint32_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    auto siftDown = [&](std::uint32_t root, std::uint32_t end) {
        for (;;) {
            std::uint32_t child = 2 * root + 1;
            if (child >= end) {
                return;
            }
            if (child + 1 < end && compare(order[child + 1], order[child]) > 0) {
                ++child;
            }
            if (compare(order[child], order[root]) <= 0) {
                return;
            }
            const std::uint32_t swapped = order[root];
            order[root] = order[child];
            order[child] = swapped;
            root = child;
        }
    };
    for (std::uint32_t start = count / 2; start-- > 0;) {
        siftDown(start, count);
    }
    for (std::uint32_t end = count; end > 1; --end) {
        const std::uint32_t last = order[end - 1];
        order[end - 1] = order[0];
        order[0] = last;
        siftDown(0, end - 1);
    }
}
