#include "pixel/half_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

float FromBits(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// The narrowing as a plain sequence of steps: clamp, rebase or shift the
// significand, round half to even at bit 13. Independent of the library's
// branch-free arithmetic.
std::uint16_t ReferenceFloatToHalf(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t magnitude = bits & 0x7FFFFFFFu;
    if (magnitude > 0x47FFEFFFu) {
        return static_cast<std::uint16_t>(sign | 0x7FFFu);
    }
    std::uint32_t v;
    if (magnitude >= 0x38800000u) {
        v = magnitude - (112u << 23);
    } else {
        const std::uint32_t shift = 113u - (magnitude >> 23);
        v = shift > 31 ? 0 : (0x800000u | (magnitude & 0x7FFFFFu)) >> shift;
    }
    return static_cast<std::uint16_t>(sign | ((v + 0x0FFFu + ((v >> 13) & 1u)) >> 13));
}

// The value a half stands for, computed in double.
double ReferenceHalfValue(std::uint16_t half) {
    const int exponent = (half >> 10) & 0x1F;
    const int mantissa = half & 0x3FF;
    const double magnitude =
        exponent == 0 ? std::ldexp(mantissa, -24) : std::ldexp(1024 + mantissa, exponent - 25);
    return (half & 0x8000) != 0 ? -magnitude : magnitude;
}

TEST(HalfFloatTest, EveryHalfReadsAsItsValueAndNarrowsBackToItself) {
    // Holds for all 65536 codes: exponent 31 is ordinary (0x7FFF is 131008,
    // bits 0x47FFE000, below the clamp), denormals are exact floats, and a
    // float that is exactly a half has nothing below bit 13 to round.
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
        const auto half = static_cast<std::uint16_t>(code);
        const float value = HalfToFloat(half);
        ASSERT_EQ(static_cast<double>(value), ReferenceHalfValue(half)) << std::hex << code;
        ASSERT_EQ(std::signbit(value), (code & 0x8000) != 0) << std::hex << code;
        ASSERT_EQ(FloatToHalf(value), half) << std::hex << code;
    }
}

TEST(HalfFloatTest, RowVersionsMatchSingleConversionsForEveryHalf) {
    std::vector<std::uint16_t> halves(0x10000 + 3);
    for (std::size_t i = 0; i < halves.size(); ++i) {
        halves[i] = static_cast<std::uint16_t>(i * 40503u);  // odd multiplier: a permutation
    }
    // Odd lengths and a start off the vector alignment reach the tail loop.
    for (const std::size_t start : {std::size_t{0}, std::size_t{1}}) {
        const std::size_t n = halves.size() - start;
        std::vector<float> floats(n);
        HalfToFloatArray(floats.data(), halves.data() + start, n);
        std::vector<std::uint16_t> back(n);
        FloatToHalfArray(back.data(), floats.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(floats[i]),
                      std::bit_cast<std::uint32_t>(HalfToFloat(halves[start + i])))
                << i;
            ASSERT_EQ(back[i], halves[start + i]) << i;
        }
    }
}

TEST(HalfFloatTest, NarrowingMatchesTheStepwiseRuleAcrossFloatBitPatterns) {
    std::vector<float> inputs;
    // A sparse sweep of all 2^32 patterns (both signs, NaNs, denormals) ...
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 977) {
        inputs.push_back(FromBits(static_cast<std::uint32_t>(bits)));
    }
    // ... and every pattern around the places where the rules change: the
    // clamp, the smallest normal half, and the last non-zero denormal.
    for (const std::uint32_t centre : {0x47FFF000u, 0x38800000u, 0x33000000u, 0x32800000u}) {
        for (std::uint32_t bits = centre - 0x40000; bits < centre + 0x40000; ++bits) {
            inputs.push_back(FromBits(bits));
            inputs.push_back(FromBits(bits | 0x80000000u));
        }
    }
    std::vector<std::uint16_t> row(inputs.size());
    FloatToHalfArray(row.data(), inputs.data(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::uint16_t expected = ReferenceFloatToHalf(inputs[i]);
        ASSERT_EQ(FloatToHalf(inputs[i]), expected)
            << std::hex << std::bit_cast<std::uint32_t>(inputs[i]);
        ASSERT_EQ(row[i], expected) << std::hex << std::bit_cast<std::uint32_t>(inputs[i]);
    }
}

struct NarrowCase {
    std::uint32_t floatBits;
    std::uint16_t half;
    const char* what;
};

class HalfFloatNarrowTest : public testing::TestWithParam<NarrowCase> {};

