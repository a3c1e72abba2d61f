#include "platform/input_polling.h"

#include "game/game_state.h"
#include "platform/input_devices.h"

namespace {

// The stick must be pushed at least this far from the centre, on the
// -1000..+1000 scale, to count as a direction.
constexpr LONG kStickThreshold = 500;

bool Down(const BYTE (&keys)[256], BYTE key) {
    return keys[key] != 0;
}

}  // namespace

void PollInput() {
    InputState& input = gameState.input;
    input.inLeft = 0;
    input.inRight = 0;
    input.inUp = 0;
    input.inDown = 0;

    if (controllerDevice != nullptr) {
        if (FAILED(controllerDevice->Poll())) {
            controllerDevice->Acquire();
        }
        DIJOYSTATE stick;
        if (SUCCEEDED(controllerDevice->GetDeviceState(sizeof(DIJOYSTATE), &stick))) {
            input.inLeft = stick.lX <= -kStickThreshold ? 1 : 0;
            input.inRight = stick.lX >= kStickThreshold ? 1 : 0;
            input.inUp = stick.lY <= -kStickThreshold ? 1 : 0;
            input.inDown = stick.lY >= kStickThreshold ? 1 : 0;
        }
    }

    // A keyboard that cannot be read is re-acquired; the stick's flags stand.
    BYTE keys[256];
    if (keyboardDevice == nullptr || FAILED(keyboardDevice->GetDeviceState(sizeof(keys), keys))) {
        if (keyboardDevice != nullptr) {
            keyboardDevice->Acquire();
        }
        return;
    }
    const bool left = Down(keys, DIK_LEFT);
    const bool right = Down(keys, DIK_RIGHT);
    const bool up = Down(keys, DIK_UP);
    const bool down = Down(keys, DIK_DOWN);
    if (!(left || right || up || down || Down(keys, DIK_RETURN))) {
        return;
    }
    // Left wins over Right, Up over Down.
    input.inLeft = left ? 1 : 0;
    input.inRight = !left && right ? 1 : 0;
    input.inUp = up ? 1 : 0;
    input.inDown = !up && down ? 1 : 0;
}
