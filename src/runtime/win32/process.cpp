// Debugger presence, breaking into the debugger and immediate termination.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "vellorn/win32_system.h"

BOOL IsDebuggerPresent() {
    // The kernel names the process tracing this one, if any, in TracerPid.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) {
            return std::strtol(line.c_str() + 10, nullptr, 10) != 0 ? TRUE : FALSE;
        }
    }
    return FALSE;
}

void DebugBreak() {
    std::raise(SIGTRAP);
}

void FatalAppExitA(UINT /*action*/, LPCSTR message) {
    std::fprintf(stderr, "%s\n", message != nullptr ? message : "");
    std::fflush(stderr);
    // Ends the process at once: no static destructors or exit handlers run,
    // since the state they would touch is not to be trusted any more.
    _exit(3);
}
