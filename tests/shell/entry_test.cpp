// The program's entry on the headless runtime: start-up failures injected one
// step at a time, a scripted game (it holds keys, posts messages, switches and
// minimises the window and finally presses Escape) and device loss.
#include "shell/entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "platform/graphics.h"
#include "platform/input_devices.h"
#include "platform/sound.h"
#include "runtime/call_journal.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/dmusic/headless_audio.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/window_system.h"
#include "shell/window.h"
#include "support/entry_fixture.h"
#include "vellorn/win32_system.h"

namespace {

constexpr const char* kCaption = "初期化失敗";
constexpr const char* kApplicationText = "アプリケーションの初期化を失敗しました(´･ω･`)";
constexpr const char* kGraphicsText = "DirectX Graphicsの初期化を失敗しました(´･ω･`)";
constexpr const char* kInputText = "DirectX Inputの初期化を失敗しました(´･ω･`)";
constexpr const char* kMusicText = "DirectX Musicの初期化を失敗しました(´･ω･`)";

using EntryTest = EntryFixture;

// ---- start-up failures ----

// The step after the failing one, whose object must still be empty.
enum class NextStep { Graphics, Input, Sound, Game };

struct StartupFailureCase {
    const char* name;
    void (*inject)(const std::string& directory);
    const char* text;
    NextStep next;
};

// Descends into nested directories until the current directory's name is
// longer than the 259 characters a path buffer of 260 holds.
void EnterOverlongDirectory(const std::string& base) {
    std::string path = base;
    while (path.size() < 300) {
        const std::string name(100, 'd');
        ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
        path += "/" + name;
    }
    CopyAssetsTo(path);
}

const StartupFailureCase kStartupFailures[] = {
    {"WindowCreation", [](const std::string&) { SetHeadlessWindowCreationFailure(true); },
     kApplicationText, NextStep::Graphics},
    {"Direct3DObject", [](const std::string&) { InjectFault("Direct3DCreate9", 1, E_FAIL); },
     kGraphicsText, NextStep::Input},
    {"EveryDeviceKind",
     [](const std::string&) {
         DeviceProfile profile = DefaultDeviceProfile();
         profile.halAvailable = false;
         profile.refAvailable = false;
         InstallDeviceProfile(profile);
     },
     kGraphicsText, NextStep::Input},
    {"Viewport", [](const std::string&) { InjectFault("SetViewport", 1, D3DERR_INVALIDCALL); },
     kGraphicsText, NextStep::Input},
    {"MissingAtlas", [](const std::string&) { ASSERT_EQ(unlink("bitmap.png"), 0); }, kGraphicsText,
     NextStep::Input},
    {"SpriteBatcher",
     [](const std::string&) { InjectFault("CreateVertexDeclaration", 1, E_OUTOFMEMORY); },
     kGraphicsText, NextStep::Input},
    {"DirectInputObject",
     [](const std::string&) {
         SetHeadlessInputFailures({E_FAIL, DI_OK});
     },
     kInputText, NextStep::Sound},
    {"Keyboard",
     [](const std::string&) {
         SetHeadlessInputFailures({DI_OK, E_FAIL});
     },
     kInputText, NextStep::Sound},
    {"Performance",
     [](const std::string&) { SetDirectMusicFault(DirectMusicFault::kCreatePerformance, true); },
     kMusicText, NextStep::Game},
    {"DefaultAudioPath",
     [](const std::string&) { SetDirectMusicFault(DirectMusicFault::kGetDefaultAudioPath, true); },
     kMusicText, NextStep::Game},
    {"OverlongCurrentDirectory", EnterOverlongDirectory, kMusicText, NextStep::Game},
};

class StartupFailureTest : public EntryTest,
                           public testing::WithParamInterface<StartupFailureCase> {};

TEST_P(StartupFailureTest, ShowsItsOwnMessageOnlyAndReturnsZero) {
    const StartupFailureCase& c = GetParam();
    c.inject(directory_);
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_EQ(RunGame(), 0);

    const std::vector<MessageBoxRecord>& boxes = RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "no later step shows a message";
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].caption, kCaption);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].type, MB_OK);
    EXPECT_EQ(script.frames, 0) << "no frame runs";
    switch (c.next) {
        case NextStep::Graphics: EXPECT_EQ(direct3D, nullptr); break;
        case NextStep::Input: EXPECT_EQ(directInput, nullptr); break;
        case NextStep::Sound: EXPECT_EQ(soundBank.performance, nullptr); break;
        case NextStep::Game:
            EXPECT_EQ(gameState.actors[kPlayer].state, kActorInert) << "no game was started";
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, StartupFailureTest, testing::ValuesIn(kStartupFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a scripted game ----

// Forwards to the game's sprite batcher and journals its last two calls, so
// that the shutdown order covers the batcher too.
class JournalingSprite final : public ID3DXSprite {
  public:
    explicit JournalingSprite(ID3DXSprite* sprite) : sprite_(sprite) {}

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return sprite_->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return sprite_->AddRef(); }
    ULONG Release() override {
        const ULONG left = sprite_->Release();
        JournalCall("Sprite", "Release", static_cast<long>(left));
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return sprite_->GetDevice(device); }
    HRESULT GetTransform(D3DXMATRIX* transform) override {
        return sprite_->GetTransform(transform);
    }
    HRESULT SetTransform(const D3DXMATRIX* transform) override {
        return sprite_->SetTransform(transform);
    }
    HRESULT SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) override {
        return sprite_->SetWorldViewRH(world, view);
    }
    HRESULT SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) override {
        return sprite_->SetWorldViewLH(world, view);
    }
    HRESULT Begin(DWORD flags) override { return sprite_->Begin(flags); }
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* sourceRect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override {
        return sprite_->Draw(texture, sourceRect, center, position, color);
    }
    HRESULT Flush() override { return sprite_->Flush(); }
    HRESULT End() override { return sprite_->End(); }
    HRESULT OnLostDevice() override {
        JournalCall("Sprite", "OnLostDevice");
        return sprite_->OnLostDevice();
    }
    HRESULT OnResetDevice() override { return sprite_->OnResetDevice(); }

  private:
    ~JournalingSprite() = default;

    ID3DXSprite* sprite_;
};

