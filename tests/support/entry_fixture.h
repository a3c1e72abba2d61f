// The program's entry run in-process on the headless runtime as the program
// runs it: WinMain with the program's own instance, in a fresh directory that
// holds the shipped assets. Set-up and tear-down leave the runtime and the
// game's process-wide objects as a new process would have them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "vellorn/win32_system.h"

// Copies the shipped bitmap.png, wave01.wav and wave02.wav into directory.
void CopyAssetsTo(const std::string& directory);

class EntryFixture : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs WinMain and returns its result.
    static int RunGame();

    static inline const HINSTANCE kInstance = GetModuleHandleA(nullptr);
    // The directory the game runs in.
    std::string directory_;

  private:
    std::string saved_;
};
