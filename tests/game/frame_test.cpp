#include "game/frame.h"

#include <gtest/gtest.h>

#include "game/random.h"
#include "runtime/win32/ticks.h"
#include "shell/window.h"
#include "support/game_fixture.h"

namespace {

DWORD fakeTicks = 0;
int tickReads = 0;
DWORD ReadFakeTicks() {
    ++tickReads;
    return fakeTicks;
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        OpenMaze(gameState.maze);
        PlaceAtRest(gameState.actors[kPlayer], 0, 0, kRight, kPlayerSpeed);
        tickReads = 0;
        SetTickSource(ReadFakeTicks);
    }
    void TearDown() override { SetTickSource(nullptr); }

    // One frame ending at the given tick count.
    void FrameAt(DWORD ticks) {
        fakeTicks = ticks;
        UpdateFrame();
    }
};

struct ClockCase {
    const char* name;
    DWORD lastTick;
    DWORD thisTick;
    float dt;
};

class ClockStepTest : public FrameTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(ClockStepTest, MeasuresTheStepModuloTwoToThe32) {
    const ClockCase c = GetParam();
    gameState.clock.lastTick = c.lastTick;
    FrameAt(c.thisTick);
    EXPECT_EQ(gameState.clock.dt, c.dt);
    EXPECT_EQ(gameState.clock.lastTick, c.thisTick);
    EXPECT_EQ(gameState.clock.thisTick, c.thisTick);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClockStepTest,
    ::testing::Values(ClockCase{"Ordinary", 1000, 1016, static_cast<float>(16 * 0.001)},
                      ClockCase{"Unmoved", 5000, 5000, 0.0f},
                      ClockCase{"Wrap", 0xFFFFFFF6u, 6, static_cast<float>(16 * 0.001)},
                      ClockCase{"LongPause", 0, 3600000, 3600.0f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameTest, PlayRunsOneFrameBehindTheClock) {
    gameState.clock.lastTick = 100;
    gameState.input.inRight = 1;
    FrameAt(200);  // applies dt 0: the step begins, measures 0.1 s
    EXPECT_EQ(gameState.actors[kPlayer].x, kRestX);
    FrameAt(210);  // applies 0.1 s
    EXPECT_FLOAT_EQ(gameState.actors[kPlayer].x, kRestX + 15.0f);
    EXPECT_FLOAT_EQ(gameState.clock.dt, 0.01f);
}

TEST_F(FrameTest, InactiveWindowFreezesPlayAndClock) {
    gameState.clock.lastTick = 0;
    gameState.input.inRight = 1;
    FrameAt(100);
    FrameAt(200);
    const GameState before = gameState;
    const int readsBefore = tickReads;

    windowActive = 0;
    SeedRandom(1);
    for (DWORD t = 300; t < 5000; t += 100) {
        FrameAt(t);
    }
    EXPECT_EQ(tickReads, readsBefore);
    EXPECT_EQ(gameState.actors[kPlayer].x, before.actors[kPlayer].x);
    EXPECT_EQ(gameState.clock.animPhase, before.clock.animPhase);
    EXPECT_EQ(gameState.clock.lastTick, 200u);
    EXPECT_EQ(gameState.clock.dt, before.clock.dt);
    EXPECT_EQ(DrawRandom(), 41);  // the enemy was not steered either

    // Back to active: the first frame applies the old step and measures the
    // whole pause.
    windowActive = 1;
    FrameAt(5000);
    EXPECT_FLOAT_EQ(gameState.actors[kPlayer].x, before.actors[kPlayer].x + 15.0f);
    EXPECT_FLOAT_EQ(gameState.clock.dt, 4.8f);
    // The next frame applies the long step: the walk ends exactly on its cell.
    FrameAt(5010);
    EXPECT_EQ(gameState.actors[kPlayer].x, kRestX + kCellSize);
    EXPECT_EQ(gameState.actors[kPlayer].moving, 0);
}

TEST_F(FrameTest, AnimationPhaseFallsByOnePerFrameAfterALongStep) {
    gameState.clock.lastTick = 0;
    FrameAt(3250);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 2.25f);
    FrameAt(3250);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 1.25f);
    FrameAt(3250);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 0.25f);
    FrameAt(3250);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 0.25f);
    FrameAt(3750);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 0.75f);
    FrameAt(4000);
    EXPECT_FLOAT_EQ(gameState.clock.animPhase, 0.0f);
}

TEST_F(FrameTest, UnmovedClockStillSteersTheEnemy) {
    PlaceAtRest(gameState.actors[kEnemy], 5, 5, kDown, 100.0f);
    gameState.clock.lastTick = 700;
    FrameAt(700);
    FrameAt(700);
    EXPECT_EQ(gameState.actors[kEnemy].moving, 1);
    EXPECT_EQ(gameState.actors[kEnemy].y, RestY(5));
}

}  // namespace
