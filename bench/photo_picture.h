// A photograph-like picture for the loading benchmarks, generated rather than
// committed.
#pragma once

#include <cstdint>
#include <vector>

// width x height pixels as red, green, blue, alpha bytes, top row first:
// broad, smoothly varying colour waves (a sky-like gradient, soft shapes)
// under a little per-pixel noise of up to 6 levels, and a smooth alpha ramp.
std::vector<std::uint8_t> PhotoRgba(unsigned width, unsigned height);
