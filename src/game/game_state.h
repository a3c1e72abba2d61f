// GameState: the one record of the game, with static storage. Positions are
// screen pixels of the 640 x 480 play area (x right, y down), times are
// seconds, tick counts are milliseconds.
#pragma once

#include <cstdint>

inline constexpr int kMazeColumns = 15;
inline constexpr int kMazeRows = 11;
inline constexpr float kCellSize = 40.0f;

// The rest position of an actor in cell (cx, cy) is
// (kRestX + kCellSize * cx, kRestY + kCellSize * cy).
inline constexpr float kRestX = 22.0f;
inline constexpr float kRestY = 66.0f;

// The goal marker stands on one of two corner cells, bottom right or top left
// (the rest positions of cells (14, 10) and (0, 0)).
inline constexpr float kGoalBottomRightX = 582.0f;
inline constexpr float kGoalBottomRightY = 466.0f;
inline constexpr float kGoalTopLeftX = kRestX;
inline constexpr float kGoalTopLeftY = kRestY;

inline constexpr float kPlayerSpeed = 150.0f;

// Walls on cell edges. Indexed by column, then row.
struct MazeGrid {
    // hWalls[x][y]: top edge of cell (x, y); y = 11 is the bottom border.
    std::int32_t hWalls[kMazeColumns][kMazeRows + 1];
    // vWalls[x][y]: left edge of cell (x, y); x = 15 is the right border.
    std::int32_t vWalls[kMazeColumns + 1][kMazeRows];
    // Scratch of the connectivity test: 0 unreached, 1 reached but not yet
    // examined, 2 reached and examined.
    std::int32_t floodMark[kMazeColumns][kMazeRows];
    // Loop flag of the full-sweep connectivity test.
    std::int32_t floodChanged;
};

enum ActorState : std::int32_t {
    kActorInert = 0,
    kActorWalking = 1,
    kActorCaught = 3,
};

enum Direction : std::int32_t {
    kRight = 0,
    kLeft = 1,
    kUp = 2,
    kDown = 3,
};

struct Actor {
    float x;
    float y;
    float speed;  // pixels per second
    std::int32_t state;
    std::int32_t moving;  // 1 while a 40-pixel step is under way
    float targetX;
    float targetY;
    std::int32_t dir;  // direction of the last step begun
};

inline constexpr int kActorCount = 16;
inline constexpr int kPlayer = 0;
inline constexpr int kEnemy = 1;

struct FrameClock {
    std::uint32_t lastTick;  // tick count at the end of the previous active frame
    std::uint32_t thisTick;  // tick count read in this frame
    float dt;                // time step in seconds
    float animPhase;         // walking-animation phase, [0, 1) in steady running
};

// Direction flags rewritten by the input poll at the start of every frame.
struct InputState {
    std::uint8_t inLeft;
    std::uint8_t inRight;
    std::uint8_t inUp;
    std::uint8_t inDown;
};

struct GameState {
    MazeGrid maze;
    Actor actors[kActorCount];
    // The play update walks this many slots; only 0 and 1 ever come to life.
    std::int32_t actorSlots;
    float goalX;
    float goalY;
    FrameClock clock;
    InputState input;
};

// The state every run starts from: all slots inert with speed 100, the rest 0.
GameState InitialGameState();

extern GameState gameState;

// The cell column and row of a position, both 1-based, truncated towards zero:
// a rest position in cell (0, 0) gives 1.
int CellColumn(float x);
int CellRow(float y);
