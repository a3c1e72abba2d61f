#include "support/game_fixture.h"

#include "game/random.h"
#include "shell/window.h"
#include "support/recording_sound.h"

void ResetGame() {
    gameState = InitialGameState();
    SeedRandom(1);
    ResetPlayedSounds();
    windowActive = 1;
}

void OpenMaze(MazeGrid& maze) {
    for (int x = 0; x < kMazeColumns; ++x) {
        for (int y = 0; y <= kMazeRows; ++y) {
            maze.hWalls[x][y] = (y == 0 || y == kMazeRows) ? 1 : 0;
        }
    }
    for (int x = 0; x <= kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y) {
            maze.vWalls[x][y] = (x == 0 || x == kMazeColumns) ? 1 : 0;
        }
    }
}

float RestX(int cx) {
    return kRestX + kCellSize * static_cast<float>(cx);
}
float RestY(int cy) {
    return kRestY + kCellSize * static_cast<float>(cy);
}

void PlaceAtRest(Actor& actor, int cx, int cy, int dir, float speed) {
    actor.x = RestX(cx);
    actor.y = RestY(cy);
    actor.state = kActorWalking;
    actor.moving = 0;
    actor.dir = dir;
    actor.speed = speed;
}

std::uint32_t SeedForFirstRoll(int roll) {
    for (std::uint32_t seed = 0;; ++seed) {
        if (ReferenceDraws(seed).Next() % 100 + 1 == roll) {
            return seed;
        }
    }
}
