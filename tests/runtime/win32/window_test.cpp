// The headless window system: classes, geometry, focus, the message queue,
// message boxes and resources.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/icon_image.h"
#include "vellorn/win32_window.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};

std::vector<Received> received;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

WNDCLASSEXA ClassRecord(const char* name) {
    WNDCLASSEXA record{};
    record.cbSize = sizeof(WNDCLASSEXA);
    record.lpfnWndProc = RecordingProc;
    record.hInstance = kInstance;
    record.lpszClassName = name;
    return record;
}

class WindowSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        received.clear();
        const WNDCLASSEXA record = ClassRecord("TestClass");
        ASSERT_NE(RegisterClassExA(&record), 0);
    }
    void TearDown() override { ResetHeadlessWindowing(); }

    HWND Create(int x = 10, int y = 20, int width = 300, int height = 200) {
        return CreateWindowExA(0, "TestClass", "Caption", WS_SYSMENU, x, y, width, height, nullptr,
                               nullptr, kInstance, nullptr);
    }

    std::vector<MSG> Drain() {
        std::vector<MSG> taken;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(message);
            if (message.message == WM_QUIT) {
                break;
            }
        }
        return taken;
    }
};

struct AdjustCase {
    DWORD style;
    BOOL menu;
    RECT expected;
};

class AdjustWindowRectTest : public ::testing::TestWithParam<AdjustCase> {};

TEST_P(AdjustWindowRectTest, GrowsOnlyForFrameBits) {
    RECT rect{0, 0, 646, 512};
    ASSERT_TRUE(AdjustWindowRect(&rect, GetParam().style, GetParam().menu));
    EXPECT_EQ(rect.left, GetParam().expected.left);
    EXPECT_EQ(rect.top, GetParam().expected.top);
    EXPECT_EQ(rect.right, GetParam().expected.right);
    EXPECT_EQ(rect.bottom, GetParam().expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, AdjustWindowRectTest,
    ::testing::Values(AdjustCase{WS_SYSMENU, FALSE, {0, 0, 646, 512}},
                      AdjustCase{WS_OVERLAPPED | WS_MINIMIZEBOX, FALSE, {0, 0, 646, 512}},
                      AdjustCase{WS_BORDER, FALSE, {-1, -1, 647, 513}},
                      AdjustCase{WS_DLGFRAME, FALSE, {-3, -3, 649, 515}},
                      AdjustCase{WS_THICKFRAME, FALSE, {-3, -3, 649, 515}},
                      AdjustCase{WS_CAPTION, FALSE, {-3, -29, 649, 515}},
                      AdjustCase{WS_OVERLAPPEDWINDOW, FALSE, {-3, -29, 649, 515}},
                      AdjustCase{WS_CAPTION, TRUE, {-3, -49, 649, 515}},
                      AdjustCase{WS_SYSMENU, TRUE, {0, -20, 646, 512}}));

TEST(AdjustWindowRect, RejectsNoRectangle) {
    EXPECT_FALSE(AdjustWindowRect(nullptr, 0, FALSE));
}

TEST_F(WindowSystemTest, RegistrationRejectsBadRecordsAndDuplicates) {
    WNDCLASSEXA record = ClassRecord("Other");
    record.cbSize = 48;
    EXPECT_EQ(RegisterClassExA(&record), 0) << "a size other than this build's record";
    record = ClassRecord("Other");
    record.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExA(&record), 0);
    record = ClassRecord("");
    EXPECT_EQ(RegisterClassExA(&record), 0);
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    record = ClassRecord("TESTCLASS");
    EXPECT_EQ(RegisterClassExA(&record), 0) << "class names ignore case";
    record.hInstance = nullptr;
    EXPECT_NE(RegisterClassExA(&record), 0) << "another instance has its own classes";
}

TEST_F(WindowSystemTest, ClassInUseStaysRegistered) {
    const HWND window = Create();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassA("TestClass", kInstance));
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(UnregisterClassA("TestClass", nullptr));
    EXPECT_TRUE(UnregisterClassA("testclass", kInstance));
    EXPECT_FALSE(UnregisterClassA("TestClass", kInstance));
    EXPECT_EQ(Create(), nullptr) << "an unregistered class makes no window";
}

TEST_F(WindowSystemTest, CreationFailsForUnknownClassChildOrRefusal) {
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, kInstance,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, "TestClass", "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr,
                              kInstance, nullptr),
              nullptr);
    SetHeadlessWindowCreationFailure(true);
    EXPECT_EQ(Create(), nullptr);
    SetHeadlessWindowCreationFailure(false);
    EXPECT_NE(Create(), nullptr);
}

