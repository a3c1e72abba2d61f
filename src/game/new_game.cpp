#include "game/new_game.h"

#include "game/game_state.h"
#include "game/maze.h"

void StartNewGame() {
    GenerateMaze();

    // The player's dir is left as it stands: a run starts facing right.
    Actor& player = gameState.actors[kPlayer];
    player.state = kActorWalking;
    player.moving = 0;
    player.speed = kPlayerSpeed;
    player.x = kRestX;
    player.y = kRestY;

    gameState.goalX = kGoalBottomRightX;
    gameState.goalY = kGoalBottomRightY;

    Actor& enemy = gameState.actors[kEnemy];
    enemy.state = kActorWalking;
    enemy.x = kRestX + kCellSize * 9;
    enemy.y = kRestY + kCellSize * 5;
    enemy.moving = 0;
    enemy.dir = kDown;
    enemy.speed = 100.0f;
}
