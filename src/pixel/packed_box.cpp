#include "pixel/packed_box.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/processor_check.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Adds four pixels' fields under a mask whose channels each have two clear
// bits above them, so that no channel's sum reaches the next channel; the
// rounding constant puts 2 at the lowest bit of each channel.
template <typename Wide, Wide Mask>
constexpr bool ChannelsKeptApart() {
    const Wide tops = Mask & static_cast<Wide>(~(Mask >> 1));
    return ((static_cast<Wide>(tops << 1) | static_cast<Wide>(tops << 2)) & Mask) == 0 &&
           (tops >> (sizeof(Wide) * 8 - 3)) == 0;
}

template <typename Wide, Wide Mask>
inline Wide AverageUnder(Wide a, Wide b, Wide c, Wide d) {
    static_assert(ChannelsKeptApart<Wide, Mask>(), "channels of one mask must not meet");
    constexpr Wide kRound = static_cast<Wide>((Mask & static_cast<Wide>(~(Mask << 1))) << 1);
    return (((a & Mask) + (b & Mask) + (c & Mask) + (d & Mask) + kRound) >> 2) & Mask;
}

template <typename Pixel>
inline Pixel Load(const BYTE* p) {
    Pixel v;
    std::memcpy(&v, p, sizeof(Pixel));
    return v;
}

// One packed routine: the channels of a pixel split into two masks (the
// second may be empty), each averaged in a word wide enough for the sums.
// Bits in neither mask come out 0.
template <typename Pixel, std::uint32_t MaskA, std::uint32_t MaskB>
void AverageRow(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width) {
    using Wide = std::conditional_t<sizeof(Pixel) == 4, std::uint64_t, std::uint32_t>;
    for (UINT x = 0; x < width; ++x) {
        const std::size_t at = std::size_t{x} * 2 * sizeof(Pixel);
        const Wide a = Load<Pixel>(upper + at);
        const Wide b = Load<Pixel>(upper + at + sizeof(Pixel));
        const Wide c = Load<Pixel>(lower + at);
        const Wide d = Load<Pixel>(lower + at + sizeof(Pixel));
        Wide result = AverageUnder<Wide, MaskA>(a, b, c, d);
        if constexpr (MaskB != 0) {
            result |= AverageUnder<Wide, MaskB>(a, b, c, d);
        }
        const Pixel out = static_cast<Pixel>(result);
        std::memcpy(destination + std::size_t{x} * sizeof(Pixel), &out, sizeof(Pixel));
    }
}

constexpr std::uint32_t kAllBytes = 0xFFFFFFFF;
constexpr std::uint32_t kColorBytes = 0x00FFFFFF;  // the X byte written as 0

template <std::uint32_t Keep>
void Box32Plain(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width) {
    AverageRow<std::uint32_t, 0x00FF00FF, Keep & 0xFF00FF00>(upper, lower, destination, width);
}

#if defined(__SSE2__)
// Two destination pixels from four source pixels of each row, as eight
// 16-bit channel sums: (p0 + p1 + q0 + q1 + 2) >> 2 in every lane.
inline __m128i AverageTwo(__m128i upper, __m128i lower) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i sum01 =
        _mm_add_epi16(_mm_unpacklo_epi8(upper, zero), _mm_unpacklo_epi8(lower, zero));
    const __m128i sum23 =
        _mm_add_epi16(_mm_unpackhi_epi8(upper, zero), _mm_unpackhi_epi8(lower, zero));
    const __m128i total = _mm_add_epi16(
        _mm_add_epi16(_mm_unpacklo_epi64(sum01, sum23), _mm_unpackhi_epi64(sum01, sum23)),
        _mm_set1_epi16(2));
    return _mm_srli_epi16(total, 2);
}

template <std::uint32_t Keep>
void Box32Vector(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width) {
    const __m128i keep = _mm_set1_epi32(static_cast<int>(Keep));
    UINT x = 0;
    for (; x + 4 <= width; x += 4) {
        const std::size_t at = std::size_t{x} * 8;
        const auto load = [](const BYTE* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        const __m128i first = AverageTwo(load(upper + at), load(lower + at));
        const __m128i second = AverageTwo(load(upper + at + 16), load(lower + at + 16));
        const __m128i out = _mm_and_si128(_mm_packus_epi16(first, second), keep);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + std::size_t{x} * 4), out);
    }
    const std::size_t done = x;
    Box32Plain<Keep>(upper + done * 8, lower + done * 8, destination + done * 4, width - x);
}
#endif

