#include "runtime/win32/ticks.h"

#include <gtest/gtest.h>

#include "vellorn/win32_system.h"

namespace {

TEST(TicksTest, SleepAdvancesTheRealTickCount) {
    const DWORD before = GetTickCount();
    Sleep(25);
    const DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 5000u);
}

DWORD fixedTicks() {
    return 0xFFFFFFF0u;
}

TEST(TicksTest, InstalledSourceReplacesTheClockUntilRemoved) {
    SetTickSource(fixedTicks);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    SetTickSource(nullptr);
    EXPECT_NE(GetTickCount(), 0xFFFFFFF0u);
}

DWORD slept = 0;
void RecordSleep(DWORD milliseconds) {
    slept += milliseconds;
}

TEST(TicksTest, InstalledSleepRunsInsteadOfWaitingUntilRemoved) {
    SetSleepHandler(RecordSleep);
    const DWORD before = GetTickCount();
    Sleep(2000);
    Sleep(500);
    EXPECT_EQ(slept, 2500u);
    EXPECT_LT(GetTickCount() - before, 1000u) << "the handler replaces the wait";
    SetSleepHandler(nullptr);
    Sleep(1);
    EXPECT_EQ(slept, 2500u);
}

}  // namespace
