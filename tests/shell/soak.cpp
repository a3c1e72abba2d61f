// Plays the real game for a given time on the headless runtime and reports
// whether it kept its memory: WinMain runs as the program runs it, and the
// loop's Sleep hands this program a turn per frame. Each turn advances a fake
// clock by 10 ms (now and then by a stall of up to three seconds; the clock
// starts a minute before the tick counter wraps), changes the held arrow keys
// and the controller's stick at random or walks the player to the goal,
// posts stray key messages, and now and then minimises and restores the
// window or puts another program in front. The frames draw and present on the
// software device as in play.
//
//   vellorn_soak SECONDS [SEED] [GROWTH_BOUND_KIB]
//
// SEED drives the random input and is also the calendar time the game reads
// (through a scripted run), so that the game's mazes and enemies follow from
// it too and a run with the same seed plays the same game.
//
// Run it in a directory that holds bitmap.png, wave01.wav and wave02.wav
// (scripts/soak does). The resident set is sampled after a warm-up (a tenth
// of the time), at the middle and at the end; the exit code is 0 when the
// game ended normally, kept its invariants and grew by no more than the bound
// (default 4096 KiB) from the warm-up sample to the end, else 1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "game/game_state.h"
#include "platform/input_devices.h"
#include "runtime/backend.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/dmusic/headless_audio.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/run_script.h"
#include "runtime/win32/ticks.h"
#include "shell/entry.h"
#include "shell/window.h"
#include "support/maze_route.h"
#include "vellorn/dinput.h"
#include "vellorn/win32_system.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kFrameMs = 10;
constexpr DWORD kTicksBeforeWrap = 60000;
constexpr float kEnemyStartSpeed = 100.0f;
constexpr float kEnemySpeedUp = 25.0f;
constexpr long kDefaultGrowthBoundKib = 4096;

// A "Vm..." line of /proc/self/status in KiB: VmRSS is the resident set now,
// VmHWM its peak as the kernel last recorded it (it may lag behind VmRSS).
long StatusKib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

long ResidentKib() {
    return StatusKib("VmRSS");
}

enum class Mode { Random, Seek };

struct Soak {
    std::mt19937 random;
    Clock::time_point start;
    Clock::duration length;
    DWORD now = 0xFFFFFFFFu - kTicksBeforeWrap;
    long frames = 0;
    long goals = 0;
    long catches = 0;
    long minimises = 0;
    long backgrounds = 0;
    long stalls = 0;
    // Frames until the window comes back (minimised or behind another
    // program), 0 while it is in front.
    int awayFrames = 0;
    bool minimised = false;
    Mode mode = Mode::Random;
    int modeFrames = 0;
    long residentWarm = -1;
    long residentMiddle = -1;
    long residentEnd = -1;
    bool ending = false;
    std::string broken;

    bool Chance(unsigned in) { return random() % in == 0; }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
};
Soak soak;

DWORD SoakTicks() {
    return soak.now;
}

// Holds the arrow keys of the directions whose bits are set in mask (bit 0
// right, 1 left, 2 up, 3 down) and releases the others.
void HoldArrows(unsigned mask) {
    static constexpr BYTE kArrows[] = {DIK_RIGHT, DIK_LEFT, DIK_UP, DIK_DOWN};
    for (unsigned i = 0; i < 4; ++i) {
        HeadlessSetKey(kArrows[i], (mask >> i & 1u) != 0);
    }
}

// Counts the sounds played since the last turn: one per goal, one per catch.
void CountPlays() {
    for (const HeadlessPlay& play : HeadlessPlays()) {
        (std::filesystem::path(play.sound).filename() == "wave01.wav" ? soak.goals
                                                                      : soak.catches) += 1;
    }
    ClearHeadlessPlays();
}

// What the game must hold after every frame, whatever the input was.
void CheckInvariants() {
    const Actor& player = gameState.actors[kPlayer];
    const Actor& enemy = gameState.actors[kEnemy];
    const float expectedSpeed = kEnemyStartSpeed + kEnemySpeedUp * static_cast<float>(soak.goals);
    if (enemy.speed != expectedSpeed) {
        soak.broken = "enemy speed " + std::to_string(enemy.speed) + " after " +
                      std::to_string(soak.goals) + " goals";
    }
    if (enemy.state != kActorWalking ||
        (player.state != kActorWalking && player.state != kActorCaught)) {
        soak.broken =
            "actor states " + std::to_string(player.state) + ", " + std::to_string(enemy.state);
    }
    for (const Actor* actor : {&player, &enemy}) {
        const MazeCell cell = RestCell(actor->x, actor->y);
        const bool inside =
            cell.x >= 0 && cell.x < kMazeColumns && cell.y >= 0 && cell.y < kMazeRows;
        if (actor->state == kActorWalking && actor->moving == 0 &&
            (!inside || actor->x != kRestX + kCellSize * static_cast<float>(cell.x) ||
             actor->y != kRestY + kCellSize * static_cast<float>(cell.y))) {
            soak.broken = "an actor at rest off its cell";
        }
    }
    if (ReachableCells(gameState.maze) != kMazeColumns * kMazeRows) {
        soak.broken = "a maze with cells cut off";
    }
}

void SteerPlayer() {
    if (--soak.modeFrames <= 0) {
        soak.mode = soak.Chance(2) ? Mode::Seek : Mode::Random;
        soak.modeFrames = soak.Between(200, 3000);
    }
    if (soak.mode == Mode::Random) {
        if (soak.Chance(6)) {
            HoldArrows(soak.Chance(4) ? 0u : static_cast<unsigned>(soak.Between(0, 15)));
        }
        if (soak.Chance(10)) {
            HeadlessSetControllerAxis(0, soak.Between(0, 1), soak.Between(-32768, 32767));
        }
        return;
    }
    HeadlessSetControllerAxis(0, 0, 0);
    HeadlessSetControllerAxis(0, 1, 0);
    const Actor& player = gameState.actors[kPlayer];
    const int dir = FirstStepTowards(gameState.maze, DestinationCell(player),
                                     RestCell(gameState.goalX, gameState.goalY));
    HoldArrows(dir >= 0 ? 1u << dir : 0u);
}

