// Window geometry: the frame that AdjustWindowRect adds for a style, and the
// desktop size of GetSystemMetrics.
#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/sdl_window.h"
#include "runtime/win32/window_system.h"

namespace {

constexpr int kDefaultScreenWidth = 1920;
constexpr int kDefaultScreenHeight = 1080;

struct ScreenSize {
    int width = kDefaultScreenWidth;
    int height = kDefaultScreenHeight;
};

ScreenSize& HeadlessScreen() {
    static ScreenSize size;
    return size;
}

}  // namespace

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    if (rect == nullptr) {
        return FALSE;
    }
    // Only the frame bits grow the rectangle: a caption brings the full frame
    // (border and caption), a dialog or sizing frame the border alone, a plain
    // border one pixel. WS_SYSMENU and the other bits add nothing.
    int border = 0;
    int caption = 0;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        border = kFrameBorder;
        caption = kCaptionHeight;
    } else if ((style & (WS_DLGFRAME | WS_THICKFRAME)) != 0) {
        border = kFrameBorder;
    } else if ((style & WS_BORDER) != 0) {
        border = kThinBorder;
    }
    rect->left -= border;
    rect->right += border;
    rect->top -= border + caption + (menu ? kMenuBarHeight : 0);
    rect->bottom += border;
    return TRUE;
}

int GetSystemMetrics(int index) {
    if (index != SM_CXSCREEN && index != SM_CYSCREEN) {
        return 0;
    }
    int width = 0;
    int height = 0;
    if (ActiveBackend() == RuntimeBackend::Headless) {
        GetHeadlessScreenSize(&width, &height);
    } else if (!GetSdlDesktopSize(&width, &height)) {
        return 0;
    }
    return index == SM_CXSCREEN ? width : height;
}

void GetHeadlessScreenSize(int* width, int* height) {
    *width = HeadlessScreen().width;
    *height = HeadlessScreen().height;
}

void SetHeadlessScreenSize(int width, int height) {
    HeadlessScreen().width = width;
    HeadlessScreen().height = height;
}

void ResetHeadlessScreenSize() {
    HeadlessScreen() = ScreenSize{};
}
