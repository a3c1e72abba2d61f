// Filling one clipped triangle: the snap to 1/256 pixel, culling, the exact
// edge walk with the top-left fill rule, interpolation setup, and the hand-over
// of each row to the sprite span or the general pixel pipeline.
#pragma once

#include <cstdint>

#include "runtime/d3d9/raster_context.h"

namespace vellorn_d3d9 {

// verts are three clip-space vertices inside the guard band; flatColor, when
// not null, is the colour of every pixel (flat shading).
void FillTriangle(const DrawContext& ctx, const RasterVertex* const* verts,
                  const std::uint32_t* flatColor);

// Fills two triangles in order, as one rectangle when they are the two
// halves of a sprite's quad and that writes the same bytes.
void FillTrianglePair(const DrawContext& ctx, const RasterVertex* const* first,
                      const std::uint32_t* firstFlat, const RasterVertex* const* second,
                      const std::uint32_t* secondFlat);

}  // namespace vellorn_d3d9
