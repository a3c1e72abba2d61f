#include "runtime/d3d9/modulate_blend.h"

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

// One group of eight pixels of ModulateBlendRows. A full group uses plain
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
        if constexpr (Full) {
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
        if constexpr (Full) {
            out = _mm256_blendv_epi8(out, old, kept);
        } else {
            mask = _mm256_andnot_si256(kept, mask);
        }
    }
    if constexpr (Full) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), out);
    } else {
        _mm256_maskstore_epi32(target, mask, out);
    }
}

// ModulateBlendRows on eight pixels at a time.
__attribute__((target("avx2"))) void ModulateBlendAvx2(const ModulateBlend& blend,
                                                       std::uint32_t* dst, std::size_t dstPitch,
                                                       const std::uint32_t* texels,
                                                       std::size_t texelPitch, int count,
                                                       int rows) {
    const std::uint32_t color = blend.color;
    const int keepAtOrBelow = blend.keepAlphaAtOrBelow;
    GroupConstants k;
    k.zero = _mm256_setzero_si256();
    k.diffuse = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(color)), k.zero);
    k.fill = _mm256_set1_epi32(static_cast<int>(blend.targetHasAlpha ? 0u : 0xFF000000u));
    k.limit = _mm256_set1_epi32(keepAtOrBelow + 1);
    k.opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    k.white = color == 0xFFFFFFFFu;
    k.test = keepAtOrBelow >= 0;
    // Under a white diffuse colour an opaque texel blends to itself, every
    // channel round((s * 255 + d * 0) / 255) = s, and passes any alpha test
    // that keeps less than alpha 255.
    k.opaqueCopies = k.white && keepAtOrBelow < 255;
    const int whole = count & ~7;
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i tail = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - whole), lanes);
    const __m256i all = _mm256_set1_epi32(-1);
    for (int row = 0; row < rows; ++row, dst += dstPitch, texels += texelPitch) {
        for (int i = 0; i < whole; i += 8) {
            ModulateBlendGroup<true>(dst + i, texels + i, all, k);
        }
        if (whole < count) {
            ModulateBlendGroup<false>(dst + whole, texels + whole, tail, k);
        }
    }
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

void ModulateBlendRowPortable(const ModulateBlend& blend, std::uint32_t* dst,
                              const std::uint32_t* texels, int count) {
    const std::uint32_t color = blend.color;
    const int keepAtOrBelow = blend.keepAlphaAtOrBelow;
    const std::uint32_t alphaOr = blend.targetHasAlpha ? 0u : 0xFF000000u;
    int i = 0;
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

void ModulateBlendRows(const ModulateBlend& blend, std::uint32_t* dst, std::size_t dstPitch,
                       const std::uint32_t* texels, std::size_t texelPitch, int count, int rows) {
#if defined(VELLORN_RASTER_AVX2)
    if (HasAvx2()) {
        ModulateBlendAvx2(blend, dst, dstPitch, texels, texelPitch, count, rows);
        return;
    }
#endif
    for (int row = 0; row < rows; ++row, dst += dstPitch, texels += texelPitch) {
        ModulateBlendRowPortable(blend, dst, texels, count);
    }
}

}  // namespace vellorn_d3d9
