// The game window: its class, its creation centred on the screen, and the
// window procedure that reacts to destruction, activation and Escape.
#pragma once

#include <cstdint>

#include "vellorn/win32_window.h"

// The game window; null before it is created and after it is destroyed.
extern HWND mainWindow;

// 1 while the game window is the active window, else 0. Written only by the
// window procedure; the frame update pauses play while it is 0.
extern std::uint8_t windowActive;

// Registers the window class "MainClass" and creates the game window into
// mainWindow. Returns 1 on success, 0 when registration or creation fails.
int InitWindow(HINSTANCE instance);

// The procedure of the game window's class.
LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
