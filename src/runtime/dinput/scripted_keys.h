// The keys a scripted run (runtime/win32/run_script.h) holds down, added to
// what the keyboard device reads in either backend.
#pragma once

#include "runtime/dinput/input_source.h"

// Marks the keys the installed script holds in the current frame as down
// (0x80) in a keyboard state indexed by DIK code.
void AddScriptedKeys(BYTE (&keys)[kKeyCount]);
