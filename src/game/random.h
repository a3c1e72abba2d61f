// The game's random numbers: the runtime library's linear congruential
// generator (state * 214013 + 2531011, 15-bit draws), reproduced exactly so
// that a seed always gives the same game.
#pragma once

#include <cstdint>

// Sets the generator's state. It is 1 until seeded.
void SeedRandom(std::uint32_t seed);

// One draw: advances the state and returns bits 16 to 30 of it (0..32767).
int DrawRandom();

// An integer in [a, b] from one draw; 0 without drawing if a < 0 or b < a.
int RandomInt(int a, int b);