// The arrow key towards an open edge of the player's starting cell (0, 0),
// and the position the player rests at one cell further that way.
struct OpenStep {
    BYTE key;
    float x;
    float y;
};
OpenStep FirstOpenStep() {
    if (gameState.maze.vWalls[1][0] == 0) {
        return {DIK_RIGHT, kRestX + kCellSize, kRestY};
    }
    return {DIK_DOWN, kRestX, kRestY + kCellSize};
}

bool QueueIsEmpty() {
    MSG message;
    return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) == FALSE;
}

TEST_F(EntryTest, ScriptedGameMovesPausesAndShutsDownInOrderOnEscape) {
    HeadlessAttachController({});
    std::vector<std::string> journal;
    OpenStep step{};
    Actor enemyWhilePaused{};
    DWORD lastTickWhilePaused = 0;
    script.onFrame = [&](int frame) {
        switch (frame) {
            case 1:
                // The game has started and the shown window is active.
                ASSERT_TRUE(GetHeadlessWindowInfo(mainWindow).visible);
                EXPECT_EQ(windowActive, 1);
                EXPECT_EQ(gameState.actors[kPlayer].state, kActorWalking);
                EXPECT_EQ(gameState.clock.lastTick, script.now - 10) << "seeded before frame 1";
                step = FirstOpenStep();
                HeadlessSetKey(step.key, true);
                break;
            case 3: HeadlessSetKey(step.key, false); break;
            case 40:
                // Several messages at once are all handled before a frame.
                for (int i = 0; i < 3; ++i) {
                    PostMessageA(mainWindow, WM_USER, 0, 0);
                }
                break;
            case 41:
                EXPECT_TRUE(QueueIsEmpty());
                EXPECT_EQ(gameState.actors[kPlayer].x, step.x) << "one step, then at rest";
                EXPECT_EQ(gameState.actors[kPlayer].y, step.y);
                EXPECT_EQ(gameState.actors[kPlayer].moving, 0);
                HeadlessActivate(nullptr);  // another program comes to the front
                enemyWhilePaused = gameState.actors[kEnemy];
                lastTickWhilePaused = gameState.clock.lastTick;
                break;
            case 50:
                EXPECT_EQ(windowActive, 0);
                EXPECT_EQ(gameState.actors[kEnemy].x, enemyWhilePaused.x) << "play is paused";
                EXPECT_EQ(gameState.actors[kEnemy].y, enemyWhilePaused.y);
                EXPECT_EQ(gameState.clock.lastTick, lastTickWhilePaused);
                HeadlessActivate(mainWindow);
                break;
            case 60: {
                const Actor& enemy = gameState.actors[kEnemy];
                EXPECT_TRUE(enemy.x != enemyWhilePaused.x || enemy.y != enemyWhilePaused.y)
                    << "play goes on";
                SetCallJournal(&journal);
                SetDirectMusicCallLog(&journal);
                spriteBatcher = new JournalingSprite(spriteBatcher);
                HeadlessPressKey(mainWindow, VK_ESCAPE);
                break;
            }
            default: break;
        }
    };
    EnableCallLog(true);

    EXPECT_EQ(RunGame(), 0);

    EXPECT_EQ(script.frames, 60) << "no frame after Escape";
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    const std::vector<std::string>& calls = CallLog();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Present"), 60) << "every frame presents";
    // What the device made holds references on the device and the Direct3D
    // object and lets go of them as it goes; the order of the releases shows
    // in the last release of each.
    std::erase_if(journal, [](const std::string& entry) {
        return (entry.starts_with("Device.Release ") || entry.starts_with("Direct3D.Release ")) &&
               !entry.ends_with(" 0");
    });
    const std::vector<std::string> expected = {
        "Performance.Stop",
        "Segment(wave01.wav).Unload",
        "Segment(wave01.wav).Release 0",
        "Segment(wave02.wav).Unload",
        "Segment(wave02.wav).Release 0",
        "Loader.Release 0",
        "AudioPath(8).Release 0",
        "AudioPath(1).Release 1",
        "Performance.CloseDown",
        "AudioPath(1).Release 0",
        "Performance.Release 0",
        "Controller.Unacquire",
        "Controller.Release 0",
        "Keyboard.Unacquire",
        "Keyboard.Release 0",
        "DirectInput.Release 0",
        "Sprite.OnLostDevice",
        "Sprite.Release 0",
        "Texture.Release 0",
        "Device.Release 0",
        "Direct3D.Release 0",
        "WindowClass(MainClass).Unregister",
    };
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(FindWindowClass("MainClass", kInstance), nullptr);
    for (const void* object : std::initializer_list<const void*>{
             direct3D, device, spriteBatcher, atlasTexture, directInput, keyboardDevice,
             controllerDevice, soundBank.performance, soundBank.loader}) {
        EXPECT_EQ(object, nullptr) << "every released object is emptied";
    }
}

