// The area a lock takes of a surface or volume: the caller's box widened to
// whole storage units, and boxes expressed relative to that area.
#pragma once

#include <algorithm>
#include <cstdint>

#include "pixel/format_groups.h"
#include "pixel/surface_desc.h"

// Widens box, inside a width x height surface or slice of format, to the
// units the format is stored in: 4 x 4 blocks for the block formats (left and
// top down, right and bottom up to multiples of 4), even left and right edges
// for the pair formats; the widened edges are limited to the surface. Front
// and back, and the boxes of other formats, stay as they are.
constexpr PixelBox WidenToStorageUnits(D3DFORMAT format, UINT width, UINT height, PixelBox box) {
    const auto roundUp = [](UINT edge, std::uint64_t unit, UINT limit) {
        const std::uint64_t rounded = (std::uint64_t{edge} + unit - 1) / unit * unit;
        return static_cast<UINT>(std::min<std::uint64_t>(rounded, limit));
    };
    if (IsBlockFormat(format)) {
        box.left -= box.left % 4;
        box.top -= box.top % 4;
        box.right = roundUp(box.right, 4, width);
        box.bottom = roundUp(box.bottom, 4, height);
    } else if (IsPairFormat(format)) {
        box.left -= box.left % 2;
        box.right = roundUp(box.right, 2, width);
    }
    return box;
}

// box relative to origin's corner (left, top, front).
constexpr PixelBox Rebased(const PixelBox& box, const PixelBox& origin) {
    return PixelBox{box.left - origin.left,  box.top - origin.top,     box.right - origin.left,
                    box.bottom - origin.top, box.front - origin.front, box.back - origin.front};
}
