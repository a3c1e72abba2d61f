// Takes the README's picture of the game: runs the real game, its WinMain, on
// the headless runtime from the assets folder with a scripted run (a fixed
// calendar time, so a fixed maze; a fixed clock; keys held over numbered
// frames; Escape at the end) and leaves the last frame it presented as an
// 8-bit RGB PNG.
//
// Usage: vellorn_screenshot [output.png] [--script SCRIPT] [--assets DIR]
//   output.png defaults to screenshot.png in the current directory. SCRIPT is
//   a run script as VELLORN_SCRIPT takes it (runtime/win32/run_script.h); it
//   must press Escape, which ends the game. DIR holds bitmap.png, wave01.wav
//   and wave02.wav and defaults to the source tree's assets/.
// The picture is deterministic: the same script gives the same file.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/run_script.h"
#include "shell/entry.h"
#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

namespace {

// The player walks right, down, right and down again and is caught in the
// middle of that last step, with the enemy on its way through the maze and the
// goal in the far corner.
constexpr const char* kDefaultScript =
    "time=1700000000,Right:1-30,Down:58-62,Right:90-100,Down:140-152,Escape:152";

bool PressesEscape(const RunScript& script) {
    for (const ScriptedKey& key : script.keys) {
        if (key.virtualKey == VK_ESCAPE) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string output = "screenshot.png";
    std::string scriptText = kDefaultScript;
    std::string assets = VELLORN_ASSETS_DIR;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            scriptText = argv[++i];
        } else if (std::strcmp(argv[i], "--assets") == 0 && i + 1 < argc) {
            assets = argv[++i];
        } else if (argv[i][0] != '-') {
            output = argv[i];
        } else {
            std::fprintf(stderr, "usage: %s [output.png] [--script SCRIPT] [--assets DIR]\n",
                         argv[0]);
            return 2;
        }
    }
    RunScript script;
    std::string error;
    if (!ParseRunScript(scriptText, &script, &error)) {
        std::fprintf(stderr, "vellorn_screenshot: bad script: %s\n", error.c_str());
        return 2;
    }
    if (!PressesEscape(script)) {
        std::fprintf(stderr, "vellorn_screenshot: the script must press Escape to end the game\n");
        return 2;
    }
    // The game reads its assets from the current directory.
    std::error_code failure;
    const std::filesystem::path target = std::filesystem::absolute(output, failure);
    std::filesystem::remove(target, failure);
    if (chdir(assets.c_str()) != 0) {
        std::fprintf(stderr, "vellorn_screenshot: cannot enter %s: %s\n", assets.c_str(),
                     std::strerror(errno));
        return 1;
    }

    SelectBackend(RuntimeBackend::Headless);
    SetPresentedFrameFile(target.string());
    if (!InstallRunScript(script)) {
        std::fprintf(stderr, "vellorn_screenshot: out of memory\n");
        return 1;
    }
    char commandLine[] = "";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);

    for (const MessageBoxRecord& box : RecordedMessageBoxes()) {
        std::fprintf(stderr, "vellorn_screenshot: the game showed \"%s\": \"%s\"\n",
                     box.caption.c_str(), box.text.c_str());
    }
    if (code != 0 || !RecordedMessageBoxes().empty() || !std::filesystem::exists(target)) {
        std::fprintf(stderr, "vellorn_screenshot: no picture written\n");
        return 1;
    }
    return 0;
}
