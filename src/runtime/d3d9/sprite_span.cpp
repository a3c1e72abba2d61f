#include "runtime/d3d9/sprite_span.h"

#include <algorithm>

#include "runtime/d3d9/modulate_blend.h"

namespace vellorn_d3d9 {

namespace {

// A walk along a span through one texture level: the position of the first
// pixel and the step per pixel, in texels times 2^32.
struct LevelWalk {
    const SampledLevel* level;
    std::int64_t s, t, ds, dt;
    int maxX, maxY;
};

LevelWalk Walk(const SampledLevel& level, const Shading& sh, std::int64_t u, std::int64_t v) {
    const auto w = static_cast<std::int64_t>(level.width);
    const auto h = static_cast<std::int64_t>(level.height);
    return {&level,
            u * w,
            v * h,
            sh.dux * w,
            sh.dvx * h,
            static_cast<int>(w) - 1,
            static_cast<int>(h) - 1};
}

constexpr int kChunk = 64;
constexpr std::int64_t kRound = std::int64_t{1} << 23;

// The next n (at most kChunk) texels of the walk, sampled with clamped
// addressing as SampleLevel does: in buffer, or in place when the span maps
// one to one onto a texel row.
template <bool Linear>
const std::uint32_t* Fetch(const LevelWalk& walk, int n, std::uint32_t* buffer) {
    const SampledLevel& level = *walk.level;
    const std::uint32_t* texels = level.texels;
    if constexpr (!Linear) {
        const std::int64_t x0 = (walk.s + kRound) >> 32;
        const std::int64_t y0 = (walk.t + kRound) >> 32;
        if (walk.ds == (std::int64_t{1} << 32) && walk.dt == 0 && x0 >= 0 &&
            x0 + n - 1 <= walk.maxX && y0 >= 0 && y0 <= walk.maxY) {
            return texels + static_cast<std::size_t>(y0) * level.width +
                   static_cast<std::size_t>(x0);
        }
        std::int64_t si = walk.s, ti = walk.t;
        for (int i = 0; i < n; ++i, si += walk.ds, ti += walk.dt) {
            const int x =
                static_cast<int>(std::clamp<std::int64_t>((si + kRound) >> 32, 0, walk.maxX));
            const int y =
                static_cast<int>(std::clamp<std::int64_t>((ti + kRound) >> 32, 0, walk.maxY));
            buffer[i] =
                texels[static_cast<std::size_t>(y) * level.width + static_cast<std::size_t>(x)];
        }
        return buffer;
    }
    std::int64_t si = walk.s, ti = walk.t;
    for (int i = 0; i < n; ++i, si += walk.ds, ti += walk.dt) {
        // Texel centres sit at half integers: shift by half a texel.
        const std::int64_t sl = ((si + kRound) >> 24) - 128;
        const std::int64_t tl = ((ti + kRound) >> 24) - 128;
        const auto x0 = static_cast<int>(std::clamp<std::int64_t>(sl >> 8, -1, walk.maxX));
        const auto y0 = static_cast<int>(std::clamp<std::int64_t>(tl >> 8, -1, walk.maxY));
        const auto fx = static_cast<std::uint32_t>(sl & 255);
        const auto fy = static_cast<std::uint32_t>(tl & 255);
        const int xa = std::max(x0, 0), xb = std::min(x0 + 1, walk.maxX);
        const int ya = std::max(y0, 0), yb = std::min(y0 + 1, walk.maxY);
        const std::uint32_t* rowA = texels + static_cast<std::size_t>(ya) * level.width;
        const std::uint32_t* rowB = texels + static_cast<std::size_t>(yb) * level.width;
        const std::uint32_t top = LerpPacked(rowA[xa], rowA[xb], fx);
        buffer[i] = fy == 0 ? top : LerpPacked(top, LerpPacked(rowB[xa], rowB[xb], fx), fy);
    }
    return buffer;
}

ModulateBlend BlendFor(const DrawContext& ctx, const Shading& sh) {
    return {sh.color, ctx.state->targetHasAlpha, ctx.sprite.keepAlphaAtOrBelow};
}

// Texels are fetched a chunk at a time from the triangle's level (blended
// with the next level by the mip weight, as Sample does) and then combined
// with the target in bulk.
template <bool Linear>
void FillSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* dst, int count,
              std::int64_t u, std::int64_t v) {
    const LodChoice& lod = sh.lod[0];
    const SampledLevel* levels = ctx.samplers[0].levels;
    LevelWalk first = Walk(levels[lod.level], sh, u, v);
    LevelWalk second = Walk(levels[lod.nextLevel], sh, u, v);
    const ModulateBlend blend = BlendFor(ctx, sh);
    std::uint32_t buffer[kChunk];
    std::uint32_t other[kChunk];
    while (count > 0) {
        const int n = std::min(count, kChunk);
        const std::uint32_t* source = Fetch<Linear>(first, n, buffer);
        if (lod.nextWeight != 0) {
            const std::uint32_t* next = Fetch<Linear>(second, n, other);
            for (int i = 0; i < n; ++i) {
                buffer[i] = LerpPacked(source[i], next[i], lod.nextWeight);
            }
            source = buffer;
        }
        ModulateBlendRows(blend, dst, 0, source, 0, n, 1);
        dst += n;
        count -= n;
        for (LevelWalk* walk : {&first, &second}) {
            walk->s += walk->ds * n;
            walk->t += walk->dt * n;
        }
    }
}

// When a rectangle maps one to one onto texels of one level, with point
// sampling, no clamping and rows on successive texel rows, the first texel
// of its first row; null otherwise.
const std::uint32_t* TexelsInPlace(const DrawContext& ctx, const Shading& sh, SpriteFill fill,
                                   int count, int rows, std::int64_t u, std::int64_t v) {
    const LodChoice& lod = sh.lod[0];
    if (fill != SpriteFill::Point || lod.nextWeight != 0) {
        return nullptr;
    }
    const SampledLevel& level = ctx.samplers[0].levels[lod.level];
    const LevelWalk walk = Walk(level, sh, u, v);
    const std::int64_t one = std::int64_t{1} << 32;
    const std::int64_t x0 = (walk.s + kRound) >> 32;
    const std::int64_t y0 = (walk.t + kRound) >> 32;
    if (walk.ds != one || walk.dt != 0 || sh.duy * level.width != 0 ||
        sh.dvy * level.height != one || x0 < 0 || x0 + count - 1 > walk.maxX || y0 < 0 ||
        y0 + rows - 1 > walk.maxY) {
        return nullptr;
    }
    return level.texels + static_cast<std::size_t>(y0) * level.width + static_cast<std::size_t>(x0);
}

// Whether linear filtering of the level reads single texels over the whole
// triangle: every step moves by whole texels and the first pixel sits on a
// texel centre.
bool ReadsSingleTexels(const SampledLevel& level, const Shading& sh) {
    const auto w = static_cast<std::int64_t>(level.width);
    const auto h = static_cast<std::int64_t>(level.height);
    const std::int64_t whole = std::int64_t{1} << 32;
    auto fraction = [](std::int64_t c) { return ((c + kRound) >> 24) & 255; };
    return (sh.dux * w) % whole == 0 && (sh.duy * w) % whole == 0 && (sh.dvx * h) % whole == 0 &&
           (sh.dvy * h) % whole == 0 && fraction(sh.u0 * w) == 128 && fraction(sh.v0 * h) == 128;
}

bool Sampleable(const SampledLevel& level) {
    return level.width > 0 && level.height > 0 && level.texels != nullptr;
}

}  // namespace

