// The program's entry run in-process on the headless runtime as the program
// runs it: WinMain with the program's own instance, in a fresh directory that
// holds the shipped assets. Set-up and tear-down leave the runtime and the
// game's process-wide objects as a new process would have them.
//
// Each test starts with the calendar time fixed at kCalendarTime through the
// runtime's scripted run (runtime/win32/run_script.h), so the entry seeds the
// same maze and the same enemy every run, and with a per-frame script on a
// fake clock: the loop's one Sleep per frame advances the clock by what it
// asks for, without waiting, and gives the script's onFrame its turn. A test
// that installs a scripted run of its own replaces both.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "vellorn/win32_system.h"

struct Script {
    int frames = 0;
    // A run that has not ended after this many frames has lost its way; the
    // script then closes the window so that the test ends.
    int frameLimit = 2000;
    DWORD now = 0x10000;
    std::function<void(int frame)> onFrame;
};
extern Script script;

// Copies the shipped bitmap.png, wave01.wav and wave02.wav into directory.
void CopyAssetsTo(const std::string& directory);

// The sounds played so far, by file name without the directory, oldest first.
std::vector<std::string> PlayedSoundFiles();

class EntryFixture : public testing::Test {
  protected:
    // The calendar time each test starts with, and so the game's seed.
    static constexpr std::time_t kCalendarTime = 1700000000;

    void SetUp() override;
    void TearDown() override;

    // Fixes the calendar time the game reads from now on, keeping the
    // per-frame script and its clock.
    static void FixCalendarTime(std::time_t seconds);

    // Runs WinMain and returns its result.
    static int RunGame();

    static inline const HINSTANCE kInstance = GetModuleHandleA(nullptr);
    // The directory the game runs in.
    std::string directory_;

  private:
    std::string saved_;
};
