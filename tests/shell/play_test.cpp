// Whole games through the program's entry on the headless runtime. The
// calendar time is fixed, so the entry seeds the same maze and the same enemy
// every run; the scripted player finds its way through the maze it is shown
// (a shortest route, one arrow key per step), so the keys follow from the
// game's own state rather than from a recorded sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "game/maze.h"
#include "game/random.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/win32/headless_window.h"
#include "shell/window.h"
#include "support/entry_fixture.h"
#include "support/maze_route.h"

namespace {

constexpr MazeCell kStartCell{0, 0};
constexpr MazeCell kBottomRight{kMazeColumns - 1, kMazeRows - 1};
// Seconds of one frame on the script's clock: the loop's Sleep(10).
constexpr float kFrameSeconds = 0.01f;
// A caught player flies up and to the right at 3 x 150 pixels per second on
// each axis: this far in a frame.
constexpr float kFlightStep = 3 * kPlayerSpeed * kFrameSeconds;

// Holds the arrow key of dir (none for -1) and releases the others.
void HoldArrow(int dir) {
    for (const int each : {kRight, kLeft, kUp, kDown}) {
        HeadlessSetKey(ArrowKey(each), each == dir);
    }
}

// Holds the key of the next step towards target while the player can begin a
// step, and no key while it cannot.
void WalkTowards(MazeCell target) {
    const Actor& player = gameState.actors[kPlayer];
    const bool free = player.state == kActorWalking && player.moving == 0;
    HoldArrow(free ? FirstStepTowards(gameState.maze, RestCell(player.x, player.y), target) : -1);
}

bool SameWalls(const MazeGrid& a, const MazeGrid& b) {
    return std::memcmp(a.hWalls, b.hWalls, sizeof a.hWalls) == 0 &&
           std::memcmp(a.vWalls, b.vWalls, sizeof a.vWalls) == 0;
}

using PlayTest = EntryFixture;

TEST_F(PlayTest, EntrySeedsTheGameWithTheCalendarTime) {
    SeedRandom(static_cast<std::uint32_t>(kCalendarTime));
    GenerateMaze();
    const MazeGrid expected = gameState.maze;
    gameState = InitialGameState();
    script.onFrame = [&](int) {
        EXPECT_TRUE(SameWalls(gameState.maze, expected));
        HeadlessPressKey(mainWindow, VK_ESCAPE);
    };

    EXPECT_EQ(RunGame(), 0);
    EXPECT_EQ(script.frames, 1);
}

TEST_F(PlayTest, ReachingTheGoalPlaysSoundZeroRebuildsTheMazeAndSpeedsUpTheEnemy) {
    // A game in which the enemy does not cross the player's way to the goal.
    FixCalendarTime(kCalendarTime + 2);
    MazeGrid mazeBefore{};
    int goalFrame = 0;
    script.onFrame = [&](int frame) {
        if (goalFrame == 0 && !PlayedSoundFiles().empty()) {
            // The previous frame's update ended the player's step on the goal.
            goalFrame = frame;
            const Actor& player = gameState.actors[kPlayer];
            EXPECT_EQ(PlayedSoundFiles(), std::vector<std::string>{"wave01.wav"});
            EXPECT_EQ(RestCell(player.x, player.y), kBottomRight);
            EXPECT_EQ(player.moving, 0);
            EXPECT_EQ(gameState.actors[kEnemy].speed, 125.0f);
            EXPECT_FALSE(SameWalls(gameState.maze, mazeBefore)) << "a new maze";
            EXPECT_EQ(ReachableCells(gameState.maze), kMazeColumns * kMazeRows);
            EXPECT_EQ(RestCell(gameState.goalX, gameState.goalY), kStartCell)
                << "the goal moves to the other corner";
        }
        if (goalFrame == 0) {
            mazeBefore = gameState.maze;
            WalkTowards(kBottomRight);
        } else if (frame == goalFrame + 10) {
            HeadlessPressKey(mainWindow, VK_ESCAPE);
        } else {
            HoldArrow(-1);
        }
    };

    EXPECT_EQ(RunGame(), 0);
    EXPECT_GT(goalFrame, 0) << "the goal was reached";
    EXPECT_EQ(script.frames, goalFrame + 10);
    EXPECT_EQ(PlayedSoundFiles(), std::vector<std::string>{"wave01.wav"})
        << "no sound after the goal";
}

TEST_F(PlayTest, CaughtPlayerPlaysSoundOneFliesOffAndStartsAgainInTheTopLeftCell) {
    int caughtFrame = 0;
    int backFrame = 0;
    Actor caught{};     // the player when the catch was seen
    Actor previous{};   // the player at the previous frame
    int offCourse = 0;  // frames of the flight that went another way
    MazeGrid maze{};
    script.onFrame = [&](int frame) {
        const Actor& player = gameState.actors[kPlayer];
        if (caughtFrame == 0 && player.state == kActorCaught) {
            caughtFrame = frame;
            caught = player;
            maze = gameState.maze;
            EXPECT_EQ(PlayedSoundFiles(), std::vector<std::string>{"wave02.wav"});
            // Every key is held during the flight; the player ignores them.
            for (const int dir : {kRight, kLeft, kUp, kDown}) {
                HeadlessSetKey(ArrowKey(dir), true);
            }
        } else if (caughtFrame == 0) {
            WalkTowards(DestinationCell(gameState.actors[kEnemy]));
        } else if (backFrame == 0 && player.state == kActorCaught) {
            const bool onCourse = std::abs(player.x - previous.x - kFlightStep) < 1e-3f &&
                                  std::abs(previous.y - player.y - kFlightStep) < 1e-3f &&
                                  player.dir == caught.dir && player.moving == caught.moving;
            offCourse += onCourse ? 0 : 1;
        } else if (backFrame == 0) {
            backFrame = frame;
            EXPECT_EQ(player.state, kActorWalking);
            EXPECT_EQ(RestCell(player.x, player.y), kStartCell);
            EXPECT_EQ(player.x, kRestX);
            EXPECT_EQ(player.y, kRestY);
            EXPECT_EQ(player.moving, 0);
            EXPECT_EQ(player.speed, kPlayerSpeed);
            // The flight lasts (y + 320) / 450 seconds, to within a frame.
            EXPECT_NEAR(static_cast<float>(backFrame - caughtFrame) * kFrameSeconds,
                        (caught.y + 320.0f) / 450.0f, kFrameSeconds);
            EXPECT_TRUE(SameWalls(gameState.maze, maze)) << "the maze stays";
            EXPECT_EQ(RestCell(gameState.goalX, gameState.goalY), kBottomRight);
            HoldArrow(-1);
            HeadlessPressKey(mainWindow, VK_ESCAPE);
        }
        previous = player;
    };

    EXPECT_EQ(RunGame(), 0);
    EXPECT_GT(caughtFrame, 0) << "the enemy caught the player";
    EXPECT_GT(backFrame, caughtFrame + 1) << "the player flew before it came back";
    EXPECT_EQ(offCourse, 0) << "every frame of the flight moves the player " << kFlightStep
                            << " pixels up and as many right, whatever keys are held";
    EXPECT_EQ(script.frames, backFrame);
    EXPECT_EQ(PlayedSoundFiles(), std::vector<std::string>{"wave02.wav"}) << "caught only once";
}

}  // namespace
