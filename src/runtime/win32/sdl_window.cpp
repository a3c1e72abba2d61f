// The SDL2 backend of the window system.
#include "runtime/win32/sdl_window.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/win32/icon_image.h"

namespace {

enum class VideoState { Untried, Ready, Missing };

VideoState& Video() {
    static VideoState state = VideoState::Untried;
    return state;
}

void QuitVideo() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SetSdlIcon(SDL_Window* sdlWindow, HICON icon) {
    if (icon == nullptr || icon->rgba.empty()) {
        return;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        icon->rgba.data(), icon->width, icon->height, 32, icon->width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface != nullptr) {
        SDL_SetWindowIcon(sdlWindow, surface);
        SDL_FreeSurface(surface);
    }
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
    const HWND window = FindWindowBySdlId(event.windowID);
    if (window == nullptr) {
        return;
    }
    switch (event.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: SetFocusWindow(window); break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (GetForegroundWindow() == window) {
                SetFocusWindow(nullptr);
            }
            break;
        case SDL_WINDOWEVENT_CLOSE: PostMessageA(window, WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_MINIMIZED: SetWindowIconic(window, true); break;
        case SDL_WINDOWEVENT_RESTORED: SetWindowIconic(window, false); break;
        default: break;
    }
}

void HandleKeyEvent(const SDL_KeyboardEvent& event) {
    HWND window = FindWindowBySdlId(event.windowID);
    if (window == nullptr) {
        window = GetForegroundWindow();
    }
    const int virtualKey = VirtualKeyFromSdl(event.keysym.sym);
    if (window != nullptr && virtualKey != 0) {
        PostKeyMessage(window, virtualKey, event.type == SDL_KEYDOWN, event.repeat != 0);
    }
}

}  // namespace

bool InitSdlVideo() {
    VideoState& state = Video();
    if (state == VideoState::Untried) {
        // SDL's quit event then means only that the process is asked to end:
        // closing a window is its own window event, as one WM_CLOSE.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            state = VideoState::Ready;
            std::atexit(QuitVideo);
        } else {
            state = VideoState::Missing;
        }
    }
    return state == VideoState::Ready;
}

SDL_Window* CreateSdlWindow(const Window& window) {
    if (!InitSdlVideo()) {
        return nullptr;
    }
    // SDL places and sizes the client area; the frame around it is the
    // runtime's, so the outer rectangle lands where the caller put it.
    const int clientWidth = std::max(window.width - 2 * kFrameBorder, 1);
    const int clientHeight = std::max(window.height - 2 * kFrameBorder - kCaptionHeight, 1);
    SDL_Window* sdlWindow = SDL_CreateWindow(window.caption.c_str(), window.x + kFrameBorder,
                                             window.y + kFrameBorder + kCaptionHeight, clientWidth,
                                             clientHeight, SDL_WINDOW_HIDDEN);
    if (sdlWindow != nullptr) {
        SetSdlIcon(sdlWindow, window.icon != nullptr ? window.icon : window.smallIcon);
    }
    return sdlWindow;
}

void ShowSdlWindow(SDL_Window* sdlWindow, int command) {
    switch (command) {
        case SW_HIDE: SDL_HideWindow(sdlWindow); break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            SDL_ShowWindow(sdlWindow);
            SDL_MinimizeWindow(sdlWindow);
            break;
        default:
            SDL_ShowWindow(sdlWindow);
            SDL_RestoreWindow(sdlWindow);
            SDL_RaiseWindow(sdlWindow);
            break;
    }
}

bool GetSdlDesktopSize(int* width, int* height) {
    SDL_DisplayMode mode;
    if (!InitSdlVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return false;
    }
    *width = mode.w;
    *height = mode.h;
    return true;
}

void PumpSdlEvents() {
    if (Video() != VideoState::Ready) {
        return;
    }
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_QUIT, SDL_KEYUP) > 0) {
        if (event.type == SDL_QUIT) {
            // SDL raises it when the process receives SIGINT or SIGTERM.
            // Every window is closed as by its close button, so the program
            // ends through its own shutdown instead of running on.
            PostCloseToEveryWindow();
        } else if (event.type == SDL_WINDOWEVENT) {
            HandleWindowEvent(event.window);
        } else if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
            HandleKeyEvent(event.key);
        }
    }
    // Nothing else in the program reads SDL's queue: the input runtime polls
    // the keyboard and controller state. Whatever is left would pile up until
    // the queue is full and window and key events are dropped (a controller
    // queues two events for every change of a stick).
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}
