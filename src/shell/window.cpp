#include "shell/window.h"

std::uint8_t windowActive = 0;
