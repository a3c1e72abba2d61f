#include "game/maze.h"

#include <gtest/gtest.h>

#include <cstring>
#include <queue>

#include "game/random.h"
#include "support/full_sweep_flood.h"
#include "support/game_fixture.h"

namespace {

bool SameWalls(const MazeGrid& a, const MazeGrid& b) {
    return std::memcmp(a.hWalls, b.hWalls, sizeof(a.hWalls)) == 0 &&
           std::memcmp(a.vWalls, b.vWalls, sizeof(a.vWalls)) == 0;
}

// Number of cells reachable from (0, 0), counted by a search of the test's own.
int ReachableFromOrigin(const MazeGrid& maze) {
    bool seen[kMazeColumns][kMazeRows] = {};
    std::queue<std::pair<int, int>> frontier;
    frontier.push({0, 0});
    seen[0][0] = true;
    int count = 0;
    while (!frontier.empty()) {
        const auto [x, y] = frontier.front();
        frontier.pop();
        ++count;
        const auto visit = [&](bool open, int nx, int ny) {
            if (open && !seen[nx][ny]) {
                seen[nx][ny] = true;
                frontier.push({nx, ny});
            }
        };
        visit(maze.vWalls[x][y] == 0, x - 1, y);
        visit(maze.vWalls[x + 1][y] == 0, x + 1, y);
        visit(maze.hWalls[x][y] == 0, x, y - 1);
        visit(maze.hWalls[x][y + 1] == 0, x, y + 1);
    }
    return count;
}

// Borders closed, values 0 or 1, every cell reachable from (0, 0), no loose
// interior post, no cell closed on all four sides.
::testing::AssertionResult MazeIsValid(const MazeGrid& maze) {
    for (int x = 0; x < kMazeColumns; ++x) {
        if (maze.hWalls[x][0] != 1 || maze.hWalls[x][kMazeRows] != 1) {
            return ::testing::AssertionFailure() << "open border at column " << x;
        }
        for (int y = 0; y <= kMazeRows; ++y) {
            if (maze.hWalls[x][y] != 0 && maze.hWalls[x][y] != 1) {
                return ::testing::AssertionFailure() << "hWalls value " << maze.hWalls[x][y];
            }
        }
    }
    for (int y = 0; y < kMazeRows; ++y) {
        if (maze.vWalls[0][y] != 1 || maze.vWalls[kMazeColumns][y] != 1) {
            return ::testing::AssertionFailure() << "open border at row " << y;
        }
        for (int x = 0; x <= kMazeColumns; ++x) {
            if (maze.vWalls[x][y] != 0 && maze.vWalls[x][y] != 1) {
                return ::testing::AssertionFailure() << "vWalls value " << maze.vWalls[x][y];
            }
        }
    }
    const int reachable = ReachableFromOrigin(maze);
    if (reachable != kMazeColumns * kMazeRows) {
        return ::testing::AssertionFailure() << "only " << reachable << " cells reachable";
    }
    for (int px = 1; px < kMazeColumns; ++px) {
        for (int py = 1; py < kMazeRows; ++py) {
            const int touching = maze.vWalls[px][py - 1] + maze.vWalls[px][py] +
                                 maze.hWalls[px - 1][py] + maze.hWalls[px][py];
            if (touching == 0) {
                return ::testing::AssertionFailure() << "loose post " << px << "," << py;
            }
        }
    }
    for (int x = 0; x < kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y) {
            const int walls = maze.hWalls[x][y] + maze.hWalls[x][y + 1] + maze.vWalls[x][y] +
                              maze.vWalls[x + 1][y];
            if (walls == 4) {
                return ::testing::AssertionFailure() << "closed cell " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(MazeTest, InvariantsHoldOverTenThousandSeeds) {
    MazeGrid fresh{};
    MazeGrid chained{};
    for (std::uint32_t seed = 0; seed < 10000; ++seed) {
        SeedRandom(seed);
        fresh = MazeGrid{};
        GenerateMazeWith(fresh, CellsConnected);
        ASSERT_TRUE(MazeIsValid(fresh)) << "seed " << seed;
        // The same seed over the previous maze, as when the goal is reached.
        SeedRandom(seed);
        GenerateMazeWith(chained, CellsConnected);
        ASSERT_TRUE(MazeIsValid(chained)) << "seed " << seed << ", chained";
    }
}

// The fast search must decide every edge as the literal full sweep does, over
// fresh and over previous mazes, and consume the same draws.
TEST(MazeTest, FastSearchMatchesTheFullSweep) {
    MazeGrid fast{};
    MazeGrid literal{};
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
        SeedRandom(seed);
        GenerateMazeWith(fast, CellsConnected);
        const int nextAfterFast = DrawRandom();
        SeedRandom(seed);
        GenerateMazeWith(literal, FullSweepConnected);
        const int nextAfterLiteral = DrawRandom();
        ASSERT_TRUE(SameWalls(fast, literal)) << "seed " << seed;
        ASSERT_EQ(nextAfterFast, nextAfterLiteral) << "seed " << seed;
    }
}

// The fast search agrees with the full sweep on arbitrary wall patterns,
// including ones far from any generated maze.
TEST(MazeTest, SearchAgreesOnRandomWallPatterns) {
    ReferenceDraws draws(12345);
    MazeGrid a{};
    for (int round = 0; round < 3000; ++round) {
        const int density = round % 10;  // from nearly open to nearly closed
        for (auto& column : a.hWalls) {
            for (auto& edge : column)
                edge = draws.Next() % 10 < density ? 1 : 0;
        }
        for (auto& column : a.vWalls) {
            for (auto& edge : column)
                edge = draws.Next() % 10 < density ? 1 : 0;
        }
        const int sx = draws.Next() % kMazeColumns;
        const int sy = draws.Next() % kMazeRows;
        const int tx = draws.Next() % kMazeColumns;
        const int ty = draws.Next() % kMazeRows;
        MazeGrid b = a;
        ASSERT_EQ(CellsConnected(a, sx, sy, tx, ty), FullSweepConnected(b, sx, sy, tx, ty))
            << "round " << round;
    }
}

// Records, at each connectivity test, whether the edge decided just before took
// exactly the draw it was owed: one RandomInt(0, 1) if its cells were
// connected, none if closing it would have cut the maze.
struct DrawAudit {
    ReferenceDraws expected{0};
    std::int32_t* previousEdge = nullptr;
    bool previousConnected = false;
    int connectedCount = 0;
    int cutCount = 0;
    int mismatches = 0;

    void CheckPrevious() {
        if (previousEdge == nullptr)
            return;
        const int owed = previousConnected ? expected.Next() % 2 : 0;
        if (*previousEdge != owed)
            ++mismatches;
    }
};
DrawAudit audit;

std::int32_t* EdgeBetween(MazeGrid& maze, int sx, int tx, int ty) {
    return sx == tx ? &maze.hWalls[tx][ty] : &maze.vWalls[tx][ty];
}

bool AuditedSearch(MazeGrid& maze, int sx, int sy, int tx, int ty) {
    audit.CheckPrevious();
    const bool connected = CellsConnected(maze, sx, sy, tx, ty);
    audit.previousEdge = EdgeBetween(maze, sx, tx, ty);
    audit.previousConnected = connected;
    ++(connected ? audit.connectedCount : audit.cutCount);
    return connected;
}

TEST(MazeTest, OnlyEdgesThatMayCloseDrawANumber) {
    MazeGrid maze{};
    for (std::uint32_t seed : {1u, 77u, 2026u}) {
        audit = DrawAudit{};
        audit.expected = ReferenceDraws(seed);
        SeedRandom(seed);
        // Run the edge decisions; the last edge is checked against the state
        // before the loose-post pass, which the search sees no more.
        GenerateMazeWith(maze, AuditedSearch);
        EXPECT_EQ(audit.mismatches, 0) << "seed " << seed;
        EXPECT_EQ(audit.connectedCount + audit.cutCount, 150 + 154);
        EXPECT_GT(audit.cutCount, 0);
        EXPECT_GT(audit.connectedCount, 0);
    }
}

// With every interior edge open, hWalls[0][1] is decided first and by the
// first draw alone.
int firstEdgeWhenSecondIsTested = -1;
int searchCalls = 0;
bool RecordFirstEdge(MazeGrid& maze, int sx, int sy, int tx, int ty) {
    if (++searchCalls == 2) {
        firstEdgeWhenSecondIsTested = maze.hWalls[0][1];
    }
    return CellsConnected(maze, sx, sy, tx, ty);
}

TEST(MazeTest, FirstEdgeFollowsTheFirstDraw) {
    for (std::uint32_t seed = 0; seed < 8; ++seed) {
        MazeGrid maze{};
        OpenMaze(maze);
        searchCalls = 0;
        SeedRandom(seed);
        GenerateMazeWith(maze, RecordFirstEdge);
        EXPECT_EQ(firstEdgeWhenSecondIsTested, ReferenceDraws(seed).Next() % 2) << "seed " << seed;
    }
}

TEST(MazeTest, PreviousMazeTakesPartInTheEarlyTests) {
    int differing = 0;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        MazeGrid fromEmpty{};
        SeedRandom(seed);
        GenerateMazeWith(fromEmpty, CellsConnected);

        MazeGrid fromPrevious{};
        SeedRandom(seed + 1000);
        GenerateMazeWith(fromPrevious, CellsConnected);
        SeedRandom(seed);
        GenerateMazeWith(fromPrevious, CellsConnected);
        differing += SameWalls(fromEmpty, fromPrevious) ? 0 : 1;
    }
    EXPECT_GT(differing, 0);
}

TEST(MazeTest, GenerateMazeWorksOnTheGameStateOnly) {
    ResetGame();
    gameState.actors[kPlayer].x = 123.0f;
    gameState.goalX = 582.0f;
    SeedRandom(5);
    GenerateMaze();
    EXPECT_TRUE(MazeIsValid(gameState.maze));
    EXPECT_EQ(gameState.actors[kPlayer].x, 123.0f);
    EXPECT_EQ(gameState.goalX, 582.0f);

    MazeGrid expected{};
    SeedRandom(5);
    GenerateMazeWith(expected, CellsConnected);
    EXPECT_TRUE(SameWalls(expected, gameState.maze));
}

}  // namespace
