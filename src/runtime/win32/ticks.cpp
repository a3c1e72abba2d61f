// The runtime's clocks: GetTickCount and Sleep, and the C runtime library's
// calendar clock, time().
#include "runtime/win32/ticks.h"

#include <time.h>

#include <chrono>
#include <thread>

#include "runtime/win32/run_script.h"
#include "vellorn/win32_system.h"

namespace {

TickSource tickSource = nullptr;
SleepHandler sleepHandler = nullptr;

}  // namespace

void SetTickSource(TickSource source) {
    tickSource = source;
}

void SetSleepHandler(SleepHandler handler) {
    sleepHandler = handler;
}

DWORD GetTickCount() {
    // A scripted run named by the environment installs its clock now.
    ActiveRunScript();
    if (tickSource != nullptr) {
        return tickSource();
    }
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    // Truncation to 32 bits is the counter's wrap.
    return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

void Sleep(DWORD milliseconds) {
    ActiveRunScript();
    if (sleepHandler != nullptr) {
        sleepHandler(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Programs that link the runtime get this time() in place of the C library's,
// so that a scripted run can fix the calendar time a program reads, for
// example to seed its random numbers; otherwise it answers the system's time.
// It lives beside GetTickCount, which every program with a frame clock
// references: the linker then always takes it, even when a shared library
// seen earlier (a sanitizer's runtime) also defines time().
extern "C" time_t time(time_t* out) noexcept {
    const RunScript* script = ActiveRunScript();
    time_t now = 0;
    if (script != nullptr && script->calendarTime) {
        now = *script->calendarTime;
    } else {
        timespec clock{};
        clock_gettime(CLOCK_REALTIME, &clock);
        now = clock.tv_sec;
    }
    if (out != nullptr) {
        *out = now;
    }
    return now;
}
