// The game window over SDL2: a real window under a display (Xvfb in CI):
// Escape, SIGTERM and SDL's quit event each end the loop through the window's
// close. Skipped when no display is available.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/win32/sdl_window.h"
#include "shell/window.h"
#include "support/sdl_backend.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

class SdlWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const auto unavailable = StartSdlBackend()) {
            GTEST_SKIP() << *unavailable;
        }
        mainWindow = nullptr;
        windowActive = 0;
    }
    void TearDown() override {
        if (mainWindow != nullptr) {
            DestroyWindow(mainWindow);
        }
        UnregisterClassA("MainClass", kInstance);
        // Leave the quit (if any) behind in the queue for no later test.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        SelectBackend(RuntimeBackend::Headless);
    }

    // The main loop's message half until the quit message, with a bound in
    // case it never comes; every message taken, in order.
    static std::vector<MSG> RunMessageLoop() {
        std::vector<MSG> taken;
        MSG message{};
        const Uint32 start = SDL_GetTicks();
        while (message.message != WM_QUIT && SDL_GetTicks() - start < 5000) {
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
                taken.push_back(message);
            } else {
                SDL_Delay(10);
            }
        }
        return taken;
    }
};

TEST_F(SdlWindowTest, OpensTheWindowAndEscapeClosesItThroughTheLoop) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HWND window = mainWindow;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    EXPECT_EQ(windowActive, 1);

    const Window* record = FindWindowRecord(window);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->sdlWindow, nullptr);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(record->sdlWindow, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_STREQ(SDL_GetWindowTitle(record->sdlWindow), "Vellorn");

    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(record->sdlWindow);
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    event.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();

    const std::vector<MSG> taken = RunMessageLoop();
    bool escapeSeen = false;
    for (const MSG& seen : taken) {
        escapeSeen |= seen.message == WM_KEYDOWN && seen.wParam == VK_ESCAPE && seen.hwnd == window;
    }
    EXPECT_TRUE(escapeSeen);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back().message, WM_QUIT);
    EXPECT_EQ(taken.back().wParam, 0u);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(FindWindowRecord(window), nullptr);
}

// Ways the process is asked to end: a signal, which SDL turns into its quit
// event, or the quit event itself.
struct EndRequest {
    const char* name;
    void (*request)();
};

void RaiseTerminate() {
    // Without SDL's handler the signal would end the test program at once.
    struct sigaction action {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &action), 0);
    ASSERT_NE(action.sa_handler, SIG_DFL) << "SDL handles SIGTERM";
    if (action.sa_handler == SIG_IGN) {
        GTEST_SKIP() << "SIGTERM is ignored in this process";
    }
    ASSERT_EQ(raise(SIGTERM), 0);
}

void PushQuitEvent() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

class SdlEndRequestTest : public SdlWindowTest, public testing::WithParamInterface<EndRequest> {};

TEST_P(SdlEndRequestTest, ClosesTheWindowThroughTheLoop) {
    ASSERT_EQ(InitWindow(kInstance), 1);
    const HWND window = mainWindow;
    ShowWindow(window, SW_SHOWNORMAL);
    GetParam().request();
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }

    const std::vector<MSG> taken = RunMessageLoop();
    const auto closes = std::count_if(taken.begin(), taken.end(), [&](const MSG& seen) {
        return seen.message == WM_CLOSE && seen.hwnd == window;
    });
    EXPECT_EQ(closes, 1);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back().message, WM_QUIT);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(FindWindowRecord(window), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Requests, SdlEndRequestTest,
                         testing::Values(EndRequest{"Sigterm", RaiseTerminate},
                                         EndRequest{"QuitEvent", PushQuitEvent}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SdlWindowTest, ScreenSizeIsTheDesktop) {
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), mode.w);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), mode.h);
}

}  // namespace
