#include "game/play.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/random.h"
#include "support/game_fixture.h"
#include "support/recording_sound.h"

namespace {

Actor& Player() {
    return gameState.actors[kPlayer];
}
Actor& Enemy() {
    return gameState.actors[kEnemy];
}

// Runs play frames with a fixed time step.
void Frames(int count, float dt) {
    gameState.clock.dt = dt;
    for (int i = 0; i < count; ++i) {
        UpdatePlay();
    }
}

class PlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        OpenMaze(gameState.maze);
        gameState.goalX = kGoalBottomRightX;
        gameState.goalY = kGoalBottomRightY;
        PlaceAtRest(Player(), 0, 0, kRight, kPlayerSpeed);
    }
};

// ---- Enemy steering --------------------------------------------------------

struct SteeringCase {
    int dir;
    bool aheadOpen;
    bool lowOpen;
    bool highOpen;
    int roll;
    int expected;
};

void SetEdge(int cx, int cy, int dir, bool open) {
    MazeGrid& maze = gameState.maze;
    const int wall = open ? 0 : 1;
    switch (dir) {
        case kRight: maze.vWalls[cx + 1][cy] = wall; break;
        case kLeft: maze.vWalls[cx][cy] = wall; break;
        case kUp: maze.hWalls[cx][cy] = wall; break;
        default: maze.hWalls[cx][cy + 1] = wall; break;
    }
}

int OppositeOf(int dir) {
    return dir ^ 1;
}
int LowSideOf(int dir) {
    return dir == kRight || dir == kLeft ? kDown : kRight;
}
int HighSideOf(int dir) {
    return dir == kRight || dir == kLeft ? kUp : kLeft;
}

class SteeringTest : public PlayTest, public ::testing::WithParamInterface<SteeringCase> {};

TEST_P(SteeringTest, ChoosesFromTheEdgesAheadAndBeside) {
    const SteeringCase c = GetParam();
    const int cx = 5;
    const int cy = 5;
    PlaceAtRest(Enemy(), cx, cy, c.dir, 100.0f);
    SetEdge(cx, cy, c.dir, c.aheadOpen);
    SetEdge(cx, cy, LowSideOf(c.dir), c.lowOpen);
    SetEdge(cx, cy, HighSideOf(c.dir), c.highOpen);
    SetEdge(cx, cy, OppositeOf(c.dir), true);
    SeedRandom(SeedForFirstRoll(c.roll));

    Frames(1, 0.0f);

    EXPECT_EQ(Enemy().moving, 1);
    EXPECT_EQ(Enemy().dir, c.expected);
    // The step begins but the enemy does not move in that frame.
    EXPECT_EQ(Enemy().x, RestX(cx));
    EXPECT_EQ(Enemy().y, RestY(cy));
}

