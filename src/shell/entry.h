// The program's entry: platform start-up in a fixed order, a new game, the
// message-and-frame loop, and the shutdown.
#pragma once

#include "vellorn/win32_types.h"

// Only instance is used; the window is always shown normally. Returns 0 when
// a start-up step fails (after telling the user in a message box), else the
// exit code carried by the quit message.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
