// The blend kernels: on a processor with AVX2, ModulateBlendRows runs the
// AVX2 kernel, whose bytes the sprite path's equivalence test compares with
// the general pipeline; the portable kernel used elsewhere must give the
// same bytes for every colour, alpha test, target kind and row length.
#include "runtime/d3d9/modulate_blend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using vellorn_d3d9::ModulateBlend;

std::uint32_t NextRandom(std::uint32_t* seed) {
    *seed = *seed * 1664525u + 1013904223u;
    return *seed;
}

TEST(ModulateBlendTest, PortableKernelMatchesTheVectorKernel) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (!__builtin_cpu_supports("avx2")) {
        GTEST_SKIP() << "no AVX2 kernel to compare with";
    }
#else
    GTEST_SKIP() << "no AVX2 kernel to compare with";
#endif
    std::uint32_t seed = 2024;
    constexpr int kLength = 37;
    std::vector<std::uint32_t> texels(kLength);
    std::vector<std::uint32_t> background(kLength);
    for (int i = 0; i < kLength; ++i) {
        // opaque, transparent and translucent texels, in runs and alone
        const std::uint32_t random = NextRandom(&seed);
        const std::uint32_t alpha = i % 9 < 4 ? 0xFFu : (i % 9 < 6 ? 0u : random >> 24);
        texels[i] = (alpha << 24) | (random & 0x00FFFFFFu);
        background[i] = NextRandom(&seed);
    }
    for (const std::uint32_t color : {0xFFFFFFFFu, 0x80C0FF40u, 0x00FFFFFFu}) {
        for (const bool targetHasAlpha : {true, false}) {
            for (const int keep : {-1, 0, 0x7F, 0xFE, 255}) {
                const ModulateBlend blend{color, targetHasAlpha, keep};
                for (int count = 0; count <= kLength; ++count) {
                    std::vector<std::uint32_t> vector = background;
                    std::vector<std::uint32_t> portable = background;
                    vellorn_d3d9::ModulateBlendRows(blend, vector.data(), 0, texels.data(), 0,
                                                    count, 1);
                    vellorn_d3d9::ModulateBlendRowPortable(blend, portable.data(), texels.data(),
                                                           count);
                    ASSERT_EQ(vector, portable)
                        << std::hex << "colour " << color << " keep " << keep << " alpha target "
                        << targetHasAlpha << std::dec << " count " << count;
                }
            }
        }
    }
}

}  // namespace
