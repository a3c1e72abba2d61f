#include "game/frame.h"

#include "game/game_state.h"
#include "game/play.h"
#include "shell/window.h"
#include "vellorn/win32_system.h"

void UpdateFrame() {
    if (windowActive == 0) {
        return;
    }
    UpdatePlay();

    FrameClock& clock = gameState.clock;
    clock.thisTick = GetTickCount();
    // The difference is taken modulo 2^32 and read as signed, so a wrap of the
    // tick counter still gives the true small step.
    const auto elapsed = static_cast<std::int32_t>(clock.thisTick - clock.lastTick);
    clock.dt = static_cast<float>(static_cast<double>(elapsed) * 0.001);
    clock.lastTick = clock.thisTick;

    clock.animPhase += clock.dt;
    if (clock.animPhase >= 1.0f) {
        clock.animPhase -= 1.0f;
    }
}
