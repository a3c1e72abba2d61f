#include "runtime/win32/debug_output.h"

#include <cstdio>
#include <utility>

#include "vellorn/win32_system.h"

namespace {

DebugOutputCapture& Capture() {
    static DebugOutputCapture capture;
    return capture;
}

}  // namespace

void SetDebugOutputCapture(DebugOutputCapture capture) {
    Capture() = std::move(capture);
}

void OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) {
        return;
    }
    if (const DebugOutputCapture& capture = Capture()) {
        capture(text);
        return;
    }
    // The text is written as given: callers supply their own line endings.
    std::fputs(text, stderr);
}
