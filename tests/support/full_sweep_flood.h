// The connectivity test of maze generation done the slow, literal way: full
// sweeps over every cell, column by column, until no cell is left marked 1,
// without stopping when the target is reached. It is the reference the fast
// search must agree with.
#pragma once

#include "game/game_state.h"

bool FullSweepConnected(MazeGrid& maze, int sx, int sy, int tx, int ty);
