// A game controller on the SDL backend, driven as the game drives it: the game
// window, the keyboard and the controller set up by the game's own code, then
// frame after frame of stick movement polled and the messages taken. The
// controller is SDL's virtual joystick. Needs a display (CI runs the suite
// under xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "game/game_state.h"
#include "platform/input_devices.h"
#include "platform/input_polling.h"
#include "runtime/backend.h"
#include "runtime/win32/sdl_window.h"
#include "shell/window.h"
#include "support/sdl_backend.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

// SDL's event queue holds at most 65535 events, and a game controller queues
// two for every change of an axis: left in the queue, these changes fill it.
constexpr int kAxes = 6;
constexpr int kStickChanges = 42000;

template <class T>
void ReleaseOnce(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

class ControllerSdlTest : public testing::Test {
  protected:
    void SetUp() override {
        if (const auto unavailable = StartSdlBackend()) {
            GTEST_SKIP() << *unavailable;
        }
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        joystickStarted_ = true;
        virtualIndex_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, kAxes, 0, 0);
        ASSERT_GE(virtualIndex_, 0) << SDL_GetError();
        virtualStick_ = SDL_JoystickOpen(virtualIndex_);
        ASSERT_NE(virtualStick_, nullptr) << SDL_GetError();

        mainWindow = nullptr;
        windowActive = 0;
        gameState.input = {};
        ASSERT_EQ(InitWindow(kInstance), 1);
        window_ = mainWindow;
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        ASSERT_EQ(windowActive, 1);
        ASSERT_EQ(InitKeyboard(kInstance), 1);
        ASSERT_EQ(InitController(kInstance), 1);
        ASSERT_NE(controllerDevice, nullptr);
    }

    void TearDown() override {
        ReleaseOnce(controllerDevice);
        ReleaseOnce(keyboardDevice);
        ReleaseOnce(directInput);
        if (mainWindow != nullptr) {
            DestroyWindow(mainWindow);
        }
        UnregisterClassA("MainClass", kInstance);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        if (virtualStick_ != nullptr) {
            SDL_JoystickClose(virtualStick_);
        }
        if (virtualIndex_ >= 0) {
            SDL_JoystickDetachVirtual(virtualIndex_);
        }
        if (joystickStarted_) {
            SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        }
        SelectBackend(RuntimeBackend::Headless);
    }

    // The main loop's message half: every waiting message taken and
    // dispatched.
    void TakeMessages() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            taken_.push_back(message);
        }
    }

    // Frames of the main loop, the message half first, while the stick swings
    // from side to side on every axis. Every frame the game's input poll sees
    // the stick where it was put.
    void SwingTheStick() {
        int wrongFrames = 0;
        for (int frame = 0; frame * kAxes < kStickChanges; ++frame) {
            TakeMessages();
            const bool right = frame % 2 == 0;
            for (int axis = 0; axis < kAxes; ++axis) {
                ASSERT_EQ(
                    SDL_JoystickSetVirtualAxis(
                        virtualStick_, axis, right ? SDL_JOYSTICK_AXIS_MAX : SDL_JOYSTICK_AXIS_MIN),
                    0);
            }
            PollInput();
            wrongFrames += gameState.input.inRight != (right ? 1 : 0) ||
                           gameState.input.inLeft != (right ? 0 : 1);
        }
        EXPECT_EQ(wrongFrames, 0);
    }

    // Runs the message half until the quit arrives, for at most five seconds.
    bool RunUntilQuit() {
        const Uint32 start = SDL_GetTicks();
        while (SDL_GetTicks() - start < 5000) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    return true;
                }
                TranslateMessage(&message);
                DispatchMessageA(&message);
                taken_.push_back(message);
            }
            SDL_Delay(10);
        }
        return false;
    }

    void PushWindowEvent(SDL_WindowEventID what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(FindWindowRecord(window_)->sdlWindow);
        event.window.event = static_cast<Uint8>(what);
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    bool Took(UINT message, WPARAM wParam) const {
        for (const MSG& seen : taken_) {
            if (seen.hwnd == window_ && seen.message == message && seen.wParam == wParam) {
                return true;
            }
        }
        return false;
    }

    bool joystickStarted_ = false;
    int virtualIndex_ = -1;
    SDL_Joystick* virtualStick_ = nullptr;
    HWND window_ = nullptr;
    std::vector<MSG> taken_;
};

TEST_F(ControllerSdlTest, FocusChangesAndEscapeStillArriveAfterLongPlayWithTheStick) {
    SwingTheStick();

    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    TakeMessages();
    EXPECT_EQ(windowActive, 0);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    TakeMessages();
    EXPECT_EQ(windowActive, 1);

    SDL_Event escape{};
    escape.type = SDL_KEYDOWN;
    escape.key.windowID = SDL_GetWindowID(FindWindowRecord(window_)->sdlWindow);
    escape.key.state = SDL_PRESSED;
    escape.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    escape.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&escape), 1) << SDL_GetError();
    ASSERT_TRUE(RunUntilQuit());
    EXPECT_TRUE(Took(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(ControllerSdlTest, TheCloseButtonStillClosesAfterLongPlayWithTheStick) {
    SwingTheStick();

    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    ASSERT_TRUE(RunUntilQuit());
    EXPECT_TRUE(Took(WM_CLOSE, 0));
    EXPECT_EQ(mainWindow, nullptr);
}

}  // namespace
