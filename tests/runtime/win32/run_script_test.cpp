// Scripted runs: the script's text, and the clocks, frames and key messages of
// an installed script on the headless window system.
#include "runtime/win32/run_script.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

namespace {

struct ParseCase {
    const char* name;
    const char* text;
    bool valid;
    std::optional<std::time_t> time;
    std::vector<ScriptedKey> keys;
};

const ParseCase kParseCases[] = {
    {"Empty", "", true, std::nullopt, {}},
    {"TimeOnly", "time=1700000000", true, 1700000000, {}},
    {"SpacesAndEmptyItems",
     " Right : 1-30 , Escape:60 ,time=5,",
     true,
     5,
     {{SDL_SCANCODE_RIGHT, VK_RIGHT, 1, 30}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 60, 60}}},
    {"NamesWithSpacesAndLetters",
     "Left Shift:2-3,A:4,Keypad 5:7",
     true,
     std::nullopt,
     {{SDL_SCANCODE_LSHIFT, VK_SHIFT, 2, 3},
      {SDL_SCANCODE_A, 'A', 4, 4},
      {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 7, 7}}},
    {"KeyWithoutVirtualKey", "F13:1", true, std::nullopt, {{SDL_SCANCODE_F13, 0, 1, 1}}},
    {"TimeWithoutValue", "time=", false, {}, {}},
    {"TimeWithUnit", "time=12s", false, {}, {}},
    {"KeyWithoutFrames", "Right", false, {}, {}},
    {"UnknownKey", "Nokey:1", false, {}, {}},
    {"FrameZero", "Right:0", false, {}, {}},
    {"FramesBackwards", "Right:5-4", false, {}, {}},
    {"OpenRange", "Right:1-", false, {}, {}},
    {"NegativeFrame", "Right:-3", false, {}, {}},
    {"FrameOverflow", "Right:99999999999", false, {}, {}},
};

class ParseRunScriptTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRunScriptTest, ReadsItemsOrNamesTheFault) {
    const ParseCase& c = GetParam();
    RunScript script;
    script.calendarTime = 99;
    std::string error;
    ASSERT_EQ(ParseRunScript(c.text, &script, &error), c.valid) << error;
    if (!c.valid) {
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(script.calendarTime, 99) << "a failed parse leaves the script alone";
        return;
    }
    EXPECT_EQ(script.calendarTime, c.time);
    EXPECT_EQ(script.keys, c.keys);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseRunScriptTest, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<MSG> DrainKeyMessages() {
    std::vector<MSG> taken;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        taken.push_back(message);
    }
    return taken;
}

class InstalledRunScriptTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        WNDCLASSEXA record{};
        record.cbSize = sizeof(WNDCLASSEXA);
        record.lpfnWndProc = DefWindowProcA;
        record.lpszClassName = "ScriptClass";
        ASSERT_NE(RegisterClassExA(&record), 0);
        window_ = CreateWindowExA(0, "ScriptClass", "", WS_SYSMENU, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        DrainKeyMessages();
    }
    void TearDown() override {
        RemoveRunScript();
        ResetHeadlessWindowing();
    }

    HWND window_ = nullptr;
};

TEST_F(InstalledRunScriptTest, FramesFollowSleepsWithFixedClocksAndKeyMessages) {
    RunScript script;
    std::string error;
    ASSERT_TRUE(ParseRunScript("time=1234567,Down:2-3,Escape:3", &script, &error)) << error;
    ASSERT_TRUE(InstallRunScript(script));
    ASSERT_NE(ActiveRunScript(), nullptr);
    const ScriptedKey& down = ActiveRunScript()->keys[0];

    EXPECT_EQ(std::time(nullptr), 1234567);
    std::time_t written = 0;
    EXPECT_EQ(time(&written), 1234567);
    EXPECT_EQ(written, 1234567);

    // Frame by frame: the frame begun, the clock, whether Down is held, and
    // the key messages its Sleep posted (virtual key, down).
    struct Expected {
        int frame;
        DWORD ticks;
        bool downHeld;
        std::vector<std::pair<WPARAM, bool>> messages;
    };
    const Expected frames[] = {
        {1, kScriptStartTick + 10, false, {}},
        {2, kScriptStartTick + 25, true, {{VK_DOWN, true}}},
        {3, kScriptStartTick + 26, true, {{VK_ESCAPE, true}}},
        {4, kScriptStartTick + 36, false, {{VK_DOWN, false}, {VK_ESCAPE, false}}},
    };
    EXPECT_EQ(ScriptFrame(), 0);
    EXPECT_EQ(GetTickCount(), kScriptStartTick);
    const DWORD sleeps[] = {10, 15, 1, 10};
    for (int i = 0; i < 4; ++i) {
        Sleep(sleeps[i]);
        const Expected& e = frames[i];
        EXPECT_EQ(ScriptFrame(), e.frame);
        EXPECT_EQ(GetTickCount(), e.ticks) << "frame " << e.frame;
        EXPECT_EQ(ScriptHoldsKey(down), e.downHeld) << "frame " << e.frame;
        std::vector<std::pair<WPARAM, bool>> posted;
        for (const MSG& message : DrainKeyMessages()) {
            EXPECT_EQ(message.hwnd, window_);
            posted.emplace_back(message.wParam, message.message == WM_KEYDOWN);
        }
        EXPECT_EQ(posted, e.messages) << "frame " << e.frame;
    }

    // Keys reach only the window in front.
    HeadlessActivate(nullptr);
    ASSERT_TRUE(InstallRunScript(script));
    Sleep(1);
    Sleep(1);
    EXPECT_TRUE(DrainKeyMessages().empty());

    RemoveRunScript();
    EXPECT_EQ(ActiveRunScript(), nullptr);
    EXPECT_GT(std::time(nullptr), 1600000000) << "the system's calendar time again";
    const DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 20u) << "the system's clock again";
}

}  // namespace
