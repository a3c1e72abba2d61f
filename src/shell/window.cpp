#include "shell/window.h"

HWND mainWindow = nullptr;
std::uint8_t windowActive = 0;

namespace {

constexpr int kIconResource = 101;
constexpr int kSmallIconSize = 16;
// The outer rectangle handed to AdjustWindowRect, and the play area that the
// window is centred on.
constexpr LONG kOuterWidth = 646;
constexpr LONG kOuterHeight = 512;
constexpr int kPlayWidth = 640;
constexpr int kPlayHeight = 480;

}  // namespace

int InitWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "MainClass";
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON,
                                      kSmallIconSize, kSmallIconSize, LR_DEFAULTCOLOR));
    if (RegisterClassExA(&windowClass) == 0) {
        return 0;
    }

    // The adjusted rectangle's right and bottom edges are the outer size.
    RECT rect{0, 0, kOuterWidth, kOuterHeight};
    AdjustWindowRect(&rect, WS_SYSMENU, FALSE);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kPlayWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kPlayHeight) / 2;

    mainWindow = CreateWindowExA(0, "MainClass", "Vellorn", WS_SYSMENU, x, y, rect.right,
                                 rect.bottom, nullptr, nullptr, instance, nullptr);
    return mainWindow != nullptr ? 1 : 0;
}

LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            mainWindow = nullptr;
            return 0;
        case WM_ACTIVATE: windowActive = LOWORD(wParam) != 0 ? 1 : 0; break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
            break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
