// The DirectInput objects on the headless backend: creation, enumeration,
// data formats, properties, the foreground rule and axis scaling.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/dinput/input_device.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/run_script.h"
#include "vellorn/com_ptr.h"
#include "vellorn/dinput.h"
#include "vellorn/win32_system.h"

namespace {

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.lpszClassName = "DinputTest";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "DinputTest", "Input", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, nullptr, nullptr);
}

DIPROPRANGE Range(DWORD how, DWORD object, LONG min, LONG max) {
    DIPROPRANGE range = {};
    range.diph = {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), object, how};
    range.lMin = min;
    range.lMax = max;
    return range;
}

DIPROPDWORD AxisMode(DWORD mode) {
    DIPROPDWORD property = {};
    property.diph = {sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE};
    property.dwData = mode;
    return property;
}

class DinputDeviceTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        ResetHeadlessInput();
        baseline_ = LiveInputObjectCount();
        window_ = MakeWindow();
        ASSERT_NE(window_, nullptr);
        HeadlessActivate(window_);
        void* created = nullptr;
        ASSERT_EQ(
            DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr),
            DI_OK);
        input_ = ComPtr<IDirectInput8>::Adopt(static_cast<IDirectInput8*>(created));
    }

    void TearDown() override {
        input_.Reset();
        EXPECT_EQ(LiveInputObjectCount(), baseline_) << "a DirectInput object leaked";
        RemoveRunScript();
        ResetHeadlessWindowing();
        ResetHeadlessInput();
    }

    std::vector<DIDEVICEINSTANCEA> Enumerate(DWORD deviceClass) {
        std::vector<DIDEVICEINSTANCEA> seen;
        EXPECT_EQ(input_->EnumDevices(
                      deviceClass,
                      [](LPCDIDEVICEINSTANCEA device, LPVOID context) -> BOOL {
                          static_cast<std::vector<DIDEVICEINSTANCEA>*>(context)->push_back(*device);
                          return DIENUM_CONTINUE;
                      },
                      &seen, DIEDFL_ATTACHEDONLY),
                  DI_OK);
        return seen;
    }

    ComPtr<IDirectInputDevice8> Keyboard() {
        ComPtr<IDirectInputDevice8> device;
        EXPECT_EQ(input_->CreateDevice(GUID_SysKeyboard, device.ReleaseAndGetAddressOf(), nullptr),
                  DI_OK);
        return device;
    }

    // The controller attached at index, created, in the joystick format,
    // foreground on the test window and acquired.
    ComPtr<IDirectInputDevice8> Controller(int index) {
        const std::vector<DIDEVICEINSTANCEA> controllers = Enumerate(DI8DEVCLASS_GAMECTRL);
        ComPtr<IDirectInputDevice8> device;
        EXPECT_EQ(input_->CreateDevice(controllers.at(static_cast<std::size_t>(index)).guidInstance,
                                       device.ReleaseAndGetAddressOf(), nullptr),
                  DI_OK);
        if (device) {
            EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
            EXPECT_EQ(device->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
                      DI_OK);
            EXPECT_EQ(device->Acquire(), DI_OK);
        }
        return device;
    }

    static DIJOYSTATE Read(IDirectInputDevice8* device) {
        DIJOYSTATE state;
        std::memset(&state, 0x5A, sizeof(state));
        EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
        return state;
    }

    int baseline_ = 0;
    HWND window_ = nullptr;
    ComPtr<IDirectInput8> input_;
};

// ---- DirectInput8Create ------------------------------------------------------

struct CreateCase {
    const char* name;
    DWORD version;
    const IID* iid;
    bool aggregated;
    HRESULT expected;
};

class DirectInputCreateTest : public testing::TestWithParam<CreateCase> {};