// ---- device loss ----

TEST_F(EntryTest, MinimisedWindowLosesTheDeviceAndRestoringResetsItWhileFramesGoOn) {
    // The device calls of each frame, split at the frame's Sleep.
    std::vector<std::vector<std::string>> frameCalls;
    std::size_t logged = 0;
    Actor enemyWhileMinimised{};
    script.onFrame = [&](int frame) {
        const std::vector<std::string>& calls = CallLog();
        frameCalls.emplace_back(calls.begin() + static_cast<std::ptrdiff_t>(logged), calls.end());
        logged = calls.size();
        switch (frame) {
            case 5:
                HeadlessMinimise(mainWindow, true);
                enemyWhileMinimised = gameState.actors[kEnemy];
                break;
            case 9:
                EXPECT_EQ(windowActive, 0);
                EXPECT_EQ(gameState.actors[kEnemy].x, enemyWhileMinimised.x);
                EXPECT_EQ(gameState.actors[kEnemy].y, enemyWhileMinimised.y);
                HeadlessMinimise(mainWindow, false);
                break;
            case 14: HeadlessPressKey(mainWindow, VK_ESCAPE); break;
            default: break;
        }
    };
    EnableCallLog(true);

    EXPECT_EQ(RunGame(), 0);

    frameCalls.emplace_back(CallLog().begin() + static_cast<std::ptrdiff_t>(logged),
                            CallLog().end());
    // frameCalls[n] holds what frame n did (frame 0: the start-up).
    ASSERT_EQ(frameCalls.size(), 15u);
    const auto resets = [&](int frame) {
        return std::count(frameCalls[frame].begin(), frameCalls[frame].end(), "Reset");
    };
    for (int frame = 1; frame <= 14; ++frame) {
        EXPECT_EQ(std::count(frameCalls[frame].begin(), frameCalls[frame].end(), "Present"), 1)
            << "frame " << frame << " draws and presents";
        // Minimised from frame 5 to 8: a reset is tried at the end of each of
        // them and fails; the one at the end of frame 9, after restoring,
        // holds, and no later frame needs one.
        EXPECT_EQ(resets(frame), frame >= 5 && frame <= 9 ? 1 : 0) << "frame " << frame;
    }
    // After the successful reset the batcher takes up the device again.
    const std::vector<std::string>& recovery = frameCalls[9];
    const auto reset = std::find(recovery.begin(), recovery.end(), "Reset");
    EXPECT_NE(std::find(reset, recovery.end(), "GetRenderTarget"), recovery.end());
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

}  // namespace