void DisturbWindow() {
    if (soak.awayFrames > 0) {
        if (--soak.awayFrames == 0) {
            if (soak.minimised) {
                HeadlessMinimise(mainWindow, false);
            } else {
                HeadlessActivate(mainWindow);
            }
        }
        return;
    }
    if (soak.Chance(5000)) {
        soak.minimised = soak.Chance(2);
        soak.awayFrames = soak.Between(1, 100);
        if (soak.minimised) {
            HeadlessMinimise(mainWindow, true);
            ++soak.minimises;
        } else {
            HeadlessActivate(nullptr);
            ++soak.backgrounds;
        }
    }
    if (soak.Chance(500)) {
        int key = soak.Between(0x08, 0xFE);
        if (key == VK_ESCAPE) {
            key = VK_SPACE;
        }
        HeadlessPressKey(mainWindow, key);
        HeadlessReleaseKey(mainWindow, key);
    }
}

void SampleMemory(Clock::duration elapsed) {
    if (soak.residentWarm < 0 && elapsed >= soak.length / 10) {
        soak.residentWarm = ResidentKib();
    }
    if (soak.residentMiddle < 0 && elapsed >= soak.length / 2) {
        soak.residentMiddle = ResidentKib();
    }
}

void SoakFrame(DWORD milliseconds) {
    ++soak.frames;
    soak.now += milliseconds;
    if (soak.Chance(5000)) {
        soak.now += static_cast<DWORD>(soak.Between(0, 3000));
        ++soak.stalls;
    }
    if (soak.ending) {
        return;
    }
    CountPlays();
    CheckInvariants();
    const Clock::duration elapsed = Clock::now() - soak.start;
    SampleMemory(elapsed);
    if (elapsed >= soak.length || !soak.broken.empty()) {
        soak.residentEnd = ResidentKib();
        soak.ending = true;
        HoldArrows(0);
        HeadlessPressKey(mainWindow, VK_ESCAPE);
        return;
    }
    SteerPlayer();
    DisturbWindow();
}

double Mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s SECONDS [SEED] [GROWTH_BOUND_KIB]\n", argv[0]);
        return 2;
    }
    const long seconds = std::strtol(argv[1], nullptr, 10);
    const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10)
                                        : static_cast<unsigned long>(std::time(nullptr));
    const long bound = argc > 3 ? std::strtol(argv[3], nullptr, 10) : kDefaultGrowthBoundKib;
    if (seconds <= 0 || bound < 0) {
        std::fprintf(stderr, "soak: SECONDS must be positive and the bound not negative\n");
        return 2;
    }
    std::printf("soak: %ld s, seed %lu, growth bound %ld KiB\n", seconds, seed, bound);
    std::fflush(stdout);

    SelectBackend(RuntimeBackend::Headless);
    soak.random.seed(static_cast<std::mt19937::result_type>(seed));
    soak.length = std::chrono::seconds(seconds);
    HeadlessAttachController({});
    RunScript calendar;
    calendar.calendarTime = static_cast<std::time_t>(seed);
    if (!InstallRunScript(calendar)) {
        std::fprintf(stderr, "soak: out of memory\n");
        return 1;
    }
    // The scripted run's own clock really waits; the soak's clock takes its
    // place, and time() still answers the seed.
    SetTickSource(SoakTicks);
    SetSleepHandler(SoakFrame);
    soak.start = Clock::now();
    char commandLine[] = "";
    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
    const double wall = std::chrono::duration<double>(Clock::now() - soak.start).count();

    const long growth = soak.residentEnd - soak.residentWarm;
    std::printf("soak: %ld frames in %.0f s (%.0f per second), exit code %d\n", soak.frames, wall,
                static_cast<double>(soak.frames) / wall, exitCode);
    std::printf(
        "soak: %ld goals, %ld catches, %ld minimises, %ld times behind another program, "
        "%ld stalls\n",
        soak.goals, soak.catches, soak.minimises, soak.backgrounds, soak.stalls);
    std::printf(
        "soak: resident set after warm-up %.1f MiB, middle %.1f MiB, end %.1f MiB, "
        "peak %.1f MiB; growth %ld KiB\n",
        Mib(soak.residentWarm), Mib(soak.residentMiddle), Mib(soak.residentEnd),
        Mib(std::max(StatusKib("VmHWM"), soak.residentEnd)), growth);
    bool failed = false;
    if (exitCode != 0 || !RecordedMessageBoxes().empty()) {
        std::printf("soak: FAILED: the game did not end normally\n");
        failed = true;
    }
    if (LiveInputObjectCount() != 0 || LiveDirectMusicObjects() != 0) {
        std::printf("soak: FAILED: objects left after the shutdown\n");
        failed = true;
    }
    if (!soak.broken.empty()) {
        std::printf("soak: FAILED: %s (frame %ld)\n", soak.broken.c_str(), soak.frames);
        failed = true;
    }
    if (soak.residentWarm < 0 || soak.residentEnd < 0) {
        std::printf("soak: FAILED: the game ended before the memory was sampled\n");
        failed = true;
    } else if (growth > bound) {
        std::printf("soak: FAILED: the resident set grew by %ld KiB, more than %ld KiB\n", growth,
                    bound);
        failed = true;
    }
    return failed ? 1 : 0;
}