TEST_P(DirectInputCreateTest, RejectsBadArgumentsAndLeavesTheOutputNull) {
    SelectBackend(RuntimeBackend::Headless);
    ResetHeadlessInput();
    const CreateCase& c = GetParam();
    struct Outer : IUnknown {
        HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
    } outer;
    void* created = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(
        DirectInput8Create(nullptr, c.version, *c.iid, &created, c.aggregated ? &outer : nullptr),
        c.expected);
    EXPECT_EQ(created, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, DirectInputCreateTest,
    testing::Values(CreateCase{"OlderVersion", 0x0700, &IID_IDirectInput8A, false,
                               DIERR_OLDDIRECTINPUTVERSION},
                    CreateCase{"NewerVersion", 0x0900, &IID_IDirectInput8A, false,
                               DIERR_BETADIRECTINPUTVERSION},
                    CreateCase{"WrongInterface", DIRECTINPUT_VERSION, &IID_IDirectInputDevice8A,
                               false, DIERR_NOINTERFACE},
                    CreateCase{"Aggregated", DIRECTINPUT_VERSION, &IID_IDirectInput8A, true,
                               DIERR_NOAGGREGATION}),
    [](const testing::TestParamInfo<CreateCase>& info) { return info.param.name; });

TEST(DirectInputCreate, NullOutputIsInvalid) {
    EXPECT_EQ(
        DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr),
        DIERR_INVALIDPARAM);
}

// ---- Enumeration and creation -----------------------------------------------

TEST_F(DinputDeviceTest, EnumeratesKeyboardAndControllersByClassInAttachOrder) {
    HeadlessControllerOptions first;
    first.name = "First pad";
    HeadlessControllerOptions second;
    second.name = "Second stick";
    second.gamepad = false;
    HeadlessAttachController(first);
    HeadlessAttachController(second);

    const auto keyboards = Enumerate(DI8DEVCLASS_KEYBOARD);
    ASSERT_EQ(keyboards.size(), 1u);
    EXPECT_EQ(keyboards[0].guidInstance, GUID_SysKeyboard);
    EXPECT_EQ(keyboards[0].dwDevType & 0xFF, DI8DEVTYPE_KEYBOARD);

    const auto controllers = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(controllers.size(), 2u);
    EXPECT_STREQ(controllers[0].tszInstanceName, "First pad");
    EXPECT_EQ(controllers[0].dwDevType & 0xFF, DI8DEVTYPE_GAMEPAD);
    EXPECT_STREQ(controllers[1].tszInstanceName, "Second stick");
    EXPECT_EQ(controllers[1].dwDevType & 0xFF, DI8DEVTYPE_JOYSTICK);
    EXPECT_FALSE(controllers[0].guidInstance == controllers[1].guidInstance);

    EXPECT_EQ(Enumerate(DI8DEVCLASS_ALL).size(), 3u);
    EXPECT_TRUE(Enumerate(DI8DEVCLASS_POINTER).empty());
}

TEST_F(DinputDeviceTest, EnumerationStopsWhenTheCallbackSaysSo) {
    HeadlessAttachController({});
    HeadlessAttachController({});
    int calls = 0;
    EXPECT_EQ(input_->EnumDevices(
                  DI8DEVCLASS_GAMECTRL,
                  [](LPCDIDEVICEINSTANCEA, LPVOID context) -> BOOL {
                      ++*static_cast<int*>(context);
                      return DIENUM_STOP;
                  },
                  &calls, DIEDFL_ATTACHEDONLY),
              DI_OK);
    EXPECT_EQ(calls, 1);
}

