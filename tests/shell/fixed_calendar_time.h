// The calendar time the program reads, fixed by a test. The entry seeds the
// game's random generator with it, so a fixed time gives a known maze and a
// known enemy. Programs linked with -Wl,--wrap=time see the fixed value in
// every call to time().
#pragma once

#include <ctime>
#include <optional>

// Fixes what time() answers; std::nullopt gives the real time again.
void FixCalendarTime(std::optional<std::time_t> seconds);
