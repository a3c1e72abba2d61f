// The rasteriser's choice of route for a draw: which draw states the sprite
// span accepts. The span is exact: for every state it accepts, it writes the
// same bytes as the general pixel pipeline.
#pragma once

#include "runtime/d3d9/rasterizer.h"

namespace vellorn_d3d9 {

struct SpritePath {
    bool accepted = false;
    // The alpha test as the span runs it: a pixel whose source alpha (texel
    // alpha times diffuse alpha) is at most this keeps its old value; -1
    // writes every pixel.
    int keepAlphaAtOrBelow = -1;
};

// Whether the sprite span serves draws in state, and how it runs the alpha
// test. Accepted: one texture stage that multiplies the texture by the
// diffuse colour (colour and alpha), source-alpha blending with the add
// operation over the whole pixel (all four channels written), clamped
// addressing in u and v, any filters, mip filter, bias and base level, and
// the alpha test off or comparing with ALWAYS, NEVER, GREATER or
// GREATEREQUAL. Anything else takes the general pipeline.
SpritePath SpritePathFor(const RasterState& state);

}  // namespace vellorn_d3d9
