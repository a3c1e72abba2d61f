// The message queue of the program's one thread: posted messages in order,
// the pending quit, and the key state behind TranslateMessage.
#include <algorithm>
#include <array>
#include <deque>

#include "runtime/backend.h"
#include "runtime/win32/sdl_window.h"
#include "runtime/win32/window_system.h"
#include "vellorn/win32_system.h"

namespace {

struct MessageQueue {
    std::deque<MSG> posted;
    bool quitPending = false;
    int exitCode = 0;
    std::array<bool, 256> keysDown{};
};

MessageQueue& Queue() {
    static MessageQueue queue;
    return queue;
}

// PeekMessageA's window filter: null takes every message, -1 only those
// posted to no window, anything else the messages of that window.
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window == kThreadMessagesOnly ? message.hwnd != nullptr
                                      : window != nullptr && message.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return message.message >= filterMin && message.message <= filterMax;
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{window, message, wParam, lParam, GetTickCount(), POINT{0, 0}};
}

// The character of a key on the runtime's US keyboard, or 0.
int CharacterOf(int virtualKey, bool shift) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return shift ? virtualKey : virtualKey - 'A' + 'a';
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
        return shift ? kShiftedDigits[virtualKey - '0'] : virtualKey;
    }
    switch (virtualKey) {
        case VK_SPACE:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_BACK:
        case VK_TAB: return virtualKey == VK_RETURN ? '\r' : virtualKey;
        default: return 0;
    }
}

}  // namespace

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (message == nullptr) {
        return FALSE;
    }
    if (ActiveBackend() == RuntimeBackend::Sdl) {
        PumpSdlEvents();
    }
    MessageQueue& queue = Queue();
    auto found = std::find_if(queue.posted.begin(), queue.posted.end(), [&](const MSG& waiting) {
        return Matches(waiting, window, filterMin, filterMax);
    });
    if (found != queue.posted.end()) {
        *message = *found;
        if ((removeMessage & PM_REMOVE) != 0) {
            queue.posted.erase(found);
        }
        return TRUE;
    }
    // The quit comes once every posted message has been taken, whatever the
    // filter asks for.
    if (queue.quitPending) {
        *message = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.exitCode), 0);
        if ((removeMessage & PM_REMOVE) != 0) {
            queue.quitPending = false;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message) {
    if (message == nullptr || (message->message != WM_KEYDOWN && message->message != WM_KEYUP)) {
        return FALSE;
    }
    if (message->message == WM_KEYDOWN) {
        const int character = CharacterOf(static_cast<int>(message->wParam), IsKeyDown(VK_SHIFT));
        if (character != 0) {
            // The character message is the next one taken from the queue.
            Queue().posted.push_front(MakeMessage(message->hwnd, WM_CHAR,
                                                  static_cast<WPARAM>(character), message->lParam));
        }
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr || message->hwnd == nullptr) {
        return 0;
    }
    return SendToWindow(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && FindWindowRecord(window) == nullptr) {
        return FALSE;
    }
    Queue().posted.push_back(MakeMessage(window, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    Queue().quitPending = true;
    Queue().exitCode = exitCode;
}

void PostKeyMessage(HWND window, int virtualKey, bool down, bool repeat) {
    if (virtualKey <= 0 || virtualKey > 0xFF) {
        return;
    }
    Queue().keysDown[static_cast<std::size_t>(virtualKey)] = down;
    // lParam: a repeat count of 1; bit 30 the key's previous state, bit 31
    // set for a release.
    LPARAM lParam = 1;
    if (repeat || !down) {
        lParam |= LPARAM{1} << 30;
    }
    if (!down) {
        lParam |= LPARAM{1} << 31;
    }
    PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), lParam);
}

bool IsKeyDown(int virtualKey) {
    return virtualKey > 0 && virtualKey <= 0xFF &&
           Queue().keysDown[static_cast<std::size_t>(virtualKey)];
}

void DropMessagesFor(HWND window) {
    std::erase_if(Queue().posted, [&](const MSG& message) { return message.hwnd == window; });
}

void ForgetMessages() {
    Queue() = MessageQueue{};
}
