// Keyboard and controller set-up on the headless runtime, and the poll over
// the real devices: which controller is chosen, the axis ranges, failure
// paths, and the window going to the background and coming back.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "game/game_state.h"
#include "platform/input_devices.h"
#include "platform/input_polling.h"
#include "runtime/backend.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/win32/headless_window.h"
#include "shell/window.h"

namespace {

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

template <class T>
void ReleaseOnce(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

class InputDevicesTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        ResetHeadlessInput();
        baseline_ = LiveInputObjectCount();
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.lpszClassName = "InputDevicesTest";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        mainWindow = CreateWindowExA(0, "InputDevicesTest", "Input", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                     100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(mainWindow, nullptr);
        HeadlessActivate(mainWindow);
        gameState.input = {};
    }

    void TearDown() override {
        if (controllerDevice != nullptr) {
            controllerDevice->Unacquire();
        }
        ReleaseOnce(controllerDevice);
        if (keyboardDevice != nullptr) {
            keyboardDevice->Unacquire();
        }
        ReleaseOnce(keyboardDevice);
        ReleaseOnce(directInput);
        EXPECT_EQ(LiveInputObjectCount(), baseline_) << "an input object leaked";
        mainWindow = nullptr;
        ResetHeadlessWindowing();
        ResetHeadlessInput();
    }

    static HeadlessControllerOptions Named(const char* name) {
        HeadlessControllerOptions options;
        options.name = name;
        return options;
    }

    static DIJOYSTATE ReadController() {
        DIJOYSTATE state = {};
        EXPECT_EQ(controllerDevice->GetDeviceState(sizeof(state), &state), DI_OK);
        return state;
    }

    int baseline_ = 0;
};

// ---- Keyboard ----------------------------------------------------------------

TEST_F(InputDevicesTest, KeyboardIsReadyAndAcquired) {
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    ASSERT_NE(directInput, nullptr);
    ASSERT_NE(keyboardDevice, nullptr);
    HeadlessSetKey(DIK_RIGHT, true);
    BYTE keys[256];
    ASSERT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_RIGHT], 0x80);
}

TEST_F(InputDevicesTest, KeyboardSetUpInTheBackgroundStillSucceeds) {
    HeadlessActivate(nullptr);
    EXPECT_EQ(InitKeyboard(nullptr), 1);
}

struct KeyboardFailure {
    const char* name;
    HeadlessInputFailures failures;
    bool noWindow;
};

class KeyboardFailureTest : public InputDevicesTest,
                            public testing::WithParamInterface<KeyboardFailure> {};

TEST_P(KeyboardFailureTest, ReturnsEFail) {
    SetHeadlessInputFailures(GetParam().failures);
    if (GetParam().noWindow) {
        mainWindow = nullptr;
    }
    EXPECT_EQ(InitKeyboard(nullptr), E_FAIL);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KeyboardFailureTest,
    testing::Values(KeyboardFailure{"DirectInputObject", {E_OUTOFMEMORY, DI_OK}, false},
                    KeyboardFailure{"KeyboardDevice", {DI_OK, DIERR_DEVICENOTREG}, false},
                    KeyboardFailure{"CooperativeLevelWithoutWindow", {}, true}),
    [](const testing::TestParamInfo<KeyboardFailure>& info) { return info.param.name; });

// ---- Controller choice -------------------------------------------------------

TEST_F(InputDevicesTest, NoControllerFailsAndLeavesTheDeviceEmpty) {
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    EXPECT_EQ(InitController(nullptr), E_FAIL);
    EXPECT_EQ(controllerDevice, nullptr);
}

TEST_F(InputDevicesTest, ControllerWithoutDirectInputObjectFails) {
    EXPECT_EQ(InitController(nullptr), E_FAIL);
    EXPECT_EQ(controllerDevice, nullptr);
}

TEST_F(InputDevicesTest, FirstCreatableControllerAnsweringCapabilitiesWins) {
    HeadlessControllerOptions uncreatable = Named("uncreatable");
    uncreatable.createResult = DIERR_DEVICENOTREG;
    HeadlessControllerOptions silent = Named("silent");
    silent.capabilitiesResult = DIERR_INPUTLOST;
    const int skippedA = HeadlessAttachController(uncreatable);
    const int skippedB = HeadlessAttachController(silent);
    const int chosen = HeadlessAttachController(Named("chosen"));
    const int later = HeadlessAttachController(Named("later"));
    // Each controller's stick is somewhere else, so the reading tells which
    // one is in use.
    HeadlessSetControllerAxis(skippedA, 0, -32768);
    HeadlessSetControllerAxis(skippedB, 1, -32768);
    HeadlessSetControllerAxis(chosen, 0, 32767);
    HeadlessSetControllerAxis(later, 1, 32767);

    ASSERT_EQ(InitKeyboard(nullptr), 1);
    ASSERT_EQ(InitController(nullptr), 1);
    ASSERT_NE(controllerDevice, nullptr);
    const DIJOYSTATE state = ReadController();
    EXPECT_EQ(state.lX, 1000);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(controllerCaps.dwSize, 44u);
    // DirectInput, keyboard and the chosen controller: the controller that
    // did not answer was released.
    EXPECT_EQ(LiveInputObjectCount(), baseline_ + 3);
}

