// Routes through the game's maze for scripted players: the first step of a
// shortest way between two cells through open edges, and the arrow key that
// asks the game for a step.
#pragma once

#include "game/game_state.h"
#include "vellorn/win32_types.h"

// A cell of the maze: column 0..14, row 0..10.
struct MazeCell {
    int x;
    int y;

    bool operator==(const MazeCell&) const = default;
};

// The cell whose rest position is (x, y).
MazeCell RestCell(float x, float y);

// The cell an actor stands on, or, while it is stepping, the cell its step
// ends on.
MazeCell DestinationCell(const Actor& actor);

// The direction (kRight, kLeft, kUp, kDown) of the first step of a shortest
// way from one cell to another through open edges; -1 when the cells are the
// same, either lies outside the maze or no way joins them.
int FirstStepTowards(const MazeGrid& maze, MazeCell from, MazeCell to);

// The number of cells that can be reached from cell (0, 0) through open edges.
int ReachableCells(const MazeGrid& maze);

// The keyboard key (DIK code) that walks the player in a direction.
BYTE ArrowKey(int dir);
