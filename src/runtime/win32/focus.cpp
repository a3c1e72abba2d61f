// The focus: which window receives the user's input, and the WM_ACTIVATE
// messages sent when it moves.
#include "runtime/win32/window_system.h"

namespace {

HWND& Foreground() {
    static HWND foreground = nullptr;
    return foreground;
}

WPARAM ActivateParameter(WORD state, HWND window) {
    // The high word tells whether the window is minimised.
    return static_cast<WPARAM>(state) | (IsIconic(window) ? 0x10000u : 0u);
}

}  // namespace

HWND GetForegroundWindow() {
    // A window destroyed while in front leaves another program in front.
    if (Foreground() != nullptr && FindWindowRecord(Foreground()) == nullptr) {
        Foreground() = nullptr;
    }
    return Foreground();
}

void SetFocusWindow(HWND window) {
    if (window != nullptr && FindWindowRecord(window) == nullptr) {
        window = nullptr;
    }
    const HWND previous = GetForegroundWindow();
    if (previous == window) {
        return;
    }
    // The new state is in place before any procedure runs, so a procedure
    // asking for the foreground window sees the outcome.
    Foreground() = window;
    if (previous != nullptr) {
        SendToWindow(previous, WM_ACTIVATE, ActivateParameter(WA_INACTIVE, previous),
                     reinterpret_cast<LPARAM>(window));
    }
    if (window != nullptr && Foreground() == window) {
        SendToWindow(window, WM_ACTIVATE, ActivateParameter(WA_ACTIVE, window),
                     reinterpret_cast<LPARAM>(previous));
    }
}

void ForgetFocus() {
    Foreground() = nullptr;
}
