// Exact 8-bit channel arithmetic of the rasteriser: products and quotients by
// 255 rounded to nearest, and the packing of A8R8G8B8 words. The general
// pixel pipeline and the sprite span share it, so that both compute the same
// bytes.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vellorn_d3d9 {

// a * b / 255, rounded to nearest, for a and b in 0..255.
inline std::uint32_t Mul8(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline std::uint32_t Div255(std::uint32_t x) {
    return (x + 127) / 255;
}

inline std::uint32_t Channel(std::uint32_t c, int shift) {
    return (c >> shift) & 0xFFu;
}

inline std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A colour channel in 0..1 to a byte, rounded to nearest; NaN gives 0.
inline std::uint32_t ToByte(float value) {
    if (!(value > 0.0f))
        return 0;
    const float c = std::min(value, 1.0f);
    return static_cast<std::uint32_t>(c * 255.0f + 0.5f);
}

inline std::uint32_t PackFloat(float a, float r, float g, float b) {
    return Pack(ToByte(a), ToByte(r), ToByte(g), ToByte(b));
}

}  // namespace vellorn_d3d9
