// GetClientRect: the window's outer size less the frame every top-level
// window gets (a border on each side and the caption above), the same
// client area the SDL backend gives its SDL window.
#include <algorithm>

#include "runtime/win32/window_system.h"
#include "vellorn/win32_window.h"

BOOL GetClientRect(HWND handle, RECT* rect) {
    if (rect == nullptr) {
        return FALSE;
    }
    *rect = {0, 0, 0, 0};
    const Window* window = FindWindowRecord(handle);
    if (window == nullptr) {
        return FALSE;
    }
    rect->right = std::max(window->width - 2 * kFrameBorder, 0);
    rect->bottom = std::max(window->height - 2 * kFrameBorder - kCaptionHeight, 0);
    return TRUE;
}