TEST_F(InputDevicesTest, NoUsableControllerFailsWithoutLeaking) {
    HeadlessControllerOptions uncreatable = Named("uncreatable");
    uncreatable.createResult = E_FAIL;
    HeadlessControllerOptions silent = Named("silent");
    silent.capabilitiesResult = DIERR_INPUTLOST;
    HeadlessAttachController(silent);
    HeadlessAttachController(uncreatable);
    HeadlessAttachController(silent);
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    EXPECT_EQ(InitController(nullptr), E_FAIL);
    EXPECT_EQ(controllerDevice, nullptr);
    EXPECT_EQ(LiveInputObjectCount(), baseline_ + 2);
}

TEST_F(InputDevicesTest, ControllerFailingALaterStepStaysInUse) {
    HeadlessAttachController(Named("pad"));
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    mainWindow = nullptr;
    EXPECT_EQ(InitController(nullptr), E_FAIL);
    ASSERT_NE(controllerDevice, nullptr);
    // The poll still uses it. Its set-up stopped before the axis ranges were
    // set, so its axes keep the default range 0..65535, where a centred stick
    // reads 32768: past the threshold to the right and down.
    PollInput();
    EXPECT_EQ(gameState.input.inRight, 1);
    EXPECT_EQ(gameState.input.inDown, 1);
    // Any watched key still takes over.
    HeadlessSetKey(DIK_RETURN, true);
    PollInput();
    EXPECT_EQ(gameState.input.inRight + gameState.input.inDown, 0);
}

// ---- Axis ranges -------------------------------------------------------------

TEST_F(InputDevicesTest, EveryAxisReportsMinusToPlusThousandCentredNearZero) {
    HeadlessControllerOptions options = Named("eight axes");
    options.axisCount = 8;
    const int pad = HeadlessAttachController(options);
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    ASSERT_EQ(InitController(nullptr), 1);

    auto axes = [](const DIJOYSTATE& s) {
        return std::vector<LONG>{s.lX,  s.lY,  s.lZ,           s.lRx,
                                 s.lRy, s.lRz, s.rglSlider[0], s.rglSlider[1]};
    };
    for (const auto& [raw, low, high] :
         {std::tuple{-32768, -1000, -1000}, std::tuple{0, -1, 1}, std::tuple{32767, 1000, 1000}}) {
        for (int axis = 0; axis < 8; ++axis) {
            HeadlessSetControllerAxis(pad, axis, raw);
        }
        for (LONG value : axes(ReadController())) {
            EXPECT_GE(value, low) << "raw " << raw;
            EXPECT_LE(value, high) << "raw " << raw;
        }
    }
}

// ---- Foreground --------------------------------------------------------------

TEST_F(InputDevicesTest, NoInputWhileInTheBackgroundAndInputAgainAfterComingBack) {
    const int pad = HeadlessAttachController(Named("pad"));
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    ASSERT_EQ(InitController(nullptr), 1);
    HeadlessSetControllerAxis(pad, 0, 32767);  // stick right
    HeadlessSetKey(DIK_UP, true);

    PollInput();
    EXPECT_EQ(gameState.input.inUp, 1);
    EXPECT_EQ(gameState.input.inRight, 0) << "the keyboard replaces the stick";

    HeadlessActivate(nullptr);
    for (int frame = 0; frame < 3; ++frame) {
        PollInput();
        EXPECT_EQ(gameState.input.inLeft + gameState.input.inRight + gameState.input.inUp +
                      gameState.input.inDown,
                  0)
            << "frame " << frame;
    }

    HeadlessActivate(mainWindow);
    // First frame in front: the controller re-acquires after its failed Poll
    // and is read at once; the keyboard's read fails and re-acquires it.
    PollInput();
    EXPECT_EQ(gameState.input.inRight, 1);
    EXPECT_EQ(gameState.input.inUp, 0);
    // From the next frame both deliver again.
    PollInput();
    EXPECT_EQ(gameState.input.inUp, 1);
    EXPECT_EQ(gameState.input.inRight, 0);
}

TEST_F(InputDevicesTest, StickThroughTheRuntimeGivesDirections) {
    const int pad = HeadlessAttachController(Named("pad"));
    ASSERT_EQ(InitKeyboard(nullptr), 1);
    ASSERT_EQ(InitController(nullptr), 1);
    HeadlessSetControllerAxis(pad, 0, -32768);
    HeadlessSetControllerAxis(pad, 1, 32767);
    PollInput();
    EXPECT_EQ(gameState.input.inLeft, 1);
    EXPECT_EQ(gameState.input.inDown, 1);
    HeadlessSetControllerAxis(pad, 0, 0);
    HeadlessSetControllerAxis(pad, 1, 0);
    PollInput();
    EXPECT_EQ(gameState.input.inLeft + gameState.input.inDown, 0);
}

}  // namespace
