// Runs the program's entry on the headless runtime as the program runs it:
// WinMain with the program's own instance, in a directory holding the shipped
// assets, with the calendar time fixed so that the game is seeded the same way
// every run. A script takes a turn at every frame (the loop's Sleep) on a fake
// clock that advances by the time each Sleep asks for.
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

// Copies bitmap.png, wave01.wav and wave02.wav into directory.
void CopyAssetsTo(const std::string& directory);

// The sounds played so far, by file name without the directory, oldest first.
std::vector<std::string> PlayedSoundFiles();

class EntryTest : public testing::Test {
  protected:
    // The calendar time each test starts with, and so the game's seed.
    static constexpr std::time_t kCalendarTime = 1700000000;

    void SetUp() override;
    void TearDown() override;

    static int RunGame();

    static inline const HINSTANCE kInstance = GetModuleHandleA(nullptr);
    std::string saved_;
    std::string directory_;
};
