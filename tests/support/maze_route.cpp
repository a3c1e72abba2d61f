#include "support/maze_route.h"

#include <array>
#include <cmath>

#include "vellorn/dinput.h"

namespace {

constexpr int kCellCount = kMazeColumns * kMazeRows;
constexpr int kUnreached = -1;

struct Neighbour {
    int dir;
    int dx;
    int dy;
};
// In the game's priority order of directions.
constexpr Neighbour kNeighbours[] = {
    {kRight, 1, 0},
    {kLeft, -1, 0},
    {kUp, 0, -1},
    {kDown, 0, 1},
};

bool Open(const MazeGrid& maze, MazeCell cell, int dir) {
    switch (dir) {
        case kRight: return maze.vWalls[cell.x + 1][cell.y] == 0;
        case kLeft: return maze.vWalls[cell.x][cell.y] == 0;
        case kUp: return maze.hWalls[cell.x][cell.y] == 0;
        default: return maze.hWalls[cell.x][cell.y + 1] == 0;
    }
}

bool Inside(MazeCell cell) {
    return cell.x >= 0 && cell.x < kMazeColumns && cell.y >= 0 && cell.y < kMazeRows;
}

int Index(MazeCell cell) {
    return cell.x * kMazeRows + cell.y;
}

// Steps from every cell to start through open edges (kUnreached where no
// way leads).
std::array<int, kCellCount> Distances(const MazeGrid& maze, MazeCell start) {
    std::array<int, kCellCount> distance;
    distance.fill(kUnreached);
    std::array<MazeCell, kCellCount> queue;
    int head = 0;
    int tail = 0;
    distance[static_cast<std::size_t>(Index(start))] = 0;
    queue[static_cast<std::size_t>(tail++)] = start;
    while (head < tail) {
        const MazeCell cell = queue[static_cast<std::size_t>(head++)];
        for (const Neighbour& n : kNeighbours) {
            const MazeCell next{cell.x + n.dx, cell.y + n.dy};
            if (!Inside(next) || !Open(maze, cell, n.dir) ||
                distance[static_cast<std::size_t>(Index(next))] >= 0) {
                continue;
            }
            distance[static_cast<std::size_t>(Index(next))] =
                distance[static_cast<std::size_t>(Index(cell))] + 1;
            queue[static_cast<std::size_t>(tail++)] = next;
        }
    }
    return distance;
}

int CellIndex(float position, float rest) {
    return static_cast<int>(std::lround((position - rest) / kCellSize));
}

}  // namespace

MazeCell RestCell(float x, float y) {
    return {CellIndex(x, kRestX), CellIndex(y, kRestY)};
}

MazeCell DestinationCell(const Actor& actor) {
    if (actor.moving == 0) {
        return RestCell(actor.x, actor.y);
    }
    const bool horizontal = actor.dir == kRight || actor.dir == kLeft;
    return RestCell(horizontal ? actor.targetX : actor.x, horizontal ? actor.y : actor.targetY);
}

int FirstStepTowards(const MazeGrid& maze, MazeCell from, MazeCell to) {
    if (!Inside(from) || !Inside(to)) {
        return -1;
    }
    const std::array<int, kCellCount> distance = Distances(maze, to);
    const int here = distance[static_cast<std::size_t>(Index(from))];
    if (here <= 0) {
        return -1;
    }
    for (const Neighbour& n : kNeighbours) {
        const MazeCell next{from.x + n.dx, from.y + n.dy};
        if (Inside(next) && Open(maze, from, n.dir) &&
            distance[static_cast<std::size_t>(Index(next))] == here - 1) {
            return n.dir;
        }
    }
    return -1;
}

int ReachableCells(const MazeGrid& maze) {
    int reached = 0;
    for (const int distance : Distances(maze, {0, 0})) {
        reached += distance >= 0 ? 1 : 0;
    }
    return reached;
}

BYTE ArrowKey(int dir) {
    switch (dir) {
        case kRight: return DIK_RIGHT;
        case kLeft: return DIK_LEFT;
        case kUp: return DIK_UP;
        default: return DIK_DOWN;
    }
}
