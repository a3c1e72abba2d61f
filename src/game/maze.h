// Maze generation: every interior edge in turn is closed, kept as a wall at
// random only if the maze stays connected, and loose posts get one segment.
#pragma once

#include "game/game_state.h"

// Whether cells (sx, sy) and (tx, ty) are joined through open edges of the
// walls as they stand. May use the maze's flood scratch fields.
using ConnectivityTest = bool (*)(MazeGrid& maze, int sx, int sy, int tx, int ty);

// Breadth-first search from (sx, sy) that stops as soon as (tx, ty) is reached.
bool CellsConnected(MazeGrid& maze, int sx, int sy, int tx, int ty);

// Builds a new maze in place, deciding edges with the given connectivity test.
// Edges not yet decided keep their previous values and take part in the tests.
void GenerateMazeWith(MazeGrid& maze, ConnectivityTest connected);

// Builds a new maze in the game state.
void GenerateMaze();