TEST_F(DinputDeviceTest, EnumerationRejectsUnknownClassAndMissingCallback) {
    EXPECT_EQ(input_->EnumDevices(
                  99, [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return 1; }, nullptr, 0),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(input_->EnumDevices(DI8DEVCLASS_ALL, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
}

TEST_F(DinputDeviceTest, CreateDeviceFailuresLeaveTheOutputNull) {
    HeadlessControllerOptions broken;
    broken.createResult = E_FAIL;
    HeadlessAttachController(broken);
    const auto controllers = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(controllers.size(), 1u);

    IDirectInputDevice8* device = reinterpret_cast<IDirectInputDevice8*>(0x1);
    EXPECT_EQ(input_->CreateDevice(controllers[0].guidInstance, &device, nullptr), E_FAIL);
    EXPECT_EQ(device, nullptr);
    device = reinterpret_cast<IDirectInputDevice8*>(0x1);
    EXPECT_EQ(input_->CreateDevice(GUID_SysMouse, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(input_->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
}

// ---- Data formats and state reads -------------------------------------------

TEST_F(DinputDeviceTest, EachDeviceTakesOnlyItsStandardFormatOrAnExactCopy) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIJoystick), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    DIDATAFORMAT copy = c_dfDIKeyboard;
    EXPECT_EQ(keyboard->SetDataFormat(&copy), DI_OK);
    copy.dwDataSize = 128;
    EXPECT_EQ(keyboard->SetDataFormat(&copy), DIERR_INVALIDPARAM);

    HeadlessAttachController({});
    const auto controllers = Enumerate(DI8DEVCLASS_GAMECTRL);
    ComPtr<IDirectInputDevice8> pad;
    ASSERT_EQ(
        input_->CreateDevice(controllers[0].guidInstance, pad.ReleaseAndGetAddressOf(), nullptr),
        DI_OK);
    EXPECT_EQ(pad->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
    EXPECT_EQ(pad->SetDataFormat(&c_dfDIJoystick), DI_OK);
    EXPECT_EQ(pad->Acquire(), DI_OK);
    EXPECT_EQ(pad->SetDataFormat(&c_dfDIJoystick), DIERR_ACQUIRED);
}

TEST_F(DinputDeviceTest, StandardFormatsDescribeTheirBuffers) {
    EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
    EXPECT_EQ(c_dfDIKeyboard.dwNumObjs, 256u);
    EXPECT_EQ(c_dfDIKeyboard.rgodf[DIK_RETURN].dwOfs, DIK_RETURN);
    EXPECT_EQ(c_dfDIJoystick.dwDataSize, 80u);
    EXPECT_EQ(c_dfDIJoystick.dwFlags, DIDF_ABSAXIS);
    EXPECT_EQ(*c_dfDIJoystick.rgodf[1].pguid, GUID_YAxis);
    EXPECT_EQ(c_dfDIJoystick.rgodf[1].dwOfs, offsetof(DIJOYSTATE, lY));
    EXPECT_EQ(c_dfDIJoystick.rgodf[c_dfDIJoystick.dwNumObjs - 1].dwOfs,
              offsetof(DIJOYSTATE, rgbButtons) + 31);
}

TEST_F(DinputDeviceTest, GetDeviceStateChecksSizeBufferAndAcquisition) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "acquired without a data format";
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    for (DWORD size : {0u, 80u, 255u, 257u}) {
        EXPECT_EQ(keyboard->GetDeviceState(size, keys), DIERR_INVALIDPARAM) << size;
    }
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), nullptr), DIERR_INVALIDPARAM);

    HeadlessSetKey(DIK_LEFT, true);
    HeadlessSetKey(DIK_RETURN, true);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    for (int key = 0; key < 256; ++key) {
        const bool down = key == DIK_LEFT || key == DIK_RETURN;
        EXPECT_EQ(keys[key], down ? 0x80 : 0) << key;
    }
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
}

TEST_F(DinputDeviceTest, KeyboardAddsTheKeysAScriptedRunHoldsInItsFrames) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    RunScript script;
    std::string error;
    ASSERT_TRUE(ParseRunScript("Right:1-2,Escape:2,Keypad 5:3", &script, &error)) << error;
    ASSERT_TRUE(InstallRunScript(script));
    HeadlessSetKey(DIK_UP, true);

    // The keys down in frames 0 to 4, in DIK order, besides Up, which the
    // user holds.
    const std::vector<std::vector<int>> expected = {
        {}, {DIK_RIGHT}, {DIK_ESCAPE, DIK_RIGHT}, {DIK_NUMPAD5}, {}};
    for (int frame = 0; frame < 5; ++frame) {
        if (frame > 0) {
            Sleep(0);
        }
        BYTE keys[256];
        ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
        std::vector<int> down;
        for (int key = 0; key < 256; ++key) {
            if (keys[key] != 0 && key != DIK_UP) {
                down.push_back(key);
            }
        }
        EXPECT_EQ(down, expected[static_cast<std::size_t>(frame)]) << "frame " << frame;
        EXPECT_EQ(keys[DIK_UP], 0x80);
    }
}

