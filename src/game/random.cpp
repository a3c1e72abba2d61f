#include "game/random.h"

namespace {

std::uint32_t randomState = 1;

}  // namespace

void SeedRandom(std::uint32_t seed) {
    randomState = seed;
}

int DrawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

int RandomInt(int a, int b) {
    if (a < 0 || b < a) {
        return 0;
    }
    // The width is formed in 64 bits so that [0, INT_MAX] does not overflow.
    const long long width = static_cast<long long>(b) - a + 1;
    return static_cast<int>(a + DrawRandom() % width);
}
