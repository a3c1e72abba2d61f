// Test control of the runtime's clock. By default GetTickCount reads the
// system's monotonic clock and Sleep really sleeps; a test can install its own
// tick source to make the frame clock deterministic.
#pragma once

#include "vellorn/win32_types.h"

using TickSource = DWORD (*)();

// Installs source as the value of GetTickCount; nullptr restores the clock.
void SetTickSource(TickSource source);
