#include "support/entry_fixture.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

#include "game/game_state.h"
#include "runtime/backend.h"
#include "runtime/call_journal.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/dmusic/headless_audio.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/run_script.h"
#include "runtime/win32/ticks.h"
#include "shell/entry.h"
#include "shell/shutdown.h"
#include "shell/window.h"

Script script;

namespace {

DWORD ScriptTicks() {
    return script.now;
}

void ScriptSleep(DWORD milliseconds) {
    script.now += milliseconds;
    ++script.frames;
    if (script.frames > script.frameLimit) {
        ADD_FAILURE() << "the game did not end";
        HeadlessClickClose(mainWindow);
        return;
    }
    if (script.onFrame) {
        script.onFrame(script.frames);
    }
}

void ResetRuntime() {
    ResetHeadlessWindowing();
    ResetDeviceControl();
    ResetHeadlessInput();
    ClearDirectMusicFaults();
    RemoveRunScript();
}

}  // namespace

void EntryFixture::SetUp() {
    SelectBackend(RuntimeBackend::Headless);
    ResetRuntime();
    ClearHeadlessPlays();
    gameState = InitialGameState();
    mainWindow = nullptr;
    windowActive = 0;
    script = Script{};
    FixCalendarTime(kCalendarTime);
    ASSERT_FALSE(HasFatalFailure());

    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    saved_ = saved;
    char pattern[] = "/tmp/vellorn_entry_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    CopyAssetsTo(directory_);
    ASSERT_EQ(chdir(directory_.c_str()), 0);
}

void EntryFixture::TearDown() {
    SetCallJournal(nullptr);
    SetDirectMusicCallLog(nullptr);
    // A failed start-up leaves what it made; the shutdown takes any state.
    ShutDown(kInstance);
    EXPECT_EQ(LiveInputObjectCount(), 0);
    EXPECT_EQ(LiveDirectMusicObjects(), 0);
    ResetRuntime();
    ASSERT_EQ(chdir(saved_.c_str()), 0);
    std::filesystem::remove_all(directory_);
}

void EntryFixture::FixCalendarTime(std::time_t seconds) {
    RunScript calendar;
    calendar.calendarTime = seconds;
    ASSERT_TRUE(InstallRunScript(calendar));
    // The scripted run brings a clock of its own that really waits; the
    // per-frame script's clock takes its place, and time() still answers the
    // scripted run's calendar time.
    SetTickSource(ScriptTicks);
    SetSleepHandler(ScriptSleep);
}

int EntryFixture::RunGame() {
    char commandLine[] = "";
    return WinMain(kInstance, nullptr, commandLine, SW_SHOWNORMAL);
}

std::vector<std::string> PlayedSoundFiles() {
    std::vector<std::string> sounds;
    for (const HeadlessPlay& play : HeadlessPlays()) {
        sounds.push_back(std::filesystem::path(play.sound).filename());
    }
    return sounds;
}

void CopyAssetsTo(const std::string& directory) {
    for (const char* name : {"bitmap.png", "wave01.wav", "wave02.wav"}) {
        std::filesystem::copy_file(std::string(VELLORN_ASSETS_DIR "/") + name,
                                   directory + "/" + name);
    }
}