TEST_F(WindowSystemTest, TopLevelWindowGetsTheFrame) {
    const HWND window = Create(-5, 7, 646, 512);
    const HeadlessWindowInfo info = GetHeadlessWindowInfo(window);
    ASSERT_TRUE(info.exists);
    EXPECT_EQ(info.caption, "Caption");
    EXPECT_EQ(info.x, -5);
    EXPECT_EQ(info.y, 7);
    EXPECT_EQ(info.clientWidth, 640);
    EXPECT_EQ(info.clientHeight, 480);
    EXPECT_FALSE(info.visible);
}

TEST_F(WindowSystemTest, ScreenSizeFollowsTheHook) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    SetHeadlessScreenSize(800, 601);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 601);
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

TEST_F(WindowSystemTest, ShowingActivatesAndFocusMovesBetweenWindows) {
    const HWND first = Create();
    const HWND second = Create();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_FALSE(ShowWindow(first, SW_SHOWNORMAL));
    EXPECT_TRUE(ShowWindow(first, SW_SHOWNORMAL)) << "answers whether it was visible";
    EXPECT_EQ(GetForegroundWindow(), first);
    ShowWindow(second, SW_SHOWNORMAL);
    HeadlessActivate(nullptr);
    const std::vector<Received> expected = {
        {first, WM_ACTIVATE, WA_ACTIVE, 0},
        {first, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(second)},
        {second, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(first)},
        {second, WM_ACTIVATE, WA_INACTIVE, 0},
    };
    EXPECT_EQ(received, expected);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    HeadlessActivate(reinterpret_cast<HWND>(std::uintptr_t{0x999}));
    EXPECT_EQ(GetForegroundWindow(), nullptr) << "an unknown window counts as another program";
}

TEST_F(WindowSystemTest, MinimiseLosesFocusAndRestoreRegainsIt) {
    const HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    received.clear();
    HeadlessMinimise(window, true);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    HeadlessMinimise(window, false);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    const std::vector<Received> expected = {
        {window, WM_ACTIVATE, WA_INACTIVE | 0x10000u, 0},
        {window, WM_ACTIVATE, WA_ACTIVE, 0},
    };
    EXPECT_EQ(received, expected);
    EXPECT_FALSE(IsIconic(nullptr));
}

TEST_F(WindowSystemTest, PostedMessagesArriveInOrderThenQuit) {
    const HWND window = Create();
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageA(window, WM_USER, 1, 2));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 1, 3, 4));
    HeadlessPressKey(window, 'A');
    const std::vector<MSG> taken = Drain();
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].message, WM_USER);
    EXPECT_EQ(taken[0].hwnd, window);
    EXPECT_EQ(taken[0].wParam, 1u);
    EXPECT_EQ(taken[1].message, WM_USER + 1);
    EXPECT_EQ(taken[1].hwnd, nullptr);
    EXPECT_EQ(taken[2].message, WM_KEYDOWN);
    EXPECT_EQ(taken[2].wParam, WPARAM{'A'});
    EXPECT_EQ(taken[3].message, WM_QUIT);
    EXPECT_EQ(taken[3].wParam, 7u);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "the quit comes once";
}

TEST_F(WindowSystemTest, PeekFiltersAndNoRemoveLeavesTheMessage) {
    const HWND first = Create();
    const HWND second = Create();
    PostMessageA(first, WM_USER, 0, 0);
    PostMessageA(second, WM_USER + 5, 0, 0);
    PostMessageA(nullptr, WM_USER + 9, 0, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, second, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_USER + 5);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER + 1, WM_USER + 9, PM_REMOVE));
    EXPECT_EQ(message.message, WM_USER + 5);
    ASSERT_TRUE(PeekMessageA(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_USER + 9);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_USER);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowSystemTest, CloseDestroysTheWindowAndDropsItsMessages) {
    const HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    HeadlessClickClose(window);
    PostMessageA(window, WM_USER, 0, 0);
    received.clear();
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    DispatchMessageA(&message);
    const std::vector<Received> expected = {
        {window, WM_CLOSE, 0, 0},
        {window, WM_ACTIVATE, WA_INACTIVE, 0},
        {window, WM_DESTROY, 0, 0},
    };
    EXPECT_EQ(received, expected);
    EXPECT_FALSE(GetHeadlessWindowInfo(window).exists);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "its messages went with it";
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
    EXPECT_FALSE(UpdateWindow(window));
}

struct CharacterCase {
    int virtualKey;
    bool shift;
    int character;  // 0: no character message
};

class TranslateMessageTest : public WindowSystemTest,
                             public ::testing::WithParamInterface<CharacterCase> {};

