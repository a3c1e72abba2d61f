// The game's sounds as tests see them: the real sound module on the headless
// DirectMusic runtime, which records every play.
#pragma once

#include <vector>

// Sets up the sound module once per process (headless runtime, the committed
// effect files) and forgets the plays recorded so far.
void ResetPlayedSounds();

// The slot of every effect played since ResetPlayedSounds, in order: 0 for
// "wave01.wav", 1 for "wave02.wav".
std::vector<int> PlayedSounds();
