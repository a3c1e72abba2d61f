// Test control of the headless windowing backend. Windows of the headless
// backend exist only in memory; these hooks stand in for the user and the
// desktop: they move the focus, press keys, click the close button, minimise
// and restore, set the screen size and script message-box answers. Each hook
// delivers its messages the way the SDL backend does for the matching event.
#pragma once

#include <string>
#include <vector>

#include "vellorn/win32_window.h"

// Gives the focus to window, or to another program when window is null: the
// window losing it receives WM_ACTIVATE with WA_INACTIVE, the window gaining
// it WM_ACTIVATE with WA_ACTIVE, both sent at once to their procedures.
// GetForegroundWindow then answers window. A window that does not exist
// counts as another program.
void HeadlessActivate(HWND window);

// A key goes down (or up) in window: posts WM_KEYDOWN (WM_KEYUP) with the
// virtual-key code to the message queue.
void HeadlessPressKey(HWND window, int virtualKey);
void HeadlessReleaseKey(HWND window, int virtualKey);

// The user clicks the window's close button: posts WM_CLOSE.
void HeadlessClickClose(HWND window);

// Minimises (true) or restores (false) the window. Minimising takes the
// focus away from it when it has it; restoring gives it back.
void HeadlessMinimise(HWND window, bool minimised);

// The desktop size that GetSystemMetrics reports. Defaults to 1920 x 1080.
void SetHeadlessScreenSize(int width, int height);

// While set, CreateWindowExA fails as when the platform cannot make a window.
void SetHeadlessWindowCreationFailure(bool fail);

// The client area of a window, and its outer position and size, as created.
struct HeadlessWindowInfo {
    bool exists = false;
    bool visible = false;
    std::string caption;
    std::string className;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};
HeadlessWindowInfo GetHeadlessWindowInfo(HWND window);

// Every MessageBoxA call of the headless backend is recorded.
struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};
const std::vector<MessageBoxRecord>& RecordedMessageBoxes();

// Queues the answer to the next message box. Without a queued answer a box
// is answered with its default button (MB_DEFBUTTON1..3), as if the user had
// pressed Return.
void QueueMessageBoxAnswer(int answer);

// Forgets every window, class, queued message, pending quit, recorded message
// box and queued answer, and restores the default screen size and creation. Window
// procedures are not called.
void ResetHeadlessWindowing();
