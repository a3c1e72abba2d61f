// The per-frame poll against scripted devices: thresholds, the keyboard
// taking over, and what a failing device leaves behind.
#include <gtest/gtest.h>

#include <string>

#include <cstring>
#include <vector>

#include "game/game_state.h"
#include "platform/input_devices.h"
#include "platform/input_polling.h"

namespace {

// A device whose reads are scripted and whose calls are counted. It checks
// the size the poll asks for, as the real devices do.
class ScriptedDevice final : public IDirectInputDevice8 {
  public:
    explicit ScriptedDevice(DWORD stateSize) : stateSize_(stateSize) {}

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetCapabilities(LPDIDEVCAPS) override { return DI_OK; }
    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
    HRESULT SetProperty(DIPROPID, LPCDIPROPHEADER) override { return DI_OK; }
    HRESULT Acquire() override {
        ++acquires;
        return DI_OK;
    }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        ++reads;
        if (size != stateSize_) {
            return DIERR_INVALIDPARAM;
        }
        if (FAILED(readResult)) {
            return readResult;
        }
        std::memcpy(data,
                    stateSize_ == sizeof(DIJOYSTATE) ? static_cast<const void*>(&stick)
                                                     : static_cast<const void*>(keys),
                    size);
        return DI_OK;
    }
    HRESULT SetDataFormat(LPCDIDATAFORMAT) override { return DI_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DI_OK; }
    HRESULT Poll() override {
        ++polls;
        return pollResult;
    }

    HRESULT pollResult = DI_OK;
    HRESULT readResult = DI_OK;
    DIJOYSTATE stick = {};
    BYTE keys[256] = {};
    int polls = 0;
    int reads = 0;
    int acquires = 0;

  private:
    DWORD stateSize_;
};

class PollInputTest : public testing::Test {
  protected:
    void SetUp() override {
        savedKeyboard_ = keyboardDevice;
        savedController_ = controllerDevice;
        keyboardDevice = &keyboard_;
        controllerDevice = &controller_;
        // Stale flags from an earlier frame must not survive a poll.
        gameState.input = {1, 1, 1, 1};
    }
    void TearDown() override {
        keyboardDevice = savedKeyboard_;
        controllerDevice = savedController_;
    }

    InputState Poll() {
        PollInput();
        return gameState.input;
    }

    ScriptedDevice keyboard_{256};
    ScriptedDevice controller_{sizeof(DIJOYSTATE)};

  private:
    IDirectInputDevice8* savedKeyboard_ = nullptr;
    IDirectInputDevice8* savedController_ = nullptr;
};

// The four flags as one comparable value: left, right, up, down.
std::string Flags(const InputState& s) {
    return std::to_string(s.inLeft) + std::to_string(s.inRight) + std::to_string(s.inUp) +
           std::to_string(s.inDown);
}
std::string Flags(int left, int right, int up, int down) {
    return std::to_string(left) + std::to_string(right) + std::to_string(up) + std::to_string(down);
}

// ---- Stick thresholds -------------------------------------------------------

struct StickCase {
    LONG position;
    int negative;  // left for x, up for y
    int positive;  // right for x, down for y
};

class StickThresholdTest : public PollInputTest, public testing::WithParamInterface<StickCase> {};

TEST_P(StickThresholdTest, XAxis) {
    controller_.stick.lX = GetParam().position;
    EXPECT_EQ(Flags(Poll()), Flags(GetParam().negative, GetParam().positive, 0, 0));
}

TEST_P(StickThresholdTest, YAxis) {
    controller_.stick.lY = GetParam().position;
    EXPECT_EQ(Flags(Poll()), Flags(0, 0, GetParam().negative, GetParam().positive));
}

INSTANTIATE_TEST_SUITE_P(Positions, StickThresholdTest,
                         testing::Values(StickCase{-1000, 1, 0}, StickCase{-500, 1, 0},
                                         StickCase{-499, 0, 0}, StickCase{0, 0, 0},
                                         StickCase{499, 0, 0}, StickCase{500, 0, 1},
                                         StickCase{1000, 0, 1}));

TEST_F(PollInputTest, DiagonalStickGivesBothDirections) {
    controller_.stick.lX = 700;
    controller_.stick.lY = 800;
    EXPECT_EQ(Flags(Poll()), Flags(0, 1, 0, 1));
}