TEST_F(DinputDeviceTest, ControllerStateRejectsTheKeyboardSize) {
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    BYTE buffer[256];
    EXPECT_EQ(pad->GetDeviceState(256, buffer), DIERR_INVALIDPARAM);
    EXPECT_EQ(pad->GetDeviceState(sizeof(DIJOYSTATE) - 4, buffer), DIERR_INVALIDPARAM);
}

// ---- The foreground rule -----------------------------------------------------

TEST_F(DinputDeviceTest, ForegroundDeviceIsSilentInTheBackgroundAndReacquiresInFront) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    HeadlessSetKey(DIK_UP, true);

    HeadlessActivate(nullptr);
    BYTE keys[256];
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);

    HeadlessActivate(window_);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_UP], 0x80);

    // Another program comes to the front: the acquisition is lost, and stays
    // lost after the window comes back until it is acquired again.
    HeadlessActivate(nullptr);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    HeadlessActivate(window_);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
}

TEST_F(DinputDeviceTest, ControllerPollFollowsTheForegroundRule) {
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    EXPECT_EQ(pad->Poll(), DI_OK);
    HeadlessActivate(nullptr);
    EXPECT_EQ(pad->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(pad->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(pad->Acquire(), DIERR_OTHERAPPHASPRIO);
}

TEST_F(DinputDeviceTest, BackgroundDeviceReadsWhileAnotherProgramIsInFront) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    HeadlessActivate(nullptr);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
}

TEST_F(DinputDeviceTest, CooperativeLevelNeedsExactlyOneOfEachPair) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    for (DWORD flags : {0u, DISCL_NONEXCLUSIVE, DISCL_FOREGROUND,
                        DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND,
                        DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND,
                        DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | 0x100u}) {
        EXPECT_EQ(keyboard->SetCooperativeLevel(window_, flags), DIERR_INVALIDPARAM) << flags;
    }
}

// ---- Axes: scaling, ranges, modes, objects ----------------------------------

struct ScaleCase {
    int raw;
    LONG min;
    LONG max;
    LONG expected;
};

class ScaleAxisTest : public testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleAxisTest, MapsTheRawSpanOntoTheRange) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(ScaleAxis(c.raw, c.min, c.max), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ScaleAxisTest,
                         testing::Values(
                             // The default range is the raw span shifted to start at 0.
                             ScaleCase{-32768, 0, 65535, 0}, ScaleCase{0, 0, 65535, 32768},
                             ScaleCase{32767, 0, 65535, 65535},
                             // The game's range: ends exact, centre at 0, quarter points at 500.
                             ScaleCase{-32768, -1000, 1000, -1000},
                             ScaleCase{32767, -1000, 1000, 1000}, ScaleCase{0, -1000, 1000, 0},
                             ScaleCase{-1, -1000, 1000, 0}, ScaleCase{-16384, -1000, 1000, -500},
                             ScaleCase{16384, -1000, 1000, 500},
                             // Extreme ranges do not overflow.
                             ScaleCase{32767, -2147483647 - 1, 2147483647, 2147483647},
                             ScaleCase{-32768, -2147483647 - 1, 2147483647, -2147483647 - 1}));

TEST_F(DinputDeviceTest, AxesReportTheDefaultRangeUntilOneIsSet) {
    HeadlessControllerOptions options;
    options.axisCount = 3;
    HeadlessAttachController(options);
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    HeadlessSetControllerAxis(0, 0, -32768);
    HeadlessSetControllerAxis(0, 2, 32767);
    DIJOYSTATE state = Read(pad.Get());
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 32768);
    EXPECT_EQ(state.lZ, 65535);
    EXPECT_EQ(state.lRx, 0) << "absent axes read 0";
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu) << "absent hats read centred";

    DIPROPRANGE range = Range(DIPH_DEVICE, 0, -100, 100);
    ASSERT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    state = Read(pad.Get());
    EXPECT_EQ(state.lX, -100);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 100);
}

