// The keyboard device on the SDL backend, reading SDL's key state. Needs a
// display (CI runs the suite under xvfb-run); skipped without one.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "runtime/backend.h"
#include "vellorn/com_ptr.h"
#include "vellorn/dinput.h"

namespace {

class SdlKeyboardTest : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no display";
        }
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            GTEST_SKIP() << "SDL video cannot start: " << SDL_GetError();
        }
        videoStarted_ = true;
        SelectBackend(RuntimeBackend::Sdl);
    }
    void TearDown() override {
        SelectBackend(RuntimeBackend::Headless);
        if (videoStarted_) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }

    bool videoStarted_ = false;
};

TEST_F(SdlKeyboardTest, ReadsSdlKeyStateThroughTheScancodeTable) {
    void* created = nullptr;
    ASSERT_EQ(
        DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr),
        DI_OK);
    auto input = ComPtr<IDirectInput8>::Adopt(static_cast<IDirectInput8*>(created));
    ComPtr<IDirectInputDevice8> keyboard;
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, keyboard.ReleaseAndGetAddressOf(), nullptr),
              DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    // Background cooperation: the read must not depend on which X window has
    // the focus under the virtual display.
    ASSERT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);

    SDL_PumpEvents();
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0);

    // SDL gives no call that presses a key (a pushed SDL_KEYDOWN event only
    // travels through the event queue), so the test sets the byte in the live
    // state array SDL hands out, as SDL's own key handling does.
    int count = 0;
    auto* state = const_cast<Uint8*>(SDL_GetKeyboardState(&count));
    ASSERT_GT(count, SDL_SCANCODE_RETURN);
    state[SDL_SCANCODE_LEFT] = 1;
    state[SDL_SCANCODE_RETURN] = 1;
    const HRESULT read = keyboard->GetDeviceState(sizeof(keys), keys);
    state[SDL_SCANCODE_LEFT] = 0;
    state[SDL_SCANCODE_RETURN] = 0;
    ASSERT_EQ(read, DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0x80);
    EXPECT_EQ(keys[DIK_RETURN], 0x80);
    EXPECT_EQ(keys[DIK_RIGHT], 0);

    // Released keys read as up again.
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0);
}

TEST_F(SdlKeyboardTest, EnumeratesTheKeyboardAndWhateverControllersSdlSees) {
    void* created = nullptr;
    ASSERT_EQ(
        DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr),
        DI_OK);
    auto input = ComPtr<IDirectInput8>::Adopt(static_cast<IDirectInput8*>(created));
    int devices = 0;
    ASSERT_EQ(input->EnumDevices(
                  DI8DEVCLASS_ALL,
                  [](LPCDIDEVICEINSTANCEA, LPVOID context) -> BOOL {
                      ++*static_cast<int*>(context);
                      return DIENUM_CONTINUE;
                  },
                  &devices, DIEDFL_ATTACHEDONLY),
              DI_OK);
    const int joysticks = SDL_WasInit(SDL_INIT_JOYSTICK) != 0 ? SDL_NumJoysticks() : 0;
    EXPECT_EQ(devices, 1 + joysticks);
}

}  // namespace
