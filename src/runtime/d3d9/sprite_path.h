// The rasteriser's choice of route for a draw: which draw states the sprite
// span accepts. The span is exact: for every state it accepts, it writes the
// same bytes as the general pixel pipeline.
#pragma once

#include "runtime/d3d9/rasterizer.h"

namespace vellorn_d3d9 {

struct SpritePath {
    bool accepted = false;
};

// Whether the sprite span serves draws in state: one texture stage that
// multiplies the texture by the diffuse colour, source-alpha blending over
// the whole pixel, clamped addressing.
SpritePath SpritePathFor(const RasterState& state);

}  // namespace vellorn_d3d9