TEST_F(PollInputTest, AsksForTheStandardStateSizes) {
    controller_.stick.lX = -1000;
    EXPECT_EQ(Flags(Poll()), Flags(1, 0, 0, 0));
    EXPECT_EQ(controller_.reads, 1);
    EXPECT_EQ(keyboard_.reads, 1);
    EXPECT_EQ(controller_.polls, 1);
}

// ---- The keyboard ------------------------------------------------------------

struct KeyCase {
    const char* name;
    LONG stickX;
    LONG stickY;
    std::vector<BYTE> held;
    int left;
    int right;
    int up;
    int down;
};

class KeyboardTest : public PollInputTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyboardTest, Flags) {
    const KeyCase& c = GetParam();
    controller_.stick.lX = c.stickX;
    controller_.stick.lY = c.stickY;
    for (BYTE key : c.held) {
        keyboard_.keys[key] = 0x80;
    }
    EXPECT_EQ(Flags(Poll()), Flags(c.left, c.right, c.up, c.down));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyboardTest,
    testing::Values(
        KeyCase{"UpReplacesStickLeft", -1000, 0, {DIK_UP}, 0, 0, 1, 0},
        KeyCase{"EnterAloneClearsStick", 1000, 1000, {DIK_RETURN}, 0, 0, 0, 0},
        KeyCase{"LeftBeatsRight", 0, 0, {DIK_LEFT, DIK_RIGHT}, 1, 0, 0, 0},
        KeyCase{"UpBeatsDown", 0, 0, {DIK_DOWN, DIK_UP}, 0, 0, 1, 0},
        KeyCase{"RightAndDown", 0, 0, {DIK_RIGHT, DIK_DOWN}, 0, 1, 0, 1},
        KeyCase{"AllFour", 0, 0, {DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN}, 1, 0, 1, 0},
        KeyCase{"OtherKeysLeaveTheStick", -1000, 1000, {DIK_SPACE, DIK_A, DIK_ESCAPE}, 1, 0, 0, 1},
        KeyCase{"NoKeysLeaveTheStick", 600, -600, {}, 0, 1, 1, 0},
        KeyCase{"KeypadArrowsAreNotWatched", 0, 0, {DIK_NUMPAD4, DIK_NUMPAD8}, 0, 0, 0, 0}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(PollInputTest, AnyNonZeroByteCountsAsDown) {
    keyboard_.keys[DIK_RIGHT] = 0x01;
    EXPECT_EQ(Flags(Poll()), Flags(0, 1, 0, 0));
}

// ---- Failing devices ---------------------------------------------------------

TEST_F(PollInputTest, FailedControllerPollReacquiresAndStillReads) {
    controller_.pollResult = DIERR_NOTACQUIRED;
    controller_.stick.lX = 1000;
    EXPECT_EQ(Flags(Poll()), Flags(0, 1, 0, 0));
    EXPECT_EQ(controller_.acquires, 1);
    EXPECT_EQ(controller_.reads, 1);
}

TEST_F(PollInputTest, ControllerThatCannotBeReadContributesNothing) {
    controller_.readResult = DIERR_INPUTLOST;
    controller_.stick.lX = -1000;
    controller_.stick.lY = -1000;
    EXPECT_EQ(Flags(Poll()), Flags(0, 0, 0, 0));
    EXPECT_EQ(controller_.acquires, 0) << "only a failed Poll acquires";
}

TEST_F(PollInputTest, FailedKeyboardReadReacquiresAndTheStickStands) {
    keyboard_.readResult = DIERR_NOTACQUIRED;
    keyboard_.keys[DIK_UP] = 0x80;
    controller_.stick.lX = -1000;
    EXPECT_EQ(Flags(Poll()), Flags(1, 0, 0, 0));
    EXPECT_EQ(keyboard_.acquires, 1);
}

TEST_F(PollInputTest, WithoutControllerOnlyTheKeyboardIsRead) {
    controllerDevice = nullptr;
    keyboard_.keys[DIK_DOWN] = 0x80;
    EXPECT_EQ(Flags(Poll()), Flags(0, 0, 0, 1));
    keyboard_.keys[DIK_DOWN] = 0;
    EXPECT_EQ(Flags(Poll()), Flags(0, 0, 0, 0));
    EXPECT_EQ(controller_.reads, 0);
}

TEST_F(PollInputTest, WithNoDevicesAllFlagsClear) {
    controllerDevice = nullptr;
    keyboardDevice = nullptr;
    EXPECT_EQ(Flags(Poll()), Flags(0, 0, 0, 0));
}

}  // namespace
