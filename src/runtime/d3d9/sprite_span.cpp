#include "runtime/d3d9/sprite_span.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELLORN_RASTER_AVX2 1
#endif

#include "runtime/d3d9/pixel_arithmetic.h"

namespace vellorn_d3d9 {

namespace {

// Source-alpha blending of one pixel after modulating the texel with the
// constant diffuse colour; the vector paths below compute exactly this.
inline std::uint32_t ModulateBlendPixel(std::uint32_t texel, std::uint32_t color, std::uint32_t old,
                                        std::uint32_t alphaOr) {
    const std::uint32_t sa = Mul8(texel >> 24, color >> 24);
    const std::uint32_t src =
        Pack(sa, Mul8(Channel(texel, 16), Channel(color, 16)),
             Mul8(Channel(texel, 8), Channel(color, 8)), Mul8(texel & 0xFFu, color & 0xFFu));
    const std::uint32_t d = old | alphaOr;
    const std::uint32_t ia = 255 - sa;
    std::uint32_t rb = (src & 0x00FF00FFu) * sa + (d & 0x00FF00FFu) * ia + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag =
        ((src >> 8) & 0x00FF00FFu) * sa + ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
    ag = ((ag + ((ag >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    return rb | (ag << 8) | alphaOr;
}

#if defined(__SSE2__)
// Mul8 on eight 16-bit lanes.
inline __m128i Mul8x8(__m128i a, __m128i b) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Source-alpha blend of two pixels held as 16-bit channels.
inline __m128i BlendTwo(__m128i s, __m128i d) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(s, alpha), _mm_mullo_epi16(d, inverse));
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}
#endif

#if defined(VELLORN_RASTER_AVX2)
// The same arithmetic as BlendTwo and Mul8x8 on eight pixels at a time, for
// processors with AVX2 (chosen at run time; the results are identical).
__attribute__((target("avx2"))) inline __m256i Mul8x16(__m256i a, __m256i b) {
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

__attribute__((target("avx2"))) inline __m256i BlendFour(__m256i src, __m256i d) {
    const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(src, 0xFF), 0xFF);
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(src, alpha), _mm256_mullo_epi16(d, inverse));
    x = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
}

// What ModulateBlendAvx2 needs for every group of eight pixels.
struct GroupConstants {
    __m256i zero, diffuse, fill, limit, opaque;
    bool white, test, opaqueCopies;
};

// One group of eight pixels of ModulateBlendSpan. A full group uses plain
// loads and stores; the last group of a span passes the mask of its own
// pixels and reads and writes no others.
template <bool Full>
__attribute__((target("avx2"))) inline void ModulateBlendGroup(std::uint32_t* dst,
                                                               const std::uint32_t* texels,
                                                               __m256i mask,
                                                               const GroupConstants& k) {
    const auto* source = reinterpret_cast<const int*>(texels);
    auto* target = reinterpret_cast<int*>(dst);
    const __m256i s = Full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source))
                           : _mm256_maskload_epi32(source, mask);
    if (k.opaqueCopies &&
        _mm256_testc_si256(_mm256_cmpeq_epi32(_mm256_and_si256(s, k.opaque), k.opaque), mask)) {
        const __m256i out = _mm256_or_si256(s, k.fill);
        if (Full) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), out);
        } else {
            _mm256_maskstore_epi32(target, mask, out);
        }
        return;
    }
    const __m256i old = Full ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target))
                             : _mm256_maskload_epi32(target, mask);
    const __m256i d = _mm256_or_si256(old, k.fill);
    __m256i sLow = _mm256_unpacklo_epi8(s, k.zero);
    __m256i sHigh = _mm256_unpackhi_epi8(s, k.zero);
    if (!k.white) {
        sLow = Mul8x16(sLow, k.diffuse);
        sHigh = Mul8x16(sHigh, k.diffuse);
    }
    const __m256i low = BlendFour(sLow, _mm256_unpacklo_epi8(d, k.zero));
    const __m256i high = BlendFour(sHigh, _mm256_unpackhi_epi8(d, k.zero));
    __m256i out = _mm256_or_si256(_mm256_packus_epi16(low, high), k.fill);
    if (k.test) {
        const __m256i modulated = k.white ? s : _mm256_packus_epi16(sLow, sHigh);
        const __m256i kept = _mm256_cmpgt_epi32(k.limit, _mm256_srli_epi32(modulated, 24));
        if (Full) {
            out = _mm256_blendv_epi8(out, old, kept);
        } else {
            mask = _mm256_andnot_si256(kept, mask);
        }
    }
    if (Full) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), out);
    } else {
        _mm256_maskstore_epi32(target, mask, out);
    }
}

