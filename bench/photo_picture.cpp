#include "photo_picture.h"

#include <cmath>
#include <cstddef>

std::vector<std::uint8_t> PhotoRgba(unsigned width, unsigned height) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    constexpr float kTwoPi = 6.2831853f;
    std::uint32_t seed = 0x2545F491u;
    std::size_t i = 0;
    for (unsigned y = 0; y < height; ++y) {
        const float v = static_cast<float>(y) / static_cast<float>(height);
        for (unsigned x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float shape =
                std::sin(kTwoPi * (1.3f * u + 0.4f * v)) * std::cos(kTwoPi * (0.7f * v - 0.2f * u));
            const float channels[4] = {
                150.0f + 70.0f * shape - 40.0f * v,
                120.0f + 50.0f * std::sin(kTwoPi * (2.1f * v + 0.3f)) + 30.0f * u,
                90.0f + 110.0f * (1.0f - v) * (0.6f + 0.4f * shape),
                255.0f - 96.0f * u * v,
            };
            for (int c = 0; c < 4; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const float noise = c == 3 ? 0.0f : static_cast<float>(seed >> 28) * 0.8f - 6.0f;
                const float value = std::round(channels[c] + noise);
                pixels[i++] = static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
    return pixels;
}
