// The game window on the headless runtime: class record, geometry, and the
// window procedure's reactions to destruction, activation and Escape.
#include "shell/window.h"

#include <gtest/gtest.h>

#include <string>

#include <vector>

#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/icon_image.h"
#include "runtime/win32/window_system.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

class GameWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        mainWindow = nullptr;
        windowActive = 0;
    }
    void TearDown() override { ResetHeadlessWindowing(); }

    // The main loop's message half: takes and dispatches every waiting
    // message, and answers the messages taken.
    std::vector<MSG> RunMessages() {
        std::vector<MSG> taken;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            taken.push_back(message);
            if (message.message == WM_QUIT) {
                break;
            }
        }
        return taken;
    }
};

TEST_F(GameWindowTest, RegistersTheClassAsDescribed) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const WindowClass* windowClass = FindWindowClass("MainClass", kInstance);
    ASSERT_NE(windowClass, nullptr);
    EXPECT_EQ(windowClass->style, 3u);
    EXPECT_EQ(windowClass->procedure, &WindowProc);
    EXPECT_EQ(windowClass->icon, LoadIconA(kInstance, MAKEINTRESOURCEA(101)));
    ASSERT_NE(windowClass->smallIcon, nullptr);
    EXPECT_EQ(windowClass->smallIcon->width, 16);
    EXPECT_EQ(windowClass->smallIcon->height, 16);
    EXPECT_EQ(windowClass->cursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(windowClass->background), 6u);

    const HeadlessWindowInfo info = GetHeadlessWindowInfo(mainWindow);
    ASSERT_TRUE(info.exists);
    EXPECT_EQ(info.className, "MainClass");
    EXPECT_EQ(info.caption, "Vellorn");
    EXPECT_EQ(info.width, 646);
    EXPECT_EQ(info.height, 512);
    EXPECT_EQ(info.clientWidth, 640);
    EXPECT_EQ(info.clientHeight, 480);
    EXPECT_FALSE(info.visible) << "the entry shows it";
    EXPECT_EQ(windowActive, 0);
}

struct CentringCase {
    int screenWidth;
    int screenHeight;
    int x;
    int y;
};

class CentringTest : public GameWindowTest, public ::testing::WithParamInterface<CentringCase> {};

TEST_P(CentringTest, CentresThePlayAreaRoundingTowardZero) {
    SetHeadlessScreenSize(GetParam().screenWidth, GetParam().screenHeight);
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HeadlessWindowInfo info = GetHeadlessWindowInfo(mainWindow);
    EXPECT_EQ(info.x, GetParam().x);
    EXPECT_EQ(info.y, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, CentringTest,
    ::testing::Values(CentringCase{1920, 1080, 640, 300}, CentringCase{1366, 768, 363, 144},
                      CentringCase{1025, 769, 192, 144}, CentringCase{640, 480, 0, 0},
                      CentringCase{639, 479, 0, 0}, CentringCase{637, 477, -1, -1},
                      CentringCase{600, 400, -20, -40}, CentringCase{1, 0, -319, -240}),
    [](const auto& info) {
        return std::to_string(info.param.screenWidth) + "x" +
               std::to_string(info.param.screenHeight);
    });

TEST_F(GameWindowTest, FailsWhenTheClassIsAlreadyRegistered) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HWND first = mainWindow;
    EXPECT_EQ(InitWindow(kInstance), 0);
    EXPECT_EQ(mainWindow, first) << "a failed registration creates nothing";
}

TEST_F(GameWindowTest, FailsWhenTheWindowCannotBeCreated) {
    SetHeadlessWindowCreationFailure(true);
    EXPECT_EQ(InitWindow(kInstance), 0);
    EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(GameWindowTest, EscapeClosesTheWindowAndEndsTheLoop) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HWND window = mainWindow;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    EXPECT_EQ(windowActive, 1) << "showing activates";
    HeadlessPressKey(window, VK_ESCAPE);

    const std::vector<MSG> taken = RunMessages();
    std::vector<UINT> messages;
    for (const MSG& message : taken) {
        messages.push_back(message.message);
    }
    // The key, its character, the posted close, then the quit.
    const std::vector<UINT> expected = {WM_KEYDOWN, WM_CHAR, WM_CLOSE, WM_QUIT};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(taken.back().wParam, 0u);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_FALSE(GetHeadlessWindowInfo(window).exists);
    EXPECT_EQ(windowActive, 0);
    EXPECT_TRUE(UnregisterClassA("MainClass", kInstance));
}

TEST_F(GameWindowTest, CloseButtonEndsTheLoopToo) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    HeadlessClickClose(mainWindow);
    const std::vector<MSG> taken = RunMessages();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[1].message, WM_QUIT);
    EXPECT_EQ(mainWindow, nullptr);
}

TEST_F(GameWindowTest, ActivationSetsAndClearsTheFlag) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    ASSERT_EQ(windowActive, 1);
    HeadlessActivate(nullptr);
    EXPECT_EQ(windowActive, 0);
    HeadlessActivate(mainWindow);
    EXPECT_EQ(windowActive, 1);
    HeadlessMinimise(mainWindow, true);
    EXPECT_EQ(windowActive, 0);
    HeadlessMinimise(mainWindow, false);
    EXPECT_EQ(windowActive, 1);
    // A click activation counts as active; only the low word matters.
    WindowProc(mainWindow, WM_ACTIVATE, WA_INACTIVE | 0x10000u, 0);
    EXPECT_EQ(windowActive, 0);
    WindowProc(mainWindow, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(windowActive, 1);
}

TEST_F(GameWindowTest, OtherKeysReachTheDefaultProcedureUntouched) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    for (int key : {VK_LEFT, VK_RETURN, VK_SPACE, int{'Q'}, VK_F1}) {
        HeadlessPressKey(mainWindow, key);
    }
    PostMessageA(mainWindow, WM_USER, 1, 2);
    const std::vector<MSG> taken = RunMessages();
    // Every waiting message was taken in one go, and none closed the window.
    EXPECT_EQ(taken.size(), 9u) << "5 keys, 3 characters, 1 posted message";
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_EQ(windowActive, 1);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(WindowProc(mainWindow, WM_KEYDOWN, 'X', 1), 0);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(GameWindowTest, EscapeKeyDownPostsCloseBeforeAnythingIsDestroyed) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HWND window = mainWindow;
    EXPECT_EQ(WindowProc(window, WM_KEYDOWN, VK_ESCAPE, 1), 0);
    EXPECT_EQ(mainWindow, window);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    EXPECT_EQ(message.hwnd, window);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);
}

}  // namespace