TEST_P(HalfFloatNarrowTest, Narrows) {
    const NarrowCase& c = GetParam();
    const float value = FromBits(c.floatBits);
    EXPECT_EQ(FloatToHalf(value), c.half) << c.what;
    std::uint16_t row[9];
    float in[9];
    for (float& f : in) {
        f = value;
    }
    FloatToHalfArray(row, in, 9);
    for (const std::uint16_t h : row) {
        EXPECT_EQ(h, c.half) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    HandComputed, HalfFloatNarrowTest,
    testing::Values(
        NarrowCase{0x3F800000u, 0x3C00, "1.0"}, NarrowCase{0xC0000000u, 0xC000, "-2.0"},
        NarrowCase{0x3DCCCCCDu, 0x2E66, "0.1: remainder 0xCCD rounds down"},
        NarrowCase{0x477FE000u, 0x7BFF, "65504"},
        NarrowCase{0x47800000u, 0x7C00, "65536 is an ordinary value, not infinity"},
        NarrowCase{0x47FFE000u, 0x7FFF, "131008, the largest half"},
        NarrowCase{0x47FFD000u, 0x7FFE, "tie between 0x7FFE and 0x7FFF goes to even"},
        NarrowCase{0x47FFEFFFu, 0x7FFF, "last pattern below the clamp rounds to 131008"},
        NarrowCase{0x47FFF000u, 0x7FFF, "first clamped pattern; rounding alone would carry out"},
        NarrowCase{0xC7FFF000u, 0xFFFF, "clamped negative keeps the sign"},
        NarrowCase{0x48435000u, 0x7FFF, "200000"}, NarrowCase{0x7F800000u, 0x7FFF, "+infinity"},
        NarrowCase{0xFF800000u, 0xFFFF, "-infinity"}, NarrowCase{0x7FC00000u, 0x7FFF, "NaN"},
        NarrowCase{0x3F801000u, 0x3C00, "1 + 2^-11: tie, 0x3C00 is even"},
        NarrowCase{0x3F803000u, 0x3C02, "1 + 3 * 2^-11: tie, rounds up to even"},
        NarrowCase{0x3F801001u, 0x3C01, "just above a tie rounds up"},
        NarrowCase{0x38800000u, 0x0400, "2^-14, the smallest normal half"},
        NarrowCase{0x38000000u, 0x0200, "2^-15, a denormal"},
        NarrowCase{0x387FC000u, 0x03FF, "the largest denormal"},
        NarrowCase{0x33800000u, 0x0001, "2^-24, the smallest denormal"},
        NarrowCase{0x33C00000u, 0x0002, "1.5 x smallest denormal: tie, rounds up to even"},
        NarrowCase{0x34200000u, 0x0002, "2.5 x smallest denormal: tie, rounds down to even"},
        NarrowCase{0x33400000u, 0x0001, "0.75 x smallest denormal"},
        NarrowCase{0x33000000u, 0x0000, "half the smallest denormal: tie to even 0"},
        // The significand is cut to 13 bits below the denormal before the
        // rounding, so a value a hair above this tie still ties.
        NarrowCase{0x33000001u, 0x0000, "just above half the smallest denormal"},
        NarrowCase{0x32FFFFFFu, 0x0000, "below half the smallest denormal"},
        NarrowCase{0xB2800000u, 0x8000, "-2^-26 becomes negative zero"},
        NarrowCase{0x00000001u, 0x0000, "float denormal"}, NarrowCase{0x00000000u, 0x0000, "+0"},
        NarrowCase{0x80000000u, 0x8000, "-0"}));

TEST(HalfFloatTest, ReadsHandComputedValues) {
    struct Case {
        std::uint16_t half;
        float value;
    };
    const Case cases[] = {
        {0x3C00, 1.0f},      {0xC000, -2.0f},        {0x7C00, 65536.0f},        {0xFC00, -65536.0f},
        {0x7FFF, 131008.0f}, {0x7BFF, 65504.0f},     {0x0400, 0x1p-14f},        {0x0001, 0x1p-24f},
        {0x8001, -0x1p-24f}, {0x03FF, 0x1.ff8p-15f}, {0x3555, 0.333251953125f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HalfToFloat(c.half), c.value) << std::hex << c.half;
        EXPECT_FALSE(std::isinf(HalfToFloat(c.half)));
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(HalfToFloat(0x8000)), 0x80000000u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(HalfToFloat(0x0000)), 0x00000000u);
}

}  // namespace