TEST_F(DinputDeviceTest, RangeByIdChangesOnlyThatAxis) {
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    std::vector<DIDEVICEOBJECTINSTANCEA> axes;
    ASSERT_EQ(
        pad->EnumObjects(
            [](LPCDIDEVICEOBJECTINSTANCEA object, LPVOID context) -> BOOL {
                static_cast<std::vector<DIDEVICEOBJECTINSTANCEA>*>(context)->push_back(*object);
                return DIENUM_CONTINUE;
            },
            &axes, DIDFT_AXIS),
        DI_OK);
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_EQ(axes[0].guidType, GUID_XAxis);
    EXPECT_EQ(axes[1].guidType, GUID_YAxis);
    EXPECT_EQ(axes[1].dwType & DIDFT_AXIS, DIDFT_ABSAXIS);

    DIPROPRANGE range = Range(DIPH_BYID, axes[1].dwType, -1000, 1000);
    ASSERT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    HeadlessSetControllerAxis(0, 0, 32767);
    HeadlessSetControllerAxis(0, 1, 32767);
    const DIJOYSTATE state = Read(pad.Get());
    EXPECT_EQ(state.lX, 65535);
    EXPECT_EQ(state.lY, 1000);
}

struct PropertyCase {
    const char* name;
    bool axisMode;
    DWORD size;
    DWORD headerSize;
    DWORD how;
    DWORD object;
    LONG min;
    LONG max;
    HRESULT expected;
};

class PropertyValidationTest : public DinputDeviceTest,
                               public testing::WithParamInterface<PropertyCase> {};

