// Puts the runtime on its SDL backend with SDL's video started, as a test of
// a real window needs it. Tests skip with the reason this gives when the
// machine has no usable display.
#pragma once

#include <SDL.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "runtime/backend.h"
#include "runtime/win32/sdl_window.h"

// Nothing when the SDL backend is ready, else why it cannot be used.
inline std::optional<std::string> StartSdlBackend() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0) {
        return "no display";
    }
    SelectBackend(RuntimeBackend::Sdl);
    if (!InitSdlVideo()) {
        return std::string("SDL cannot open the display: ") + SDL_GetError();
    }
    return std::nullopt;
}
