// The program: runs the game as the module the process was started from.
#include <string>

#include "shell/entry.h"
#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

int main(int argc, char** argv) {
    // The command line as the entry receives it: the arguments after the
    // program's name, separated by spaces.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
