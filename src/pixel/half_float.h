// Half floats: 1 sign bit, 5 exponent bits (bias 15), 10 mantissa bits. These
// halves have no infinities and no NaNs: exponent 31 is an ordinary exponent,
// so the largest half, 0x7FFF, is 131008.
#pragma once

#include <cstddef>
#include <cstdint>

// Exact: every half is a float. Denormals are normalised, zero keeps its sign.
float HalfToFloat(std::uint16_t half);

// Rounds to the nearest half, ties to even. Magnitudes of 131040 and above,
// infinities and NaNs included, become the largest half with the input's
// sign. Magnitudes below 2^-14 become half denormals: the significand is first
// truncated to the denormal's bits plus 13 and then rounded like a normal.
std::uint16_t FloatToHalf(float value);

// Row versions of the two conversions; same results as the single ones.
void HalfToFloatArray(float* out, const std::uint16_t* in, std::size_t n);
void FloatToHalfArray(std::uint16_t* out, const float* in, std::size_t n);
