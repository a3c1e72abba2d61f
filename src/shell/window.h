// The game window's state as the rest of the program sees it.
#pragma once

#include <cstdint>

// 1 while the game window is the active window, else 0. Written only by the
// window procedure; the frame update pauses play while it is 0.
extern std::uint8_t windowActive;
