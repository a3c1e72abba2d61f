#include "support/full_sweep_flood.h"

bool FullSweepConnected(MazeGrid& maze, int sx, int sy, int tx, int ty) {
    for (auto& column : maze.floodMark) {
        for (auto& mark : column) {
            mark = 0;
        }
    }
    maze.floodMark[sx][sy] = 1;
    maze.floodChanged = 1;
    while (maze.floodChanged == 1) {
        for (int k = 0; k < kMazeColumns; ++k) {
            for (int l = 0; l < kMazeRows; ++l) {
                if (maze.floodMark[k][l] != 1) {
                    continue;
                }
                if (k != 0 && maze.floodMark[k - 1][l] == 0 && maze.vWalls[k][l] == 0) {
                    maze.floodMark[k - 1][l] = 1;
                }
                if (k != kMazeColumns - 1 && maze.floodMark[k + 1][l] == 0 &&
                    maze.vWalls[k + 1][l] == 0) {
                    maze.floodMark[k + 1][l] = 1;
                }
                if (l != 0 && maze.floodMark[k][l - 1] == 0 && maze.hWalls[k][l] == 0) {
                    maze.floodMark[k][l - 1] = 1;
                }
                if (l != kMazeRows - 1 && maze.floodMark[k][l + 1] == 0 &&
                    maze.hWalls[k][l + 1] == 0) {
                    maze.floodMark[k][l + 1] = 1;
                }
                maze.floodMark[k][l] = 2;
            }
        }
        maze.floodChanged = 0;
        for (const auto& column : maze.floodMark) {
            for (const auto mark : column) {
                if (mark == 1) {
                    maze.floodChanged = 1;
                }
            }
        }
    }
    return maze.floodMark[tx][ty] == 2;
}
