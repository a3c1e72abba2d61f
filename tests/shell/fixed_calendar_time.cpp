#include "fixed_calendar_time.h"

namespace {

std::optional<std::time_t>& FixedTime() {
    static std::optional<std::time_t> fixed;
    return fixed;
}

}  // namespace

void FixCalendarTime(std::optional<std::time_t> seconds) {
    FixedTime() = seconds;
}

// The linker sends every call to time() here (-Wl,--wrap=time) and names the
// C library's own function __real_time.
extern "C" std::time_t __real_time(std::time_t* out);

extern "C" std::time_t __wrap_time(std::time_t* out) {
    if (!FixedTime()) {
        return __real_time(out);
    }
    if (out != nullptr) {
        *out = *FixedTime();
    }
    return *FixedTime();
}
