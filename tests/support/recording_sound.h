// A sound module for tests: every PlaySoundEffect call is recorded in order.
#pragma once

#include <vector>

std::vector<int>& PlayedSounds();
