// The window table and the window operations: creation, showing, destruction
// and the default window procedure.
#include <algorithm>
#include <map>
#include <memory>

#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/sdl_window.h"
#include "runtime/win32/window_system.h"

namespace {

struct WindowTable {
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    // Handles are never reused, so a stale handle never names a newer window.
    std::uintptr_t nextHandle = 0x10010;
};

bool& CreationFails() {
    static bool fails = false;
    return fails;
}

WindowTable& Windows() {
    static WindowTable table;
    return table;
}

void ReleaseSdlWindow(Window& window) {
    if (window.sdlWindow != nullptr) {
        SDL_DestroyWindow(window.sdlWindow);
        window.sdlWindow = nullptr;
    }
}

}  // namespace

Window* FindWindowRecord(HWND handle) {
    auto& windows = Windows().windows;
    auto found = windows.find(reinterpret_cast<std::uintptr_t>(handle));
    return found != windows.end() ? found->second.get() : nullptr;
}

HWND FindWindowBySdlId(unsigned int sdlId) {
    for (auto& [key, window] : Windows().windows) {
        if (window->sdlWindow != nullptr && SDL_GetWindowID(window->sdlWindow) == sdlId) {
            return window->handle;
        }
    }
    return nullptr;
}

bool ClassHasWindows(const std::string& className, HINSTANCE instance) {
    const auto& windows = Windows().windows;
    return std::any_of(windows.begin(), windows.end(), [&](const auto& entry) {
        return entry.second->className == className && entry.second->instance == instance;
    });
}

void PostCloseToEveryWindow() {
    for (const auto& [key, window] : Windows().windows) {
        if (!window->destroying) {
            PostMessageA(window->handle, WM_CLOSE, 0, 0);
        }
    }
}

void SetHeadlessWindowCreationFailure(bool fail) {
    CreationFails() = fail;
}

void ForgetWindows() {
    CreationFails() = false;
    for (auto& [key, window] : Windows().windows) {
        ReleaseSdlWindow(*window);
    }
    Windows() = WindowTable{};
}

LRESULT SendToWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* window = FindWindowRecord(handle);
    if (window == nullptr) {
        return 0;
    }
    // The procedure may destroy the window, so only its address is kept.
    const WNDPROC procedure = window->procedure;
    return procedure(handle, message, wParam, lParam);
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND /*parent*/, HMENU /*menu*/, HINSTANCE instance,
                     LPVOID /*param*/) {
    const WindowClass* windowClass = FindWindowClass(className, instance);
    // Only top-level windows exist here: there is nothing to host a child.
    if (windowClass == nullptr || (style & WS_CHILD) != 0) {
        return nullptr;
    }
    auto window = std::make_unique<Window>();
    WindowTable& table = Windows();
    window->handle = reinterpret_cast<HWND>(table.nextHandle);
    window->className = windowClass->name;
    window->caption = windowName != nullptr ? windowName : "";
    window->procedure = windowClass->procedure;
    window->instance = windowClass->instance;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->x = x;
    window->y = y;
    window->width = std::max(width, 0);
    window->height = std::max(height, 0);
    window->icon = windowClass->icon;
    window->smallIcon = windowClass->smallIcon;
    if (ActiveBackend() == RuntimeBackend::Headless && CreationFails()) {
        return nullptr;
    }
    if (ActiveBackend() == RuntimeBackend::Sdl) {
        window->sdlWindow = CreateSdlWindow(*window);
        if (window->sdlWindow == nullptr) {
            return nullptr;
        }
    }
    const HWND handle = window->handle;
    table.windows.emplace(table.nextHandle, std::move(window));
    table.nextHandle += 4;
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL ShowWindow(HWND handle, int command) {
    Window* window = FindWindowRecord(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    if (window->sdlWindow != nullptr) {
        ShowSdlWindow(window->sdlWindow, command);
    }
    switch (command) {
        case SW_HIDE:
            window->visible = false;
            if (GetForegroundWindow() == handle) {
                SetFocusWindow(nullptr);
            }
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            window->visible = true;
            window->iconic = true;
            if (GetForegroundWindow() == handle) {
                SetFocusWindow(nullptr);
            }
            break;
        default:
            // Showing a window normally restores it and brings it to the
            // front, which activates it.
            window->visible = true;
            window->iconic = false;
            SetFocusWindow(handle);
            break;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND handle) {
    // Nothing is painted through window messages here: the graphics device
    // presents into the client area itself. The call only checks the handle.
    return FindWindowRecord(handle) != nullptr ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND handle) {
    Window* window = FindWindowRecord(handle);
    if (window == nullptr || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    // A destroyed window first loses the focus, then hears of its end.
    if (GetForegroundWindow() == handle) {
        SetFocusWindow(nullptr);
    }
    SendToWindow(handle, WM_DESTROY, 0, 0);
    DropMessagesFor(handle);
    // Look the window up again: the procedure ran in between.
    if (Window* ending = FindWindowRecord(handle)) {
        ReleaseSdlWindow(*ending);
        Windows().windows.erase(reinterpret_cast<std::uintptr_t>(handle));
    }
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

BOOL IsIconic(HWND handle) {
    const Window* window = FindWindowRecord(handle);
    return window != nullptr && window->iconic ? TRUE : FALSE;
}

void SetWindowIconic(HWND handle, bool iconic) {
    if (Window* window = FindWindowRecord(handle)) {
        window->iconic = iconic;
    }
}
