// Building blocks for game tests: a clean state, hand-made mazes, actors placed
// on cells, and seeds that make the next draws known.
#pragma once

#include <cstdint>

#include "game/game_state.h"

// The static initial state, random state 1, no sounds recorded, window active.
void ResetGame();

// Borders closed, every interior edge open.
void OpenMaze(MazeGrid& maze);

// A walking actor at rest on cell (cx, cy).
void PlaceAtRest(Actor& actor, int cx, int cy, int dir, float speed);

float RestX(int cx);
float RestY(int cy);

// A seed whose first RandomInt(1, 100) is roll.
std::uint32_t SeedForFirstRoll(int roll);

// The draws of the generator from a given state, computed independently of the
// game's own generator.
class ReferenceDraws {
  public:
    explicit ReferenceDraws(std::uint32_t seed) : state_(seed) {}
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

  private:
    std::uint32_t state_;
};
