#include "runtime/win32/run_script.h"

#include <SDL.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "runtime/win32/sdl_window.h"
#include "runtime/win32/ticks.h"
#include "runtime/win32/window_system.h"

namespace {

struct ScriptState {
    std::optional<RunScript> script;
    DWORD slept = 0;  // milliseconds, modulo 2^32 like the tick count
    int frame = 0;
};

ScriptState& State() {
    static ScriptState state;
    return state;
}

std::once_flag environmentRead;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number of the given type, nothing around it.
template <class Number>
bool ParseNumber(std::string_view text, Number* value) {
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, *value);
    return !text.empty() && error == std::errc() && end == last;
}

bool ParseFrames(std::string_view text, ScriptedKey* key) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        if (!ParseNumber(text, &key->firstFrame)) {
            return false;
        }
        key->lastFrame = key->firstFrame;
    } else if (!ParseNumber(text.substr(0, dash), &key->firstFrame) ||
               !ParseNumber(text.substr(dash + 1), &key->lastFrame)) {
        return false;
    }
    return key->firstFrame >= 1 && key->firstFrame <= key->lastFrame;
}

bool ParseKey(std::string_view item, ScriptedKey* key, std::string* error) {
    // The frames follow the last colon: a key's name may hold one itself.
    const auto colon = item.rfind(':');
    if (colon == std::string_view::npos) {
        *error = "\"" + std::string(item) + "\" is neither time=SECONDS nor KEY:FRAMES";
        return false;
    }
    const std::string name(Trimmed(item.substr(0, colon)));
    const SDL_Scancode scancode = SDL_GetScancodeFromName(name.c_str());
    if (scancode == SDL_SCANCODE_UNKNOWN) {
        *error = "\"" + name + "\" is not a key name";
        return false;
    }
    key->scancode = scancode;
    key->virtualKey = VirtualKeyFromSdl(SDL_GetKeyFromName(name.c_str()));
    if (!ParseFrames(Trimmed(item.substr(colon + 1)), key)) {
        *error = "\"" + std::string(item) + "\" needs frames FIRST-LAST with 1 <= FIRST <= LAST";
        return false;
    }
    return true;
}

DWORD ScriptTicks() {
    return kScriptStartTick + State().slept;
}

// The key messages of the keys going down as the frame begins and of those
// let go after the frame before.
void PostKeyChanges(int frame) {
    const HWND window = GetForegroundWindow();
    if (window == nullptr) {
        return;
    }
    for (const ScriptedKey& key : State().script->keys) {
        if (key.virtualKey == 0) {
            continue;
        }
        if (key.lastFrame + 1 == frame) {
            PostKeyMessage(window, key.virtualKey, false, false);
        }
        if (key.firstFrame == frame) {
            PostKeyMessage(window, key.virtualKey, true, false);
        }
    }
}

void ScriptSleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    ScriptState& state = State();
    state.slept += milliseconds;
    ++state.frame;
    PostKeyChanges(state.frame);
}

bool Install(const RunScript& script) {
    ScriptState& state = State();
    try {
        RunScript copy = script;
        state.script = std::move(copy);
    } catch (const std::bad_alloc&) {
        return false;
    }
    state.slept = 0;
    state.frame = 0;
    SetTickSource(ScriptTicks);
    SetSleepHandler(ScriptSleep);
    return true;
}

void InstallFromEnvironment() {
    const char* text = std::getenv("VELLORN_SCRIPT");
    if (text == nullptr || *text == '\0') {
        return;
    }
    RunScript script;
    std::string error;
    if (!ParseRunScript(text, &script, &error)) {
        std::fprintf(stderr, "vellorn: ignoring VELLORN_SCRIPT: %s\n", error.c_str());
        return;
    }
    if (!Install(script)) {
        std::fprintf(stderr, "vellorn: ignoring VELLORN_SCRIPT: out of memory\n");
    }
}

}  // namespace

bool ParseRunScript(std::string_view text, RunScript* script, std::string* error) {
    RunScript parsed;
    try {
        while (!text.empty()) {
            const auto comma = text.find(',');
            const std::string_view item = Trimmed(text.substr(0, comma));
            text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
            if (item.empty()) {
                continue;
            }
            if (item.starts_with("time=")) {
                std::time_t seconds = 0;
                if (!ParseNumber(item.substr(5), &seconds)) {
                    *error = "\"" + std::string(item) + "\" needs a whole number of seconds";
                    return false;
                }
                parsed.calendarTime = seconds;
                continue;
            }
            ScriptedKey key{};
            if (!ParseKey(item, &key, error)) {
                return false;
            }
            parsed.keys.push_back(key);
        }
        *script = std::move(parsed);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return false;
    }
    return true;
}

bool InstallRunScript(const RunScript& script) {
    // A script named by the environment gives way to this one for good.
    std::call_once(environmentRead, [] {});
    return Install(script);
}

void RemoveRunScript() {
    std::call_once(environmentRead, [] {});
    State() = ScriptState{};
    SetTickSource(nullptr);
    SetSleepHandler(nullptr);
}

const RunScript* ActiveRunScript() {
    std::call_once(environmentRead, InstallFromEnvironment);
    const std::optional<RunScript>& script = State().script;
    return script ? &*script : nullptr;
}

int ScriptFrame() {
    return State().frame;
}

bool ScriptHoldsKey(const ScriptedKey& key) {
    const int frame = State().frame;
    return key.firstFrame <= frame && frame <= key.lastFrame;
}
