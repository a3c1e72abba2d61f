#include "runtime/win32/ticks.h"

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
