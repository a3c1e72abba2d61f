// The set-up in which play begins.
#pragma once

// A fresh maze, the player in the top-left cell, the enemy at cell (9, 5)
// facing down, the goal in the bottom-right cell.
void StartNewGame();
