// The sprite span: fills rows of triangles and rectangles in a state the
// sprite path accepts (texture times a constant diffuse colour, source-alpha
// blending, clamped addressing) by fetching runs of texels, or reading them
// in place, and blending them over the target in bulk.
#pragma once

#include <cstdint>

#include "runtime/d3d9/raster_context.h"

namespace vellorn_d3d9 {

// How the span fills one triangle of an accepted draw; None leaves the
// triangle to the general pipeline.
enum class SpriteFill { None, Point, Linear };

SpriteFill SpriteFillFor(const DrawContext& ctx, const Shading& sh);

// Fills count pixels from dst on one row; u and v are the fixed-point texture
// coordinates of the first pixel.
void SpriteSpan(const DrawContext& ctx, const Shading& sh, SpriteFill fill, std::uint32_t* dst,
                int count, std::int64_t u, std::int64_t v);

// Fills rows rows of count pixels from dst, pitch pixels apart; u and v are
// the coordinates of the first pixel, and each row starts sh.duy and sh.dvy
// further on.
void SpriteRectangle(const DrawContext& ctx, const Shading& sh, SpriteFill fill, std::uint32_t* dst,
                     std::size_t pitch, int count, int rows, std::int64_t u, std::int64_t v);

}  // namespace vellorn_d3d9
