// Modulating runs of texels by a constant diffuse colour and blending them
// over the target by their alpha (source alpha, inverse source alpha, add),
// with the alpha test as a bound on the source alpha; with vector
// instructions where the processor has them (AVX2 chosen at run time). The
// bytes are exactly those of the general pixel pipeline for that state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellorn_d3d9 {

struct ModulateBlend {
    std::uint32_t color;  // diffuse colour, A8R8G8B8
    bool targetHasAlpha;  // false: the target's alpha reads and writes as 0xFF
    // Pixels whose source alpha (texel alpha times diffuse alpha) is at most
    // this keep their old value; -1 writes every pixel.
    int keepAlphaAtOrBelow;
};

// Blends rows rows of count texels: row r reads texels + r * texelPitch and
// writes dst + r * dstPitch (pitches in pixels).
void ModulateBlendRows(const ModulateBlend& blend, std::uint32_t* dst, std::size_t dstPitch,
                       const std::uint32_t* texels, std::size_t texelPitch, int count, int rows);

// One row as ModulateBlendRows blends it on a processor without AVX2 (with
// SSE2 where there is, else one pixel at a time).
void ModulateBlendRowPortable(const ModulateBlend& blend, std::uint32_t* dst,
                              const std::uint32_t* texels, int count);

}  // namespace vellorn_d3d9
