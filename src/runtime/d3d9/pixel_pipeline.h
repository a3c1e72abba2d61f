// The general pixel pipeline: fixed-function texture stages 0 and 1 on the
// sampled texels and the diffuse colour, the alpha test, alpha blending and
// the colour write mask, one pixel at a time. Every state the device offers
// runs through here; the sprite span is a faster route to the same bytes for
// the states it accepts.
#pragma once

#include <cstdint>

#include "runtime/d3d9/raster_context.h"

namespace vellorn_d3d9 {

// Whether a stage argument reads the stage's texture.
bool ArgReadsTexture(DWORD arg);

// The colour write mask (red, green, blue and alpha bits) as a mask of the
// packed word.
std::uint32_t WriteMask(const RasterState& state);

// Shades pixels x0..x1 of row py of an affine triangle; row points at x = 0
// and u, v are the fixed-point texture coordinates at x0.
void ShadeAffineSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* row, int x0, int x1,
                     int py, std::int64_t u, std::int64_t v);

// The same for a triangle with perspective: coordinates, colour and level of
// detail per pixel.
void ShadePerspectiveSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* row, int x0,
                          int x1, int py);

}  // namespace vellorn_d3d9
