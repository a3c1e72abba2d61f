#include "game/maze.h"

#include <cstring>

#include "game/random.h"

namespace {

constexpr int kLastColumn = kMazeColumns - 1;
constexpr int kLastRow = kMazeRows - 1;

void CloseBorders(MazeGrid& maze) {
    for (int x = 0; x < kMazeColumns; ++x) {
        maze.hWalls[x][0] = 1;
        maze.hWalls[x][kMazeRows] = 1;
    }
    for (int y = 0; y < kMazeRows; ++y) {
        maze.vWalls[0][y] = 1;
        maze.vWalls[kMazeColumns][y] = 1;
    }
    // The vertical edges below the first row start open; every other interior
    // edge keeps its old value until it is decided.
    for (int x = 1; x < kMazeColumns; ++x) {
        for (int y = 1; y < kMazeRows; ++y) {
            maze.vWalls[x][y] = 0;
        }
    }
}

// Closes one edge, then keeps it at random if the two cells it separates are
// still connected, or opens it for good without a draw if they are not.
void DecideEdge(MazeGrid& maze, std::int32_t& edge, ConnectivityTest connected, int sx, int sy,
                int tx, int ty) {
    edge = 1;
    edge = connected(maze, sx, sy, tx, ty) ? RandomInt(0, 1) : 0;
}

// Gives every interior post that no wall touches one segment, examined in loop
// order against the walls as they stand.
void AttachLoosePosts(MazeGrid& maze) {
    for (int px = 1; px < kMazeColumns; ++px) {
        for (int py = 1; py < kMazeRows; ++py) {
            std::int32_t& above = maze.vWalls[px][py - 1];
            std::int32_t& below = maze.vWalls[px][py];
            std::int32_t& left = maze.hWalls[px - 1][py];
            std::int32_t& right = maze.hWalls[px][py];
            if (above != 0 || below != 0 || left != 0 || right != 0) {
                continue;
            }
            switch (RandomInt(1, 4)) {
                case 1: above = 1; break;
                case 2: below = 1; break;
                case 3: left = 1; break;
                default: right = 1; break;
            }
        }
    }
}

}  // namespace

bool CellsConnected(MazeGrid& maze, int sx, int sy, int tx, int ty) {
    std::memset(maze.floodMark, 0, sizeof(maze.floodMark));
    struct Cell {
        std::int8_t k;
        std::int8_t l;
    };
    Cell queue[kMazeColumns * kMazeRows];
    int head = 0;
    int tail = 0;
    const auto reach = [&](int k, int l) {
        if (maze.floodMark[k][l] == 0) {
            maze.floodMark[k][l] = 1;
            queue[tail++] = {static_cast<std::int8_t>(k), static_cast<std::int8_t>(l)};
        }
    };
    reach(sx, sy);
    while (head < tail) {
        const int k = queue[head].k;
        const int l = queue[head].l;
        ++head;
        if (k == tx && l == ty) {
            return true;
        }
        if (k != 0 && maze.vWalls[k][l] == 0) {
            reach(k - 1, l);
        }
        if (k != kLastColumn && maze.vWalls[k + 1][l] == 0) {
            reach(k + 1, l);
        }
        if (l != 0 && maze.hWalls[k][l] == 0) {
            reach(k, l - 1);
        }
        if (l != kLastRow && maze.hWalls[k][l + 1] == 0) {
            reach(k, l + 1);
        }
        maze.floodMark[k][l] = 2;
    }
    return false;
}

void GenerateMazeWith(MazeGrid& maze, ConnectivityTest connected) {
    CloseBorders(maze);
    for (int x = 0; x < kMazeColumns; ++x) {
        for (int y = 1; y < kMazeRows; ++y) {
            DecideEdge(maze, maze.hWalls[x][y], connected, x, y - 1, x, y);
        }
    }
    for (int x = 1; x < kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y) {
            DecideEdge(maze, maze.vWalls[x][y], connected, x - 1, y, x, y);
        }
    }
    AttachLoosePosts(maze);
}

void GenerateMaze() {
    GenerateMazeWith(gameState.maze, CellsConnected);
}