TEST_P(TranslateMessageTest, KeyDownBringsItsCharacterNext) {
    const HWND window = Create();
    MSG message;
    if (GetParam().shift) {
        HeadlessPressKey(window, VK_SHIFT);
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
        EXPECT_TRUE(TranslateMessage(&message));
    }
    HeadlessPressKey(window, GetParam().virtualKey);
    PostMessageA(window, WM_USER, 0, 0);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(message.message, WM_KEYDOWN);
    EXPECT_TRUE(TranslateMessage(&message));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    if (GetParam().character == 0) {
        EXPECT_EQ(message.message, WM_USER);
    } else {
        EXPECT_EQ(message.message, WM_CHAR);
        EXPECT_EQ(message.wParam, static_cast<WPARAM>(GetParam().character));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TranslateMessageTest,
    ::testing::Values(CharacterCase{'A', false, 'a'}, CharacterCase{'A', true, 'A'},
                      CharacterCase{'2', false, '2'}, CharacterCase{'2', true, '@'},
                      CharacterCase{VK_RETURN, false, '\r'}, CharacterCase{VK_ESCAPE, false, 0x1B},
                      CharacterCase{VK_LEFT, false, 0}, CharacterCase{VK_F1, false, 0}));

TEST_F(WindowSystemTest, TranslateMessageIgnoresOtherMessages) {
    MSG message{nullptr, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(TranslateMessage(&message));
    EXPECT_FALSE(TranslateMessage(nullptr));
}

TEST_F(WindowSystemTest, KeyRepeatAndReleaseAreMarkedInLParam) {
    const HWND window = Create();
    HeadlessPressKey(window, VK_DOWN);
    HeadlessPressKey(window, VK_DOWN);
    HeadlessReleaseKey(window, VK_DOWN);
    const std::vector<MSG> taken = Drain();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].lParam, 1);
    EXPECT_EQ(taken[1].lParam, 1 | (LPARAM{1} << 30));
    EXPECT_EQ(taken[2].message, WM_KEYUP);
    EXPECT_EQ(taken[2].lParam, 1 | (LPARAM{3} << 30));
}

struct BoxCase {
    UINT type;
    int expected;
};

class MessageBoxTest : public WindowSystemTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, UnscriptedBoxAnswersWithItsDefaultButton) {
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", GetParam().type), GetParam().expected);
    ASSERT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_EQ(RecordedMessageBoxes()[0].type, GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Types, MessageBoxTest,
    ::testing::Values(BoxCase{MB_OK, IDOK}, BoxCase{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                      BoxCase{MB_YESNOCANCEL, IDYES},
                      BoxCase{MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION, IDNO},
                      BoxCase{MB_YESNO | MB_DEFBUTTON3, IDYES},
                      BoxCase{MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
                      BoxCase{MB_RETRYCANCEL, IDRETRY}));

TEST_F(WindowSystemTest, MessageBoxRecordsTextAndTakesScriptedAnswersInOrder) {
    const HWND window = Create();
    QueueMessageBoxAnswer(IDNO);
    QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(window, "保存しますか", "確認", MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 0x6), 0) << "no such button set";
    const auto& boxes = RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_EQ(boxes[0].text, "保存しますか");
    EXPECT_EQ(boxes[0].caption, "確認");
    EXPECT_EQ(boxes[0].answer, IDNO);
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[1].caption, "Error");
}

TEST_F(WindowSystemTest, IconResourceAtAnySize) {
    const HICON icon = LoadIconA(kInstance, MAKEINTRESOURCEA(101));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(LoadIconA(kInstance, MAKEINTRESOURCEA(101)), icon) << "icons are shared";
    const auto small = static_cast<HICON>(
        LoadImageA(kInstance, MAKEINTRESOURCEA(101), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ASSERT_NE(small, nullptr);
    ASSERT_EQ(small->width, 16);
    ASSERT_EQ(small->rgba.size(), 16u * 16u * 4u);
    // Each small pixel averages a 2 x 2 block: its alpha is the block's mean.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int sum = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    sum += icon->rgba[((2 * y + dy) * 32 + 2 * x + dx) * 4 + 3];
                }
            }
            EXPECT_NEAR(small->rgba[(y * 16 + x) * 4 + 3], sum / 4.0, 0.51) << x << "," << y;
        }
    }
    EXPECT_EQ(LoadImageA(kInstance, MAKEINTRESOURCEA(101), IMAGE_ICON, 0, 0, 0), icon);
    EXPECT_EQ(LoadIconA(kInstance, MAKEINTRESOURCEA(102)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);
    EXPECT_EQ(LoadImageA(kInstance, MAKEINTRESOURCEA(101), 0, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageA(kInstance, MAKEINTRESOURCEA(101), IMAGE_ICON, -1, 16, 0), nullptr);
}

TEST(IconResource, HasTransparentCornersAndAnOpaqueFigure) {
    const HICON icon = LoadIconA(kInstance, MAKEINTRESOURCEA(101));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->rgba[3], 0) << "top-left corner";
    EXPECT_EQ(icon->rgba[(31 * 32 + 31) * 4 + 3], 0) << "bottom-right corner";
    EXPECT_EQ(icon->rgba[(18 * 32 + 18) * 4 + 3], 255) << "the figure";
}

TEST(Cursor, OnlyTheSystemArrowExists) {
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)), nullptr);
    EXPECT_EQ(LoadCursorA(kInstance, IDC_ARROW), nullptr);
}

}  // namespace
