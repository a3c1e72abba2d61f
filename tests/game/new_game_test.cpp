#include "game/new_game.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/play.h"
#include "game/random.h"
#include "support/game_fixture.h"

namespace {

TEST(NewGameTest, FiguresAndGoalStartInTheirCells) {
    ResetGame();
    SeedRandom(2026);
    StartNewGame();
    const Actor& player = gameState.actors[kPlayer];
    const Actor& enemy = gameState.actors[kEnemy];

    EXPECT_EQ(player.state, kActorWalking);
    EXPECT_EQ(player.moving, 0);
    EXPECT_EQ(player.speed, 150.0f);
    EXPECT_EQ(CellColumn(player.x), 1);
    EXPECT_EQ(CellRow(player.y), 1);
    EXPECT_EQ(player.x, 22.0f);
    EXPECT_EQ(player.y, 66.0f);
    EXPECT_EQ(player.dir, kRight);

    EXPECT_EQ(enemy.state, kActorWalking);
    EXPECT_EQ(enemy.x, 382.0f);
    EXPECT_EQ(enemy.y, 266.0f);
    EXPECT_EQ(enemy.speed, 100.0f);
    EXPECT_EQ(enemy.dir, kDown);
    EXPECT_EQ(enemy.moving, 0);

    EXPECT_EQ(gameState.goalX, 582.0f);
    EXPECT_EQ(gameState.goalY, 466.0f);
    for (int slot = 2; slot < kActorCount; ++slot) {
        EXPECT_EQ(gameState.actors[slot].state, kActorInert);
        EXPECT_EQ(gameState.actors[slot].speed, 100.0f);
        EXPECT_EQ(gameState.actors[slot].x, 0.0f);
    }
}

// The walls as text: "+" posts, "--" horizontal and "|" vertical walls.
std::vector<std::string> Picture(const MazeGrid& maze) {
    std::vector<std::string> lines;
    for (int y = 0; y <= kMazeRows; ++y) {
        std::string posts = "+";
        for (int x = 0; x < kMazeColumns; ++x) {
            posts += maze.hWalls[x][y] != 0 ? "--+" : "  +";
        }
        lines.push_back(posts);
        if (y == kMazeRows) {
            break;
        }
        std::string cells;
        for (int x = 0; x <= kMazeColumns; ++x) {
            cells += maze.vWalls[x][y] != 0 ? "|" : " ";
            cells += x < kMazeColumns ? "  " : "";
        }
        lines.push_back(cells);
    }
    return lines;
}

// The maze of a known seed. The seed was picked because its last pass gives
// loose posts a segment in each of the four directions (above at (4, 3),
// below at (7, 8), left at (7, 6), right at (8, 8)), so a mix-up of the
// directions changes the picture. The picture was checked against a separate
// literal implementation of the generation (full-sweep flood fill).
TEST(NewGameTest, KnownSeedGivesKnownMaze) {
    ResetGame();
    SeedRandom(2);
    StartNewGame();
    const std::vector<std::string> expected = {
        "+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+",
        "|           |  |              |              |",
        "+--+--+--+  +  +  +--+--+--+  +--+--+  +--+--+",
        "|  |           |  |  |           |     |     |",
        "+  +--+--+--+  +  +  +--+--+--+  +--+  +  +--+",
        "|        |  |     |  |                       |",
        "+  +  +--+  +  +--+  +--+--+--+--+--+--+--+  +",
        "|  |  |        |  |        |           |  |  |",
        "+--+  +--+--+  +  +--+--+  +--+--+  +  +  +  +",
        "|     |        |  |        |        |     |  |",
        "+  +--+--+--+--+  +  +--+  +--+--+--+  +  +  +",
        "|           |     |        |           |     |",
        "+  +--+  +  +  +--+--+  +  +--+--+--+  +  +--+",
        "|  |     |  |     |     |  |                 |",
        "+  +--+  +--+--+  +  +--+--+--+  +--+--+  +--+",
        "|  |        |              |  |              |",
        "+--+--+  +  +--+--+  +  +--+  +--+--+--+--+  +",
        "|        |  |        |        |              |",
        "+--+  +--+  +--+--+--+  +  +  +  +--+--+--+--+",
        "|     |  |     |     |  |  |  |     |        |",
        "+  +--+  +--+  +--+  +  +--+  +--+  +--+  +--+",
        "|     |                 |                    |",
        "+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+",
    };
    EXPECT_EQ(Picture(gameState.maze), expected);
    // Every draw of the generation was taken, and no more.
    EXPECT_EQ(DrawRandom(), 123);
}

TEST(NewGameTest, StaticInitialValues) {
    const GameState initial = InitialGameState();
    EXPECT_EQ(initial.actorSlots, 15);
    EXPECT_EQ(initial.clock.dt, 0.0f);
    EXPECT_EQ(initial.clock.animPhase, 0.0f);
    for (const Actor& actor : initial.actors) {
        EXPECT_EQ(actor.speed, 100.0f);
        EXPECT_EQ(actor.state, kActorInert);
        EXPECT_EQ(actor.dir, 0);
    }
}

TEST(NewGameTest, EnemysFirstSteeringTreatsTheEdgeBelowAsAhead) {
    ResetGame();
    SeedRandom(2026);
    StartNewGame();
    // Open the cell below the enemy and close both sides: only "ahead" is left.
    MazeGrid& maze = gameState.maze;
    maze.hWalls[9][6] = 0;
    maze.vWalls[9][5] = 1;
    maze.vWalls[10][5] = 1;
    gameState.clock.dt = 0.0f;
    UpdatePlay();
    EXPECT_EQ(gameState.actors[kEnemy].dir, kDown);
    EXPECT_EQ(gameState.actors[kEnemy].moving, 1);
    EXPECT_EQ(gameState.actors[kEnemy].targetY, 306.0f);
}

}  // namespace