TEST_P(PropertyValidationTest, RejectsMalformedRecords) {
    const PropertyCase& c = GetParam();
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    ASSERT_EQ(pad->Unacquire(), DI_OK);
    DIPROPRANGE record = Range(c.how, c.object, c.min, c.max);
    record.diph.dwSize = c.size;
    record.diph.dwHeaderSize = c.headerSize;
    EXPECT_EQ(pad->SetProperty(c.axisMode ? DIPROP_AXISMODE : DIPROP_RANGE, &record.diph),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, PropertyValidationTest,
    testing::Values(
        PropertyCase{"RangeWrongSize", false, 20, 16, DIPH_DEVICE, 0, -1, 1, DIERR_INVALIDPARAM},
        PropertyCase{"RangeWrongHeader", false, 24, 12, DIPH_DEVICE, 0, -1, 1, DIERR_INVALIDPARAM},
        PropertyCase{"RangeEmpty", false, 24, 16, DIPH_DEVICE, 0, 5, 5, DIERR_INVALIDPARAM},
        PropertyCase{"RangeReversed", false, 24, 16, DIPH_DEVICE, 0, 5, -5, DIERR_INVALIDPARAM},
        PropertyCase{"RangeDeviceWithObject", false, 24, 16, DIPH_DEVICE, 3, -1, 1,
                     DIERR_INVALIDPARAM},
        PropertyCase{"RangeUnknownAxis", false, 24, 16, DIPH_BYID,
                     DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(7), -1, 1, DIERR_OBJECTNOTFOUND},
        PropertyCase{"RangeButtonId", false, 24, 16, DIPH_BYID,
                     DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(0), -1, 1, DIERR_OBJECTNOTFOUND},
        PropertyCase{"RangeUnknownHow", false, 24, 16, 7, 0, -1, 1, DIERR_INVALIDPARAM},
        PropertyCase{"ModeWrongSize", true, 24, 16, DIPH_DEVICE, 0, 0, 0, DIERR_INVALIDPARAM},
        PropertyCase{"ModeById", true, 20, 16, DIPH_BYID, DIDFT_ABSAXIS, 0, 0, DIERR_INVALIDPARAM},
        PropertyCase{"ModeUnknownValue", true, 20, 16, DIPH_DEVICE, 0, 9, 0, DIERR_INVALIDPARAM}),
    [](const testing::TestParamInfo<PropertyCase>& info) { return info.param.name; });

TEST_F(DinputDeviceTest, UnknownPropertyIsUnsupportedAndAxisModeNeedsAnUnacquiredDevice) {
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    DIPROPDWORD mode = AxisMode(DIPROPAXISMODE_ABS);
    EXPECT_EQ(pad->SetProperty(MAKEDIPROP(1), &mode.diph), DIERR_UNSUPPORTED);
    EXPECT_EQ(pad->SetProperty(DIPROP_AXISMODE, &mode.diph), DIERR_ACQUIRED);
    EXPECT_EQ(pad->SetProperty(DIPROP_AXISMODE, nullptr), DIERR_INVALIDPARAM);
    ASSERT_EQ(pad->Unacquire(), DI_OK);
    EXPECT_EQ(pad->SetProperty(DIPROP_AXISMODE, &mode.diph), DI_OK);
}

TEST_F(DinputDeviceTest, RelativeAxesReportMovementSinceTheLastRead) {
    HeadlessAttachController({});
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    ASSERT_EQ(pad->Unacquire(), DI_OK);
    DIPROPDWORD mode = AxisMode(DIPROPAXISMODE_REL);
    ASSERT_EQ(pad->SetProperty(DIPROP_AXISMODE, &mode.diph), DI_OK);
    DIPROPRANGE range = Range(DIPH_DEVICE, 0, -1000, 1000);
    ASSERT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    ASSERT_EQ(pad->Acquire(), DI_OK);
    EXPECT_EQ(Read(pad.Get()).lX, 0);
    HeadlessSetControllerAxis(0, 0, 32767);
    EXPECT_EQ(Read(pad.Get()).lX, 1000);
    EXPECT_EQ(Read(pad.Get()).lX, 0);
    HeadlessSetControllerAxis(0, 0, -32768);
    EXPECT_EQ(Read(pad.Get()).lX, -2000);
}

TEST_F(DinputDeviceTest, CapabilitiesCheckTheRecordSizeAndReportFailures) {
    HeadlessControllerOptions options;
    options.axisCount = 4;
    options.buttonCount = 10;
    HeadlessAttachController(options);
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    DIDEVCAPS caps = {};
    EXPECT_EQ(pad->GetCapabilities(&caps), DIERR_INVALIDPARAM);
    EXPECT_EQ(pad->GetCapabilities(nullptr), DIERR_INVALIDPARAM);
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(pad->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwSize, 44u);
    EXPECT_EQ(caps.dwAxes, 4u);
    EXPECT_EQ(caps.dwButtons, 10u);
    EXPECT_NE(caps.dwFlags & DIDC_ATTACHED, 0u);

    HeadlessSetCapabilitiesResult(0, DIERR_INPUTLOST);
    EXPECT_EQ(pad->GetCapabilities(&caps), DIERR_INPUTLOST);
}

TEST_F(DinputDeviceTest, ObjectEnumerationStopsWhenAsked) {
    HeadlessControllerOptions options;
    options.axisCount = 8;
    HeadlessAttachController(options);
    ComPtr<IDirectInputDevice8> pad = Controller(0);
    int calls = 0;
    EXPECT_EQ(pad->EnumObjects(
                  [](LPCDIDEVICEOBJECTINSTANCEA, LPVOID context) -> BOOL {
                      return ++*static_cast<int*>(context) < 3 ? DIENUM_CONTINUE : DIENUM_STOP;
                  },
                  &calls, DIDFT_AXIS),
              DI_OK);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(pad->EnumObjects(nullptr, nullptr, DIDFT_AXIS), DIERR_INVALIDPARAM);
}

TEST_F(DinputDeviceTest, DevicesOutliveTheirDirectInputObjectAndAreFreedOnRelease) {
    ComPtr<IDirectInputDevice8> keyboard = Keyboard();
    input_.Reset();
    EXPECT_EQ(LiveInputObjectCount(), baseline_ + 1);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    keyboard.Reset();
    EXPECT_EQ(LiveInputObjectCount(), baseline_);
}

}  // namespace
