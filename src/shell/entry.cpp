#include "shell/entry.h"

#include <cstdint>
#include <ctime>

#include "game/frame.h"
#include "game/game_state.h"
#include "game/new_game.h"
#include "game/random.h"
#include "game/scene.h"
#include "platform/graphics.h"
#include "platform/input_devices.h"
#include "platform/input_polling.h"
#include "platform/sound.h"
#include "shell/shutdown.h"
#include "shell/window.h"
#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

namespace {

// The start-up failure messages. The runtime's ANSI code page is UTF-8, so
// the texts are stored as UTF-8.
constexpr const char* kStartupCaption = "初期化失敗";
constexpr const char* kApplicationFailure = "アプリケーションの初期化を失敗しました(´･ω･`)";
constexpr const char* kGraphicsFailure = "DirectX Graphicsの初期化を失敗しました(´･ω･`)";
constexpr const char* kInputFailure = "DirectX Inputの初期化を失敗しました(´･ω･`)";
constexpr const char* kSoundFailure = "DirectX Musicの初期化を失敗しました(´･ω･`)";

// The wait before each frame; the frame clock measures the real time step.
constexpr DWORD kFrameSleepMs = 10;

void ShowStartupFailure(const char* text) {
    MessageBoxA(nullptr, text, kStartupCaption, MB_OK);
}

// Brings the platform up and starts a game; false after telling the user
// which step failed.
bool StartUp(HINSTANCE instance) {
    if (InitWindow(instance) == 0) {
        ShowStartupFailure(kApplicationFailure);
        return false;
    }
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    UpdateWindow(mainWindow);
    if (FAILED(InitGraphics())) {
        ShowStartupFailure(kGraphicsFailure);
        return false;
    }
    if (FAILED(InitKeyboard(instance))) {
        ShowStartupFailure(kInputFailure);
        return false;
    }
    // The game plays with the keyboard alone when there is no controller.
    InitController(instance);
    if (FAILED(InitSound())) {
        ShowStartupFailure(kSoundFailure);
        return false;
    }
    gameState.clock.lastTick = GetTickCount();
    SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    StartNewGame();
    return true;
}

void RunFrame() {
    Sleep(kFrameSleepMs);
    PollInput();
    UpdateFrame();
    DrawFrame();
    CheckDeviceLost();
}

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR /*commandLine*/,
            int /*showCommand*/) {
    // Objects made before a failing step are left to the end of the process.
    if (!StartUp(instance)) {
        return 0;
    }
    // Waiting messages are all handled before the next frame runs.
    MSG message = {};
    while (message.message != WM_QUIT) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            RunFrame();
        }
    }
    ShutDown(instance);
    return static_cast<int>(message.wParam);
}