// ModulateBlendSpan on eight pixels at a time.
__attribute__((target("avx2"))) int ModulateBlendAvx2(std::uint32_t* dst,
                                                      const std::uint32_t* texels, int count,
                                                      std::uint32_t color, std::uint32_t alphaOr,
                                                      int keepAtOrBelow) {
    GroupConstants k;
    k.zero = _mm256_setzero_si256();
    k.diffuse = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(color)), k.zero);
    k.fill = _mm256_set1_epi32(static_cast<int>(alphaOr));
    k.limit = _mm256_set1_epi32(keepAtOrBelow + 1);
    k.opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    k.white = color == 0xFFFFFFFFu;
    k.test = keepAtOrBelow >= 0;
    // Under a white diffuse colour an opaque texel blends to itself, every
    // channel round((s * 255 + d * 0) / 255) = s, and passes any alpha test
    // that keeps less than alpha 255.
    k.opaqueCopies = k.white && keepAtOrBelow < 255;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        ModulateBlendGroup<true>(dst + i, texels + i, _mm256_set1_epi32(-1), k);
    }
    if (i < count) {
        const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - i), lanes);
        ModulateBlendGroup<false>(dst + i, texels + i, mask, k);
    }
    return count;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Modulates count texels by the constant diffuse colour and blends them over
// the target by their alpha, leaving pixels whose source alpha is at most
// keepAtOrBelow as they are.
void ModulateBlendSpan(std::uint32_t* dst, const std::uint32_t* texels, int count,
                       std::uint32_t color, bool alphaTarget, int keepAtOrBelow) {
    const std::uint32_t alphaOr = alphaTarget ? 0u : 0xFF000000u;
    int i = 0;
#if defined(VELLORN_RASTER_AVX2)
    if (HasAvx2()) {
        i = ModulateBlendAvx2(dst, texels, count, color, alphaOr, keepAtOrBelow);
    }
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i diffuse = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(color)), zero);
    const __m128i fill = _mm_set1_epi32(static_cast<int>(alphaOr));
    const __m128i limit = _mm_set1_epi32(keepAtOrBelow + 1);
    // Modulating by white changes nothing (Mul8(x, 255) == x).
    const bool white = color == 0xFFFFFFFFu;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i));
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i d = _mm_or_si128(old, fill);
        __m128i sLow = _mm_unpacklo_epi8(s, zero);
        __m128i sHigh = _mm_unpackhi_epi8(s, zero);
        if (!white) {
            sLow = Mul8x8(sLow, diffuse);
            sHigh = Mul8x8(sHigh, diffuse);
        }
        const __m128i low = BlendTwo(sLow, _mm_unpacklo_epi8(d, zero));
        const __m128i high = BlendTwo(sHigh, _mm_unpackhi_epi8(d, zero));
        __m128i out = _mm_or_si128(_mm_packus_epi16(low, high), fill);
        if (keepAtOrBelow >= 0) {
            const __m128i source = white ? s : _mm_packus_epi16(sLow, sHigh);
            const __m128i kept = _mm_cmplt_epi32(_mm_srli_epi32(source, 24), limit);
            out = _mm_or_si128(_mm_and_si128(kept, old), _mm_andnot_si128(kept, out));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), out);
    }
#endif
    for (; i < count; ++i) {
        if (static_cast<int>(Mul8(texels[i] >> 24, color >> 24)) > keepAtOrBelow) {
            dst[i] = ModulateBlendPixel(texels[i], color, dst[i], alphaOr);
        }
    }
}

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
    const bool alphaTarget = ctx.state->targetHasAlpha;
    const int keep = ctx.sprite.keepAlphaAtOrBelow;
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
        ModulateBlendSpan(dst, source, n, sh.color, alphaTarget, keep);
        dst += n;
        count -= n;
        for (LevelWalk* walk : {&first, &second}) {
            walk->s += walk->ds * n;
            walk->t += walk->dt * n;
        }
    }
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

}  // namespace vellorn_d3d9
