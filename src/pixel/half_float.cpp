#include "pixel/half_float.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The conversions avoid data-dependent branches: the row versions run the
// same steps four lanes at a time.

// Float bits of (half & 0x7FFF) << 13 with the exponent rebased from bias 15
// to bias 127.
constexpr std::uint32_t kRebase = 112u << 23;
// The smallest normal half, 2^-14, as float bits.
constexpr std::uint32_t kSmallestNormal = 0x38800000u;
// Below 2^-14, shifting the 24-bit significand right by 113 - exponent is
// the same as multiplying the magnitude by 2^37 and cutting off the fraction.
constexpr float kDenormalScale = 0x1p37f;

inline float HalfToFloatScalar(std::uint32_t half) {
    const std::uint32_t sign = (half & 0x8000u) << 16;
    const std::uint32_t shifted = (half & 0x7FFFu) << 13;
    if ((shifted & 0x0F800000u) != 0) {
        return std::bit_cast<float>((shifted + kRebase) | sign);
    }
    // Exponent 0: read the mantissa as if the exponent were 1 and subtract
    // the implicit one (2^-14) again. The subtraction is exact, so the
    // rounding mode cannot matter; zero gives +0 and takes its sign below.
    const float denormal = std::bit_cast<float>(shifted + kRebase + (1u << 23)) - 0x1p-14f;
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(denormal) | sign);
}

inline std::uint16_t FloatToHalfScalar(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t magnitude = bits & 0x7FFFFFFFu;
    std::uint32_t v;
    if (magnitude >= kSmallestNormal) {
        v = magnitude - kRebase;
    } else {
        // The product is exact and the conversion truncates, so no rounding
        // mode is involved; shifts of more than 31 bits give 0 here too.
        v = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(std::bit_cast<float>(magnitude) * kDenormalScale));
    }
    // Round half to even at bit 13. Rounding is monotonic, so exactly the
    // magnitudes above 0x47FFEFFF (131040 and up, infinities and NaNs) land
    // above 0x7FFF.
    std::uint32_t rounded = (v + 0x0FFFu + ((v >> 13) & 1u)) >> 13;
    if (rounded > 0x7FFFu) {
        rounded = 0x7FFFu;
    }
    return static_cast<std::uint16_t>(rounded | sign);
}

#if defined(__SSE2__)

inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// Four halves in the low 16 bits of each lane to four floats.
inline __m128 HalfToFloat4(__m128i half) {
    const __m128i sign = _mm_slli_epi32(_mm_and_si128(half, _mm_set1_epi32(0x8000)), 16);
    const __m128i shifted = _mm_slli_epi32(_mm_and_si128(half, _mm_set1_epi32(0x7FFF)), 13);
    const __m128i normal = _mm_add_epi32(shifted, _mm_set1_epi32(static_cast<int>(kRebase)));
    const __m128 denormal = _mm_sub_ps(
        _mm_castsi128_ps(_mm_add_epi32(normal, _mm_set1_epi32(1 << 23))), _mm_set1_ps(0x1p-14f));
    const __m128i zeroExponent =
        _mm_cmpeq_epi32(_mm_and_si128(shifted, _mm_set1_epi32(0x0F800000)), _mm_setzero_si128());
    const __m128i magnitude = Select(zeroExponent, _mm_castps_si128(denormal), normal);
    return _mm_castsi128_ps(_mm_or_si128(magnitude, sign));
}

// Four floats to four halves, each in the low 16 bits of its lane and sign
// extended, ready for a saturating pack that then changes nothing.
inline __m128i FloatToHalf4(__m128 value) {
    const __m128i bits = _mm_castps_si128(value);
    const __m128i sign = _mm_and_si128(_mm_srli_epi32(bits, 16), _mm_set1_epi32(0x8000));
    const __m128i magnitude = _mm_and_si128(bits, _mm_set1_epi32(0x7FFFFFFF));
    const __m128i smallestNormal = _mm_set1_epi32(static_cast<int>(kSmallestNormal));
    // Magnitudes fit in 31 bits, so the signed comparison is exact.
    const __m128i isSmall = _mm_cmplt_epi32(magnitude, smallestNormal);
    const __m128i rebased = _mm_sub_epi32(magnitude, _mm_set1_epi32(static_cast<int>(kRebase)));
    // Larger magnitudes (and NaNs) are kept out of the conversion.
    const __m128i small = Select(isSmall, magnitude, smallestNormal);
    const __m128i denormal =
        _mm_cvttps_epi32(_mm_mul_ps(_mm_castsi128_ps(small), _mm_set1_ps(kDenormalScale)));
    const __m128i v = Select(isSmall, denormal, rebased);
    const __m128i lowestKept = _mm_and_si128(_mm_srli_epi32(v, 13), _mm_set1_epi32(1));
    __m128i rounded =
        _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(v, _mm_set1_epi32(0x0FFF)), lowestKept), 13);
    const __m128i largest = _mm_set1_epi32(0x7FFF);
    rounded = Select(_mm_cmpgt_epi32(rounded, largest), largest, rounded);
    const __m128i half = _mm_or_si128(rounded, sign);
    return _mm_srai_epi32(_mm_slli_epi32(half, 16), 16);
}

#endif

}  // namespace

float HalfToFloat(std::uint16_t half) {
    return HalfToFloatScalar(half);
}

std::uint16_t FloatToHalf(float value) {
    return FloatToHalfScalar(value);
}

void HalfToFloatArray(float* out, const std::uint16_t* in, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        const __m128i halves = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_ps(out + i, HalfToFloat4(_mm_unpacklo_epi16(halves, zero)));
        _mm_storeu_ps(out + i + 4, HalfToFloat4(_mm_unpackhi_epi16(halves, zero)));
    }
#endif
    for (; i < n; ++i) {
        out[i] = HalfToFloatScalar(in[i]);
    }
}

void FloatToHalfArray(std::uint16_t* out, const float* in, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        const __m128i low = FloatToHalf4(_mm_loadu_ps(in + i));
        const __m128i high = FloatToHalf4(_mm_loadu_ps(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
    }
#endif
    for (; i < n; ++i) {
        out[i] = FloatToHalfScalar(in[i]);
    }
}