std::vector<SteeringCase> SteeringTable() {
    std::vector<SteeringCase> cases;
    for (int dir : {kRight, kLeft, kUp, kDown}) {
        const int low = LowSideOf(dir);
        const int high = HighSideOf(dir);
        const int back = OppositeOf(dir);
        const std::vector<SteeringCase> forDir = {
            {dir, true, false, false, 1, dir},   {dir, true, false, false, 100, dir},
            {dir, true, false, true, 20, high},  {dir, true, false, true, 21, dir},
            {dir, true, true, false, 1, low},    {dir, true, true, false, 20, low},
            {dir, true, true, false, 21, dir},   {dir, true, true, true, 10, low},
            {dir, true, true, true, 11, high},   {dir, true, true, true, 20, high},
            {dir, true, true, true, 21, dir},    {dir, false, false, false, 1, back},
            {dir, false, false, true, 1, high},  {dir, false, false, true, 100, high},
            {dir, false, true, false, 100, low}, {dir, false, true, true, 50, low},
            {dir, false, true, true, 51, high},
        };
        cases.insert(cases.end(), forDir.begin(), forDir.end());
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, SteeringTest, ::testing::ValuesIn(SteeringTable()));

TEST_F(PlayTest, SteeringDrawsOneRollWhateverTheWalls) {
    PlaceAtRest(Enemy(), 5, 5, kRight, 100.0f);
    SeedRandom(99);
    Frames(1, 0.0f);
    ReferenceDraws reference(99);
    reference.Next();
    EXPECT_EQ(DrawRandom(), reference.Next());
}

TEST_F(PlayTest, MovingEnemyAndPlayerDrawNothing) {
    PlaceAtRest(Enemy(), 5, 5, kRight, 100.0f);
    Enemy().moving = 1;
    Enemy().targetX = RestX(6);
    gameState.input.inRight = 1;
    SeedRandom(1);
    Frames(1, 0.01f);
    EXPECT_EQ(DrawRandom(), 41);
}

// ---- Player steps ----------------------------------------------------------

TEST_F(PlayTest, BlockedDirectionIsNotReplacedByAnother) {
    PlaceAtRest(Player(), 3, 3, kLeft, kPlayerSpeed);
    SetEdge(3, 3, kRight, false);
    gameState.input.inRight = 1;
    gameState.input.inUp = 1;
    Frames(5, 0.05f);
    EXPECT_EQ(Player().moving, 0);
    EXPECT_EQ(Player().x, RestX(3));
    EXPECT_EQ(Player().y, RestY(3));
    EXPECT_EQ(Player().dir, kLeft);  // still facing the way it last walked
}

struct PriorityCase {
    std::uint8_t left, right, up, down;
    int expected;
};

class InputPriorityTest : public PlayTest, public ::testing::WithParamInterface<PriorityCase> {};

TEST_P(InputPriorityTest, RightThenLeftThenUpThenDown) {
    const PriorityCase c = GetParam();
    PlaceAtRest(Player(), 3, 3, kRight, kPlayerSpeed);
    gameState.input = {c.left, c.right, c.up, c.down};
    Frames(1, 0.0f);
    EXPECT_EQ(Player().moving, 1);
    EXPECT_EQ(Player().dir, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, InputPriorityTest,
                         ::testing::Values(PriorityCase{1, 1, 1, 1, kRight},
                                           PriorityCase{1, 0, 1, 1, kLeft},
                                           PriorityCase{0, 0, 1, 1, kUp},
                                           PriorityCase{0, 0, 0, 1, kDown}));

TEST_F(PlayTest, StepBeginsWithoutMovingEndsExactlyAndRestsOneFrame) {
    gameState.input.inRight = 1;
    Frames(1, 0.1f);
    EXPECT_EQ(Player().moving, 1);
    EXPECT_EQ(Player().x, RestX(0));
    EXPECT_EQ(Player().targetX, RestX(1));

    Frames(1, 0.1f);  // 15 pixels
    EXPECT_FLOAT_EQ(Player().x, RestX(0) + 15.0f);
    Frames(2, 0.1f);  // would reach 52 pixels: stops at 40
    EXPECT_EQ(Player().moving, 0);
    EXPECT_EQ(Player().x, RestX(1));
    EXPECT_EQ(Player().y, RestY(0));

    Frames(1, 0.1f);  // the next step begins, still standing
    EXPECT_EQ(Player().moving, 1);
    EXPECT_EQ(Player().x, RestX(1));
}

struct HugeStepCase {
    int dir;
    int toX, toY;
};

class HugeStepTest : public PlayTest, public ::testing::WithParamInterface<HugeStepCase> {};

TEST_P(HugeStepTest, NeverOvershoots) {
    const HugeStepCase c = GetParam();
    PlaceAtRest(Player(), 5, 5, kRight, kPlayerSpeed);
    PlaceAtRest(Enemy(), 9, 9, kRight, 100.0f);
    gameState.input = {c.dir == kLeft, c.dir == kRight, c.dir == kUp, c.dir == kDown};
    Frames(1, 0.0f);
    gameState.input = {};
    Frames(1, 7.5f);
    EXPECT_EQ(Player().moving, 0);
    EXPECT_EQ(Player().x, RestX(c.toX));
    EXPECT_EQ(Player().y, RestY(c.toY));
    // The enemy's step, begun in the first frame, also ends at its target.
    EXPECT_EQ(Enemy().moving, 0);
    const float enemyDx = Enemy().x - RestX(9);
    const float enemyDy = Enemy().y - RestY(9);
    EXPECT_EQ(std::abs(enemyDx) + std::abs(enemyDy), kCellSize);
}

INSTANTIATE_TEST_SUITE_P(Table, HugeStepTest,
                         ::testing::Values(HugeStepCase{kRight, 6, 5}, HugeStepCase{kLeft, 4, 5},
                                           HugeStepCase{kUp, 5, 4}, HugeStepCase{kDown, 5, 6}));

// ---- Goal ------------------------------------------------------------------

TEST_F(PlayTest, GoalPlaysSpeedsUpRebuildsAndMoves) {
    PlaceAtRest(Player(), 13, 10, kRight, kPlayerSpeed);
    PlaceAtRest(Enemy(), 2, 2, kDown, 100.0f);
    gameState.input.inRight = 1;
    Frames(1, 0.0f);
    gameState.input = {};
    SeedRandom(4242);
    Frames(1, 1.0f);

    EXPECT_EQ(PlayedSounds(), std::vector<int>{0});
    EXPECT_EQ(Enemy().speed, 125.0f);
    EXPECT_EQ(gameState.goalX, kGoalTopLeftX);
    EXPECT_EQ(gameState.goalY, kGoalTopLeftY);
    // A real maze replaced the open one.
    int interiorWalls = 0;
    for (int x = 1; x < kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y)
            interiorWalls += gameState.maze.vWalls[x][y];
    }
    EXPECT_GT(interiorWalls, 0);

    // Walking back: the goal alternates.
    PlaceAtRest(Player(), 1, 0, kLeft, kPlayerSpeed);
    gameState.maze.vWalls[1][0] = 0;
    gameState.input.inLeft = 1;
    Frames(1, 0.0f);
    Frames(1, 1.0f);
    EXPECT_EQ(PlayedSounds(), (std::vector<int>{0, 0}));
    EXPECT_EQ(gameState.goalX, kGoalBottomRightX);
    EXPECT_EQ(gameState.goalY, kGoalBottomRightY);
    EXPECT_EQ(Enemy().speed, 150.0f);
}

TEST_F(PlayTest, GoalCountsOnlyWhenAStepEndsOnIt) {
    gameState.goalX = kGoalTopLeftX;
    gameState.goalY = kGoalTopLeftY;
    Player().state = kActorCaught;
    Player().y = -300.0f;
    Frames(1, 0.1f);  // reappears on the goal cell
    EXPECT_EQ(Player().state, kActorWalking);
    EXPECT_EQ(Player().x, RestX(0));
    Frames(3, 0.1f);
    EXPECT_TRUE(PlayedSounds().empty());
    EXPECT_EQ(gameState.goalX, kGoalTopLeftX);
}

TEST_F(PlayTest, GoalBeforeCaptureInTheSameFrame) {
    PlaceAtRest(Player(), 13, 10, kRight, kPlayerSpeed);
    gameState.input.inRight = 1;
    Frames(1, 0.0f);
    gameState.input = {};
    // The enemy stands on the goal cell in a step upwards that only starts to
    // advance once the goal has sped it up, and then by less than 16 pixels.
    PlaceAtRest(Enemy(), 14, 10, kUp, 0.0f);
    Enemy().moving = 1;
    Enemy().targetY = -10000.0f;
    Frames(1, 0.3f);

    EXPECT_EQ(PlayedSounds(), (std::vector<int>{0, 1}));
    EXPECT_EQ(gameState.goalX, kGoalTopLeftX);
    EXPECT_EQ(Player().state, kActorCaught);
}

TEST_F(PlayTest, EnemyFinishesItsStepThroughANewWall) {
    PlaceAtRest(Player(), 13, 10, kRight, kPlayerSpeed);
    PlaceAtRest(Enemy(), 3, 3, kRight, 10.0f);
    Enemy().moving = 1;
    Enemy().targetX = RestX(4);
    gameState.input.inRight = 1;
    Frames(1, 0.0f);
    gameState.input = {};
    Frames(1, 1.0f);  // the player reaches the goal; the maze is rebuilt
    ASSERT_EQ(PlayedSounds(), std::vector<int>{0});
    EXPECT_EQ(Enemy().moving, 1);
    // The enemy, updated after the player, already moves at its new speed.
    EXPECT_EQ(Enemy().x, RestX(3) + 35.0f);
    gameState.maze.vWalls[4][3] = 1;  // a wall across the step, if the new maze has none
    Frames(1, 1.0f);
    EXPECT_EQ(Enemy().x, RestX(4));
    EXPECT_EQ(Enemy().moving, 0);
}

// ---- Capture and flight ----------------------------------------------------

struct CaptureCase {
    const char* name;
    float enemyDx, enemyDy;
    bool caught;
};

class CaptureTest : public PlayTest, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(CaptureTest, SameRowOrColumnWithinSixteenPixels) {
    const CaptureCase c = GetParam();
    PlaceAtRest(Player(), 5, 5, kRight, kPlayerSpeed);
    PlaceAtRest(Enemy(), 5, 5, kRight, 100.0f);
    Enemy().x += c.enemyDx;
    Enemy().y += c.enemyDy;
    Enemy().moving = 1;  // keeps it from steering
    Enemy().targetX = 10000.0f;
    Frames(1, 0.0f);
    EXPECT_EQ(Player().state, c.caught ? kActorCaught : kActorWalking);
    EXPECT_EQ(PlayedSounds(), c.caught ? std::vector<int>{1} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(Table, CaptureTest,
                         ::testing::Values(CaptureCase{"SameSpot", 0, 0, true},
                                           CaptureCase{"RightClose", 15.9f, 0, true},
                                           CaptureCase{"RightSixteen", 16.0f, 0, false},
                                           CaptureCase{"LeftClose", -15.9f, 0, true},
                                           CaptureCase{"LeftSixteen", -16.0f, 0, false},
                                           CaptureCase{"BelowClose", 0, 15.0f, true},
                                           CaptureCase{"AboveClose", 0, -15.0f, true},
                                           CaptureCase{"Diagonal", 5.0f, 5.0f, false},
                                           CaptureCase{"Crossing", 0.5f, -0.5f, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayTest, FlightTakesItsTimeAndReturnsToTheStart) {
    PlaceAtRest(Player(), 7, 4, kDown, kPlayerSpeed);
    const float startY = Player().y;
    Player().state = kActorCaught;
    Player().moving = 1;
    gameState.input.inDown = 1;
    // Another enemy sits on the flight's path: no second capture.
    PlaceAtRest(Enemy(), 7, 4, kUp, 100.0f);
    Enemy().moving = 1;
    Enemy().targetY = -10000.0f;
    Enemy().speed = 0.0f;

    const float dt = 0.01f;
    const float seconds = (startY + 320.0f) / 450.0f;
    const int frames = static_cast<int>(seconds / dt);
    Frames(frames - 1, dt);
    EXPECT_EQ(Player().state, kActorCaught);
    EXPECT_LT(Player().y, startY);
    EXPECT_GT(Player().x, RestX(7));
    Frames(2, dt);
    EXPECT_EQ(Player().state, kActorWalking);
    EXPECT_EQ(Player().moving, 0);
    EXPECT_EQ(Player().x, RestX(0));
    EXPECT_EQ(Player().y, RestY(0));
    EXPECT_EQ(Player().speed, kPlayerSpeed);
    EXPECT_EQ(Player().dir, kDown);  // keeps its facing
    EXPECT_TRUE(PlayedSounds().empty());
}

TEST_F(PlayTest, HugeStepEndsTheFlightAtOnce) {
    Player().state = kActorCaught;
    Player().y = RestY(10);
    Frames(1, 10.0f);
    EXPECT_EQ(Player().state, kActorWalking);
    EXPECT_EQ(Player().y, RestY(0));
}

TEST_F(PlayTest, InertSlotsNeitherMoveNorCatch) {
    PlaceAtRest(Player(), 5, 5, kRight, kPlayerSpeed);
    Actor& inert = gameState.actors[7];
    inert.x = Player().x;
    inert.y = Player().y;
    SeedRandom(1);
    Frames(3, 0.1f);
    EXPECT_EQ(Player().state, kActorWalking);
    EXPECT_EQ(inert.x, RestX(5));
    EXPECT_EQ(DrawRandom(), 41);  // no slot steered
}

}  // namespace
