#include "game/scene.h"

#include "game/game_state.h"
#include "platform/graphics.h"

namespace {

constexpr D3DCOLOR kBackground = 0xFF0000FF;
// Opaque white modulates nothing: the texels show unchanged.
constexpr D3DCOLOR kUntinted = 0xFFFFFFFF;

// Regions of the atlas, (left, top)-(right, bottom) with right and bottom
// exclusive.
constexpr RECT kGoalMarker = {384, 0, 416, 32};
constexpr RECT kFrameTile = {418, 0, 438, 20};
constexpr RECT kFloor = {440, 0, 476, 36};
constexpr RECT kVerticalWall = {478, 0, 482, 36};
constexpr RECT kVerticalOpen = {484, 0, 488, 36};
constexpr RECT kHorizontalWall = {440, 38, 476, 42};
constexpr RECT kHorizontalOpen = {440, 44, 476, 48};
constexpr RECT kPost = {478, 38, 484, 44};

// Figures are 32 x 32: the player's in the top row of the atlas, the
// enemy's in the one below, three walking frames per direction.
constexpr LONG kFigureSize = 32;
constexpr LONG kPlayerRow = 0;
constexpr LONG kEnemyRow = 1;

// The frame border: tiles of 20 pixels down both sides and along the top and
// the bottom; the lowest row lies below a 640 x 480 back buffer.
constexpr int kSideTiles = 24;
constexpr int kRowTiles = 32;
constexpr float kTile = 20.0f;
constexpr float kRightSide = 620.0f;
constexpr float kBottomRows[] = {460.0f, 480.0f};

// Screen offsets of a cell's floor, of the edge strips and of the posts
// from 40 times the cell, edge or post index.
constexpr float kFloorOffset = 20.0f;
constexpr float kEdgeOffset = 16.0f;
constexpr float kPostOffset = 15.0f;

// Sprite tops above an actor's or the goal's y.
constexpr float kFigureLift = 42.0f;
constexpr float kGoalLift = 44.0f;

// Over one cycle of the animation phase the figures show frames 0, 1, 0, 2,
// a quarter each.
LONG WalkingFrame(float phase) {
    if (phase > 0.25f && phase < 0.5f) {
        return 1;
    }
    return phase > 0.75f ? 2 : 0;
}

RECT FigureSource(LONG row, LONG direction, LONG frame) {
    const LONG left = kFigureSize * (3 * direction + frame);
    const LONG top = kFigureSize * row;
    return {left, top, left + kFigureSize, top + kFigureSize};
}

void Put(const RECT& source, float x, float y) {
    const D3DXVECTOR3 position = {x, y, 0.0f};
    spriteBatcher->Draw(atlasTexture, &source, nullptr, &position, kUntinted);
}

void DrawBorder() {
    for (int i = 0; i < kSideTiles; ++i) {
        Put(kFrameTile, 0.0f, kTile * i);
        Put(kFrameTile, kRightSide, kTile * i);
    }
    for (int j = 0; j < kRowTiles; ++j) {
        Put(kFrameTile, kTile * j, 0.0f);
        for (float y : kBottomRows) {
            Put(kFrameTile, kTile * j, y);
        }
    }
}

void DrawMaze(const MazeGrid& maze) {
    for (int x = 0; x < kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y) {
            Put(kFloor, kCellSize * x + kFloorOffset, kCellSize * y + kFloorOffset);
        }
    }
    for (int x = 0; x <= kMazeColumns; ++x) {
        for (int y = 0; y < kMazeRows; ++y) {
            Put(maze.vWalls[x][y] == 1 ? kVerticalWall : kVerticalOpen, kCellSize * x + kEdgeOffset,
                kCellSize * y + kFloorOffset);
        }
    }
    for (int x = 0; x < kMazeColumns; ++x) {
        for (int y = 0; y <= kMazeRows; ++y) {
            Put(maze.hWalls[x][y] == 1 ? kHorizontalWall : kHorizontalOpen,
                kCellSize * x + kFloorOffset, kCellSize * y + kEdgeOffset);
        }
    }
    for (int px = 0; px <= kMazeColumns; ++px) {
        for (int py = 0; py <= kMazeRows; ++py) {
            Put(kPost, kCellSize * px + kPostOffset, kCellSize * py + kPostOffset);
        }
    }
}

void DrawFigure(const Actor& actor, LONG row, LONG frame) {
    Put(FigureSource(row, actor.dir, frame), actor.x, actor.y - kFigureLift);
}

}  // namespace

void DrawFrame() {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0);
    if (SUCCEEDED(device->BeginScene())) {
        spriteBatcher->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
        DrawBorder();
        DrawMaze(gameState.maze);
        Put(kGoalMarker, gameState.goalX, gameState.goalY - kGoalLift);
        const LONG frame = WalkingFrame(gameState.clock.animPhase);
        DrawFigure(gameState.actors[kEnemy], kEnemyRow, frame);
        DrawFigure(gameState.actors[kPlayer], kPlayerRow, frame);
        spriteBatcher->End();
        device->EndScene();
    }
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
