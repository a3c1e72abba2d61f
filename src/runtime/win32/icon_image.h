// Icons and cursors as the runtime holds them behind HICON and HCURSOR.
#pragma once

#include <cstdint>
#include <vector>

#include "vellorn/win32_window.h"

struct HICON__ {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // rows from the top, not premultiplied
};

struct HCURSOR__ {
    int systemCursor = 0;  // the IDC_* number
};
