// The test hooks of the headless window system.
#include "runtime/win32/headless_window.h"

#include "runtime/win32/window_system.h"

void HeadlessActivate(HWND window) {
    SetFocusWindow(window);
}

void HeadlessPressKey(HWND window, int virtualKey) {
    PostKeyMessage(window, virtualKey, true, IsKeyDown(virtualKey));
}

void HeadlessReleaseKey(HWND window, int virtualKey) {
    PostKeyMessage(window, virtualKey, false, false);
}

void HeadlessClickClose(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void HeadlessMinimise(HWND window, bool minimised) {
    if (FindWindowRecord(window) == nullptr) {
        return;
    }
    SetWindowIconic(window, minimised);
    if (minimised) {
        if (GetForegroundWindow() == window) {
            SetFocusWindow(nullptr);
        }
    } else {
        SetFocusWindow(window);
    }
}

HeadlessWindowInfo GetHeadlessWindowInfo(HWND handle) {
    HeadlessWindowInfo info;
    const Window* window = FindWindowRecord(handle);
    if (window == nullptr) {
        return info;
    }
    info.exists = true;
    info.visible = window->visible;
    info.caption = window->caption;
    info.className = window->className;
    info.x = window->x;
    info.y = window->y;
    info.width = window->width;
    info.height = window->height;
    info.clientWidth = window->width > 2 * kFrameBorder ? window->width - 2 * kFrameBorder : 0;
    const int frameHeight = 2 * kFrameBorder + kCaptionHeight;
    info.clientHeight = window->height > frameHeight ? window->height - frameHeight : 0;
    info.icon = window->icon;
    info.smallIcon = window->smallIcon;
    return info;
}

void ResetHeadlessWindowing() {
    ForgetWindows();
    ForgetWindowClasses();
    ForgetFocus();
    ForgetMessages();
    ForgetMessageBoxes();
    ResetHeadlessScreenSize();
}