SpriteFill SpriteFillFor(const DrawContext& ctx, const Shading& sh) {
    if (!ctx.sprite.accepted || !sh.affine || !sh.constantColor) {
        return SpriteFill::None;
    }
    const LodChoice& lod = sh.lod[0];
    const SampledLevel& level = ctx.samplers[0].levels[lod.level];
    const SampledLevel& next = ctx.samplers[0].levels[lod.nextLevel];
    if (!Sampleable(level) || !Sampleable(next)) {
        return SpriteFill::None;
    }
    if (lod.filter != D3DTEXF_LINEAR ||
        (ReadsSingleTexels(level, sh) && (lod.nextWeight == 0 || ReadsSingleTexels(next, sh)))) {
        return SpriteFill::Point;
    }
    return SpriteFill::Linear;
}

void SpriteSpan(const DrawContext& ctx, const Shading& sh, SpriteFill fill, std::uint32_t* dst,
                int count, std::int64_t u, std::int64_t v) {
    if (fill == SpriteFill::Linear) {
        FillSpan<true>(ctx, sh, dst, count, u, v);
    } else {
        FillSpan<false>(ctx, sh, dst, count, u, v);
    }
}

void SpriteRectangle(const DrawContext& ctx, const Shading& sh, SpriteFill fill, std::uint32_t* dst,
                     std::size_t pitch, int count, int rows, std::int64_t u, std::int64_t v) {
    // Row r of the rectangle starts r * duy and r * dvy further, so each
    // texel of an in-place row is the one the span would fetch.
    if (const std::uint32_t* texels = TexelsInPlace(ctx, sh, fill, count, rows, u, v)) {
        const UINT width = ctx.samplers[0].levels[sh.lod[0].level].width;
        ModulateBlendRows(BlendFor(ctx, sh), dst, pitch, texels, width, count, rows);
        return;
    }
    for (int row = 0; row < rows; ++row, dst += pitch, u += sh.duy, v += sh.dvy) {
        SpriteSpan(ctx, sh, fill, dst, count, u, v);
    }
}

}  // namespace vellorn_d3d9
