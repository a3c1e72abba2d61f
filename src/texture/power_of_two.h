// Powers of two of texture extents, computed in 64 bits so that no extent a
// UINT holds makes the search wrap or run forever.
#pragma once

#include <cstdint>

#include "vellorn/win32_types.h"

inline bool IsPowerOfTwo(UINT value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// The smallest power of two not below value, at most 2^31 (the largest a
// UINT holds).
inline UINT PowerOfTwoAtLeast(UINT value) {
    constexpr std::uint64_t kLargest = std::uint64_t{1} << 31;
    std::uint64_t power = 1;
    while (power < value && power < kLargest) {
        power *= 2;
    }
    return static_cast<UINT>(power);
}
