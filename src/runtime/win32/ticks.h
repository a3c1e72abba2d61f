// Test control of the runtime's clock. By default GetTickCount reads the
// system's monotonic clock and Sleep really sleeps; a test can install its own
// tick source to make the frame clock deterministic, and its own sleep, which
// then runs in place of the wait (a program that sleeps once per frame thus
// hands the test a turn per frame).
#pragma once

#include "vellorn/win32_types.h"

using TickSource = DWORD (*)();
using SleepHandler = void (*)(DWORD milliseconds);

// Installs source as the value of GetTickCount; nullptr restores the clock.
void SetTickSource(TickSource source);

// Installs handler to run instead of every Sleep; nullptr restores waiting.
void SetSleepHandler(SleepHandler handler);
