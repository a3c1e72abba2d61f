// What the rasteriser's stages share while a draw runs: the draw's context
// (state, target, samplers, scissor, the path chosen for it), the
// interpolation state of the triangle being filled, and the fixed-point form
// of texture coordinates.
#pragma once

#include <cstdint>

#include "runtime/d3d9/rasterizer.h"
#include "runtime/d3d9/sampler.h"
#include "runtime/d3d9/sprite_path.h"

namespace vellorn_d3d9 {

struct DrawContext {
    const RasterState* state;
    RasterTarget* target;
    SamplerSetup samplers[2];
    bool stageReadsTexture[2];
    int activeStages;
    std::uint32_t writeMask;
    SpritePath sprite;
    int scissorLeft, scissorTop, scissorRight, scissorBottom;  // inclusive
};

// A plane a(x, y) = a0 + dx * (x - x0) + dy * (y - y0) over the triangle.
struct Plane {
    double a0 = 0, dx = 0, dy = 0;
    double At(double x, double y, double x0, double y0) const {
        return a0 + dx * (x - x0) + dy * (y - y0);
    }
};

// Per-triangle interpolation state.
struct Shading {
    bool affine;
    double refX, refY;  // pixel the fixed-point texture coordinates refer to
    // affine texture coordinates: normalised * 2^32
    std::int64_t u0, v0, dux, duy, dvx, dvy;
    // perspective: u/w, v/w and 1/w planes
    Plane uq, vq, q;
    double px0, py0;  // plane origin (vertex 0)
    bool constantColor;
    std::uint32_t color;
    Plane r, g, b, a;  // colour (times 1/w in perspective)
    LodChoice lod[2];  // affine: constant over the triangle
};

// x rounded to the nearest integer, halves away from zero: the result of
// std::llround for |x| < 2^62, without a library call. The truncated value
// is exact, and so is the remainder x - t (for |t| >= 1, x and t are within
// a factor of two of each other; for t = 0 it is x itself).
inline std::int64_t RoundToNearest(double x) {
    const auto t = static_cast<std::int64_t>(x);
    const double rest = x - static_cast<double>(t);
    return t + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0);
}

// Normalised texture coordinates and their per-pixel steps in fixed point.
// The limits keep every product with a texture size (and every step across
// the guard band) inside 64 bits; real geometry never comes near them.
inline constexpr double kCoordLimit = 8192.0;
inline constexpr double kStepLimit = 8.0;

inline std::int64_t ToFixed(double value, double limit = kCoordLimit) {
    if (!(value >= -limit))
        value = -limit;  // also catches NaN
    if (value > limit)
        value = limit;
    return RoundToNearest(value * kCoordScale);
}

}  // namespace vellorn_d3d9
