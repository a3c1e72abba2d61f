#include "runtime/d3d9/sampler.h"

#include <algorithm>
#include <cmath>

namespace vellorn_d3d9 {

float Lambda(const SamplerSetup& sampler, double dudx, double dvdx, double dudy, double dvdy) {
    if (sampler.levelCount <= 0) {
        return 0.0f;
    }
    const double w = sampler.levels[0].width, h = sampler.levels[0].height;
    const double m = std::max(std::max(std::abs(dudx * w), std::abs(dvdx * h)),
                              std::max(std::abs(dudy * w), std::abs(dvdy * h)));
    if (m <= 0.0) {
        return -1000.0f;
    }
    return static_cast<float>(std::log2(m));
}

LodChoice ChooseLod(const SamplerSetup& sampler, float lambda) {
    LodChoice choice;
    const SamplerSettings& s = sampler.settings;
    const int last = std::max(sampler.levelCount - 1, 0);
    const int base = std::min(static_cast<int>(std::min<DWORD>(s.maxMipLevel, 1u << 20)), last);
    const float lod = lambda + s.mipLodBias;
    const bool minify = lod > 0.0f;
    const DWORD filter = minify ? s.minFilter : s.magFilter;
    choice.filter =
        (filter == D3DTEXF_POINT || filter == D3DTEXF_NONE) ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    choice.level = base;
    choice.nextLevel = base;
    if (!minify || s.mipFilter == D3DTEXF_NONE) {
        return choice;
    }
    const float clamped = std::min(lod, static_cast<float>(last) + 1.0f);
    if (s.mipFilter == D3DTEXF_POINT) {
        const int level = static_cast<int>(std::floor(clamped + 0.5f));
        choice.level = std::clamp(level, base, last);
        choice.nextLevel = choice.level;
        return choice;
    }
    const int whole = static_cast<int>(std::floor(clamped));
    const float fraction = clamped - static_cast<float>(whole);
    choice.level = std::clamp(whole, base, last);
    choice.nextLevel = std::clamp(whole + 1, base, last);
    if (choice.nextLevel != choice.level) {
        choice.nextWeight = static_cast<std::uint32_t>(std::lround(fraction * 256.0f));
    }
    return choice;
}

int AddressTexel(int index, int size, DWORD mode) {
    switch (mode) {
        case D3DTADDRESS_WRAP: {
            const int m = index % size;
            return m < 0 ? m + size : m;
        }
        case D3DTADDRESS_MIRROR: {
            const int period = 2 * size;
            int m = index % period;
            if (m < 0)
                m += period;
            return m < size ? m : period - 1 - m;
        }
        case D3DTADDRESS_MIRRORONCE: {
            const int m = index < 0 ? -index - 1 : index;
            return std::min(m, size - 1);
        }
        case D3DTADDRESS_BORDER: return (index < 0 || index >= size) ? -1 : index;
        case D3DTADDRESS_CLAMP:
        default: return std::clamp(index, 0, size - 1);
    }
}

namespace {

inline std::uint32_t Texel(const SampledLevel& level, const SamplerSettings& s, int x, int y) {
    const int ax = AddressTexel(x, static_cast<int>(level.width), s.addressU);
    const int ay = AddressTexel(y, static_cast<int>(level.height), s.addressV);
    if (ax < 0 || ay < 0) {
        return s.borderColor;
    }
    return level.texels[static_cast<std::size_t>(ay) * level.width + static_cast<std::size_t>(ax)];
}

// Texel-space coordinate in 1/256 texel, rounded to nearest, of a
// normalised fixed-point coordinate on an axis of the given size.
inline std::int64_t ToTexel256(std::int64_t coord, UINT size) {
    const std::int64_t scaled = coord * static_cast<std::int64_t>(size);
    return (scaled + (std::int64_t{1} << 23)) >> 24;
}

}  // namespace

std::uint32_t SampleLevel(const SampledLevel& level, const SamplerSettings& settings, DWORD filter,
                          std::int64_t u, std::int64_t v) {
    if (level.width == 0 || level.height == 0 || level.texels == nullptr) {
        return 0xFFFFFFFFu;
    }
    const std::int64_t s = ToTexel256(u, level.width);
    const std::int64_t t = ToTexel256(v, level.height);
    if (filter != D3DTEXF_LINEAR) {
        return Texel(level, settings, static_cast<int>(s >> 8), static_cast<int>(t >> 8));
    }
    // Texel centres sit at half integers: shift by half a texel.
    const std::int64_t sl = s - 128;
    const std::int64_t tl = t - 128;
    const int x0 = static_cast<int>(sl >> 8);
    const int y0 = static_cast<int>(tl >> 8);
    const auto fx = static_cast<std::uint32_t>(sl & 255);
    const auto fy = static_cast<std::uint32_t>(tl & 255);
    const std::uint32_t top =
        LerpPacked(Texel(level, settings, x0, y0), Texel(level, settings, x0 + 1, y0), fx);
    if (fy == 0) {
        return top;
    }
    const std::uint32_t bottom =
        LerpPacked(Texel(level, settings, x0, y0 + 1), Texel(level, settings, x0 + 1, y0 + 1), fx);
    return LerpPacked(top, bottom, fy);
}

std::uint32_t Sample(const SamplerSetup& sampler, const LodChoice& lod, std::int64_t u,
                     std::int64_t v) {
    if (sampler.levelCount <= 0) {
        return 0xFFFFFFFFu;
    }
    const std::uint32_t first =
        SampleLevel(sampler.levels[lod.level], sampler.settings, lod.filter, u, v);
    if (lod.nextWeight == 0) {
        return first;
    }
    const std::uint32_t second =
        SampleLevel(sampler.levels[lod.nextLevel], sampler.settings, lod.filter, u, v);
    return LerpPacked(first, second, lod.nextWeight);
}

}  // namespace vellorn_d3d9
