// The end of the program: every platform object released in a fixed order.
#pragma once

#include "vellorn/win32_types.h"

// Stops and releases the sound bank, the controller, the keyboard and the
// DirectInput object, the sprite batcher, the atlas texture, the device and
// the Direct3D object, in that order, then unregisters the window class of
// instance. An object that was never made is skipped and every released one
// is emptied, so this is safe after any partial start-up.
void ShutDown(HINSTANCE instance);
