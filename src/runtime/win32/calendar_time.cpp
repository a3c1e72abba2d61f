// The runtime library's calendar clock, time(). Programs that link the runtime
// get this definition in place of the C library's, so that a scripted run
// (runtime/win32/run_script.h) can fix the calendar time a program reads, for
// example to seed its random numbers; otherwise it answers the system's time.
#include <time.h>

#include "runtime/win32/run_script.h"

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
