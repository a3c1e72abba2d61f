// The SDL2 side of the window system: the video subsystem, one SDL window per
// window, and the translation of SDL events into window messages.
#pragma once

#include <SDL.h>

#include "runtime/win32/window_system.h"

// Starts SDL's video subsystem on first use; false when no display can be
// opened. The answer is kept: a display that is missing stays missing.
bool InitSdlVideo();

// Creates the hidden SDL window of window: its client area is the outer size
// less the frame, placed where the frame puts it, with the window's caption
// and icon. Null when SDL cannot create it.
SDL_Window* CreateSdlWindow(const Window& window);

void ShowSdlWindow(SDL_Window* sdlWindow, int command);

bool GetSdlDesktopSize(int* width, int* height);

// Takes the window and keyboard events waiting in SDL's queue and turns them
// into window messages: focus into WM_ACTIVATE, keys into WM_KEYDOWN and
// WM_KEYUP, the close button into WM_CLOSE, a request to end the process
// (SIGINT, SIGTERM) into WM_CLOSE for every window, minimise and restore into
// the window's minimised state. Every other event is discarded: the input
// runtime reads the keyboard and controllers by polling their state.
void PumpSdlEvents();

// The virtual-key code of an SDL key, or 0 for keys without one.
int VirtualKeyFromSdl(SDL_Keycode key);
