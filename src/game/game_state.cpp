#include "game/game_state.h"

GameState InitialGameState() {
    GameState state{};
    for (Actor& actor : state.actors) {
        actor.speed = 100.0f;
    }
    state.actorSlots = 15;
    return state;
}

GameState gameState = InitialGameState();

int CellColumn(float x) {
    return static_cast<int>((x - kRestX) / kCellSize + 1.0f);
}

int CellRow(float y) {
    return static_cast<int>((y - kRestY) / kCellSize + 1.0f);
}