PackedBoxRow Box32Of(std::uint32_t keep, PackedBoxVariant variant) {
#if defined(__SSE2__)
    if (variant == PackedBoxVariant::Vector && HasVectorPackedBox()) {
        return keep == kAllBytes ? &Box32Vector<kAllBytes> : &Box32Vector<kColorBytes>;
    }
#else
    static_cast<void>(variant);
#endif
    return keep == kAllBytes ? &Box32Plain<kAllBytes> : &Box32Plain<kColorBytes>;
}

PackedBoxVariant VariantOnFirstUse() {
    return HasVectorPackedBox() && ProcessorHasMmx() ? PackedBoxVariant::Vector
                                                     : PackedBoxVariant::Plain;
}

// The two 32-bit routines run through these pointers, which start at a
// routine that makes the choice, stores it and runs it.
template <std::uint32_t Keep>
void ChooseBox32(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width);

std::atomic<PackedBoxRow> argb32Routine{&ChooseBox32<kAllBytes>};
std::atomic<PackedBoxRow> xrgb32Routine{&ChooseBox32<kColorBytes>};

std::atomic<PackedBoxRow>& RoutineOf(std::uint32_t keep) {
    return keep == kAllBytes ? argb32Routine : xrgb32Routine;
}

template <std::uint32_t Keep>
void ChooseBox32(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width) {
    const PackedBoxRow chosen = Box32Of(Keep, VariantOnFirstUse());
    RoutineOf(Keep).store(chosen, std::memory_order_relaxed);
    chosen(upper, lower, destination, width);
}

template <std::uint32_t Keep>
void Box32(const BYTE* upper, const BYTE* lower, BYTE* destination, UINT width) {
    RoutineOf(Keep).load(std::memory_order_relaxed)(upper, lower, destination, width);
}

}  // namespace

bool HasVectorPackedBox() {
#if defined(__SSE2__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

PackedBoxVariant PackedBoxVariantOf(D3DFORMAT format) {
    const std::uint32_t keep =
        format == D3DFMT_X8R8G8B8 || format == D3DFMT_X8B8G8R8 ? kColorBytes : kAllBytes;
    const PackedBoxRow current = RoutineOf(keep).load(std::memory_order_relaxed);
    if (current == Box32Of(keep, PackedBoxVariant::Plain)) {
        return PackedBoxVariant::Plain;
    }
    if (current == Box32Of(keep, PackedBoxVariant::Vector)) {
        return PackedBoxVariant::Vector;
    }
    return PackedBoxVariant::Unchosen;
}

void SetPackedBoxVariant(PackedBoxVariant variant) {
    if (variant == PackedBoxVariant::Unchosen) {
        argb32Routine.store(&ChooseBox32<kAllBytes>, std::memory_order_relaxed);
        xrgb32Routine.store(&ChooseBox32<kColorBytes>, std::memory_order_relaxed);
        return;
    }
    argb32Routine.store(Box32Of(kAllBytes, variant), std::memory_order_relaxed);
    xrgb32Routine.store(Box32Of(kColorBytes, variant), std::memory_order_relaxed);
}

PackedBoxRow FindPackedBoxRow(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_A8B8G8R8: return &Box32<kAllBytes>;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_X8B8G8R8: return &Box32<kColorBytes>;
        case D3DFMT_R5G6B5: return &AverageRow<std::uint16_t, 0xF81F, 0x07E0>;
        case D3DFMT_X1R5G5B5: return &AverageRow<std::uint16_t, 0x7C1F, 0x03E0>;
        case D3DFMT_A1R5G5B5: return &AverageRow<std::uint16_t, 0x7C1F, 0x83E0>;
        case D3DFMT_A4R4G4B4: return &AverageRow<std::uint16_t, 0x0F0F, 0xF0F0>;
        case D3DFMT_X4R4G4B4: return &AverageRow<std::uint16_t, 0x0F0F, 0x00F0>;
        case D3DFMT_R3G3B2: return &AverageRow<std::uint8_t, 0xE3, 0x1C>;
        case D3DFMT_A8:
        case D3DFMT_L8: return &AverageRow<std::uint8_t, 0xFF, 0>;
        case D3DFMT_A8R3G3B2: return &AverageRow<std::uint16_t, 0x00E3, 0xFF1C>;
        case D3DFMT_A8L8: return &AverageRow<std::uint16_t, 0x00FF, 0xFF00>;
        case D3DFMT_A4L4: return &AverageRow<std::uint8_t, 0x0F, 0xF0>;
        default: return nullptr;
    }
}
