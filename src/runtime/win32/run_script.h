// A scripted run: the runtime stands in for the user and the clocks, so that a
// program plays the same way every time, on either backend. While a script is
// installed, GetTickCount counts only the milliseconds passed to Sleep, from a
// fixed start; time() answers the script's calendar time; and the script holds
// keys down over numbered frames, where frame n is what the program does after
// its nth Sleep since the script was installed (a game that sleeps once per
// frame thus sees the same input at the same frame every run). A key held over
// frames a..b is down on the keyboard device during them, and its key messages
// reach the foreground window: WM_KEYDOWN during the Sleep that begins frame
// a, WM_KEYUP during the one that begins frame b + 1.
//
// A program installs a script from the environment variable VELLORN_SCRIPT the
// first time it reads a clock or sleeps; a tool or test installs one
// in-process. The text is comma-separated items:
//
//   time=SECONDS      time() answers SECONDS (otherwise the system's time)
//   KEY:FIRST-LAST    KEY is held over frames FIRST to LAST
//   KEY:FRAME         KEY is held over that one frame
//
// KEY is an SDL key name ("Right", "Escape", "Return", "A"); frames count from
// 1. For example "time=1700000000,Right:1-30,Escape:60".
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vellorn/win32_types.h"

struct ScriptedKey {
    int scancode;    // SDL scancode: the key as the keyboard device reads it
    int virtualKey;  // the key of its window messages; 0 for a key without one
    int firstFrame;
    int lastFrame;

    bool operator==(const ScriptedKey&) const = default;
};

struct RunScript {
    std::optional<std::time_t> calendarTime;
    std::vector<ScriptedKey> keys;
};

// GetTickCount's answer before the first Sleep of a scripted run.
inline constexpr DWORD kScriptStartTick = 0x10000;

// Reads a script's text. False, with the reason in *error, when an item is
// malformed, names no key, or has frames that are not 1 <= FIRST <= LAST.
bool ParseRunScript(std::string_view text, RunScript* script, std::string* error);

// Starts a scripted run at frame 0, replacing any tick source or sleep handler
// (runtime/win32/ticks.h) with the script's own. Sleep still waits as long as
// it is asked to, so that a window on the display shows the run. A tick source
// or sleep handler set after this takes the clock over from the script (its
// frames and keys then stand still) while time() goes on answering the
// script's calendar time: a test fixes the seed that way and drives frames on
// its own clock. False, with nothing changed, when there is no memory for a
// copy of the script.
bool InstallRunScript(const RunScript& script);

// Ends the scripted run: the clocks are the system's again and no tick source
// or sleep handler is installed. The environment is not read again.
void RemoveRunScript();

// The installed script, or null; the first call reads VELLORN_SCRIPT (a
// malformed one is ignored with one warning on stderr).
const RunScript* ActiveRunScript();

// The frame the scripted run is in: the Sleeps since it was installed.
int ScriptFrame();

// Whether the script holds key down in the current frame.
bool ScriptHoldsKey(const ScriptedKey& key);
