#include "game/play.h"

#include <algorithm>

#include "game/game_state.h"
#include "game/maze.h"
#include "game/random.h"
#include "platform/sound.h"

namespace {

constexpr int kGoalSound = 0;
constexpr int kCaughtSound = 1;
constexpr float kEnemySpeedUp = 25.0f;
// A caught player reappears at the start once its flight reaches this height.
constexpr float kFlightEnd = -320.0f;
constexpr float kFlightSpeedFactor = 3.0f;
constexpr float kTouchOffset = 16.0f;
constexpr float kTouchSpan = 32.0f;

constexpr int kNoDirection = -1;

// Whether the edge of the actor's cell in direction dir is open.
bool EdgeOpen(const Actor& actor, int dir) {
    const MazeGrid& maze = gameState.maze;
    const int cx = CellColumn(actor.x) - 1;
    const int cy = CellRow(actor.y) - 1;
    switch (dir) {
        case kRight: return maze.vWalls[cx + 1][cy] == 0;
        case kLeft: return maze.vWalls[cx][cy] == 0;
        case kUp: return maze.hWalls[cx][cy] == 0;
        default: return maze.hWalls[cx][cy + 1] == 0;
    }
}

int Opposite(int dir) {
    switch (dir) {
        case kRight: return kLeft;
        case kLeft: return kRight;
        case kUp: return kDown;
        default: return kUp;
    }
}

// The enemy's choice of direction at rest. One roll is drawn whatever the
// walls; it goes straight on most of the time and turns back only at a dead
// end.
int SteerEnemy(const Actor& enemy) {
    const int roll = RandomInt(1, 100);
    const int ahead = enemy.dir;
    const bool horizontal = ahead == kRight || ahead == kLeft;
    const int lowSide = horizontal ? kDown : kRight;
    const int highSide = horizontal ? kUp : kLeft;
    const bool lowOpen = EdgeOpen(enemy, lowSide);
    const bool highOpen = EdgeOpen(enemy, highSide);

    if (EdgeOpen(enemy, ahead)) {
        if (lowOpen && highOpen) {
            return roll <= 10 ? lowSide : roll <= 20 ? highSide : ahead;
        }
        if (highOpen) {
            return roll <= 20 ? highSide : ahead;
        }
        if (lowOpen) {
            return roll <= 20 ? lowSide : ahead;
        }
        return ahead;
    }
    if (lowOpen && highOpen) {
        return roll <= 50 ? lowSide : highSide;
    }
    if (highOpen) {
        return highSide;
    }
    if (lowOpen) {
        return lowSide;
    }
    return Opposite(ahead);
}

// The player's wanted direction: the first held of right, left, up, down.
int WantedByPlayer() {
    const InputState& input = gameState.input;
    if (input.inRight != 0)
        return kRight;
    if (input.inLeft != 0)
        return kLeft;
    if (input.inUp != 0)
        return kUp;
    if (input.inDown != 0)
        return kDown;
    return kNoDirection;
}

// Begins a step in the one wanted direction if its edge is open. A wall
// leaves the actor as it is; no other direction is tried.
void BeginStep(Actor& actor, int wanted) {
    if (wanted == kNoDirection || !EdgeOpen(actor, wanted)) {
        return;
    }
    actor.moving = 1;
    actor.dir = wanted;
    switch (wanted) {
        case kRight: actor.targetX = actor.x + kCellSize; break;
        case kLeft: actor.targetX = actor.x - kCellSize; break;
        case kUp: actor.targetY = actor.y - kCellSize; break;
        default: actor.targetY = actor.y + kCellSize; break;
    }
}

// Moves along the current step; returns true when the step ended, in which
// case the actor stands exactly on its target.
bool ContinueStep(Actor& actor, float dt) {
    const float distance = dt * actor.speed;
    bool arrived = false;
    switch (actor.dir) {
        case kRight:
            actor.x += distance;
            arrived = actor.x >= actor.targetX;
            break;
        case kLeft:
            actor.x -= distance;
            arrived = actor.x <= actor.targetX;
            break;
        case kUp:
            actor.y -= distance;
            arrived = actor.y <= actor.targetY;
            break;
        default:
            actor.y += distance;
            arrived = actor.y >= actor.targetY;
            break;
    }
    if (arrived) {
        actor.moving = 0;
        if (actor.dir == kRight || actor.dir == kLeft) {
            actor.x = actor.targetX;
        } else {
            actor.y = actor.targetY;
        }
    }
    return arrived;
}

bool Touches(float a, float b) {
    return b < a + kTouchOffset && a + kTouchOffset < b + kTouchSpan;
}

void CheckGoal(const Actor& player) {
    GameState& g = gameState;
    if (!Touches(player.x, g.goalX) || !Touches(player.y, g.goalY)) {
        return;
    }
    PlaySoundEffect(kGoalSound);
    g.actors[kEnemy].speed += kEnemySpeedUp;
    GenerateMaze();
    if (g.goalX == kGoalBottomRightX) {
        g.goalX = kGoalTopLeftX;
        g.goalY = kGoalTopLeftY;
    } else {
        g.goalX = kGoalBottomRightX;
        g.goalY = kGoalBottomRightY;
    }
}

// A caught player flies up and to the right at three times its speed on
// each axis and reappears at the start when high enough above the screen.
void Fly(Actor& actor, bool isPlayer, float dt) {
    actor.x += dt * actor.speed * kFlightSpeedFactor;
    actor.y -= dt * actor.speed * kFlightSpeedFactor;
    if (actor.y <= kFlightEnd && isPlayer) {
        actor.state = kActorWalking;
        actor.moving = 0;
        actor.speed = kPlayerSpeed;
        actor.x = kRestX;
        actor.y = kRestY;
    }
}

// An enemy catches the player when they share a row or a column and are
// less than 16 pixels apart along it.
void CheckCapture(const Actor& enemy) {
    Actor& player = gameState.actors[kPlayer];
    if (player.state != kActorWalking || enemy.state != kActorWalking) {
        return;
    }
    const bool sameRow = enemy.y == player.y && Touches(enemy.x, player.x);
    const bool sameColumn = enemy.x == player.x && Touches(enemy.y, player.y);
    if (sameRow || sameColumn) {
        player.state = kActorCaught;
        PlaySoundEffect(kCaughtSound);
    }
}

}  // namespace

void UpdatePlay() {
    const int slots = std::min<int>(gameState.actorSlots, kActorCount);
    const float dt = gameState.clock.dt;
    for (int i = 0; i < slots; ++i) {
        Actor& actor = gameState.actors[i];
        const bool isPlayer = i == kPlayer;

        int steered = kNoDirection;
        if (!isPlayer && actor.moving == 0 && actor.state == kActorWalking) {
            steered = SteerEnemy(actor);
        }

        if (actor.state == kActorWalking && actor.moving == 0) {
            BeginStep(actor, isPlayer ? WantedByPlayer() : steered);
        } else if (actor.state == kActorWalking && actor.moving == 1) {
            if (ContinueStep(actor, dt) && isPlayer) {
                CheckGoal(actor);
            }
        } else if (actor.state == kActorCaught) {
            Fly(actor, isPlayer, dt);
        }

        if (!isPlayer) {
            CheckCapture(actor);
        }
    }
}
