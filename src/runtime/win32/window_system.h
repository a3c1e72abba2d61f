// The runtime's window system: the class table, the window table, the focus
// and the message queue shared by the windowing files of both backends.
#pragma once

#include <string>

#include "vellorn/win32_window.h"

struct SDL_Window;

struct WindowClass {
    std::string name;
    HINSTANCE instance = nullptr;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
};

struct Window {
    HWND handle = nullptr;
    std::string className;
    std::string caption;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    bool visible = false;
    bool iconic = false;
    bool destroying = false;
    SDL_Window* sdlWindow = nullptr;  // SDL backend only
};

// The frame every top-level window gets: a border on each side and a caption
// above the client area.
inline constexpr int kFrameBorder = 3;
inline constexpr int kCaptionHeight = 26;
inline constexpr int kThinBorder = 1;
inline constexpr int kMenuBarHeight = 20;

// Classes. Names compare without regard to case.
const WindowClass* FindWindowClass(LPCSTR name, HINSTANCE instance);
void ForgetWindowClasses();

// Windows by handle; null for a handle that does not name a live window.
Window* FindWindowRecord(HWND handle);
// Finds the window whose SDL window has the given SDL id.
HWND FindWindowBySdlId(unsigned int sdlId);
bool ClassHasWindows(const std::string& className, HINSTANCE instance);
// Posts WM_CLOSE to every window not already being destroyed.
void PostCloseToEveryWindow();
void ForgetWindows();

// Calls the window's procedure at once (a sent message); 0 when the window
// does not exist.
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the focus to window (null: another program), sending WM_ACTIVATE to
// the window that loses it and the window that gains it.
void SetFocusWindow(HWND window);
void ForgetFocus();
// Marks the window minimised or restored.
void SetWindowIconic(HWND window, bool iconic);

// Posts the key message of a key going down or up, keeping the key state
// that TranslateMessage reads.
void PostKeyMessage(HWND window, int virtualKey, bool down, bool repeat);
bool IsKeyDown(int virtualKey);

// Drops the posted messages of a window (it is being destroyed).
void DropMessagesFor(HWND window);
void ForgetMessages();

// The headless desktop size.
void GetHeadlessScreenSize(int* width, int* height);
void ResetHeadlessScreenSize();

void ForgetMessageBoxes();
