// MessageBoxA: an SDL message box; headless, a recorded box answered by a
// scripted answer; with no display at all, the text on stderr.
#include <cstdio>
#include <deque>
#include <vector>

#include "runtime/backend.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/sdl_window.h"
#include "runtime/win32/window_system.h"

namespace {

struct ButtonSet {
    int count;
    int ids[3];
    int escape;  // the answer for Escape or closing the box; 0: none
};

// The buttons of each MB_* type, left to right.
constexpr ButtonSet kButtonSets[] = {
    {1, {IDOK}, IDOK},                       // MB_OK
    {2, {IDOK, IDCANCEL}, IDCANCEL},         // MB_OKCANCEL
    {3, {IDABORT, IDRETRY, IDIGNORE}, 0},    // MB_ABORTRETRYIGNORE
    {3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},  // MB_YESNOCANCEL
    {2, {IDYES, IDNO}, 0},                   // MB_YESNO
    {2, {IDRETRY, IDCANCEL}, IDCANCEL},      // MB_RETRYCANCEL
};

const char* ButtonLabel(int id) {
    switch (id) {
        case IDOK: return "OK";
        case IDCANCEL: return "Cancel";
        case IDABORT: return "Abort";
        case IDRETRY: return "Retry";
        case IDIGNORE: return "Ignore";
        case IDYES: return "Yes";
        case IDNO: return "No";
        default: return "";
    }
}

int DefaultButton(const ButtonSet& set, UINT type) {
    // A default button beyond the set falls back to the first.
    const UINT index = (type & MB_DEFMASK) >> 8;
    return set.ids[index < static_cast<UINT>(set.count) ? index : 0];
}

struct HeadlessBoxes {
    std::vector<MessageBoxRecord> records;
    std::deque<int> answers;
};

HeadlessBoxes& Boxes() {
    static HeadlessBoxes boxes;
    return boxes;
}

Uint32 SdlIconFlags(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND: return SDL_MESSAGEBOX_ERROR;
        case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
        case MB_ICONQUESTION:
        case MB_ICONASTERISK: return SDL_MESSAGEBOX_INFORMATION;
        default: return 0;
    }
}

// Shows the box through SDL; false when SDL cannot show it.
bool ShowSdlBox(HWND owner, const char* text, const char* caption, UINT type, const ButtonSet& set,
                int* answer) {
    if (!InitSdlVideo()) {
        return false;
    }
    const int defaultId = DefaultButton(set, type);
    SDL_MessageBoxButtonData buttons[3] = {};
    for (int i = 0; i < set.count; ++i) {
        buttons[i].buttonid = set.ids[i];
        buttons[i].text = ButtonLabel(set.ids[i]);
        if (set.ids[i] == defaultId) {
            buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        }
        if (set.ids[i] == set.escape) {
            buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        }
    }
    const Window* ownerWindow = FindWindowRecord(owner);
    SDL_MessageBoxData data{};
    data.flags = SdlIconFlags(type);
    data.window = ownerWindow != nullptr ? ownerWindow->sdlWindow : nullptr;
    data.title = caption;
    data.message = text;
    data.numbuttons = set.count;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        return false;
    }
    // Closing the box counts as Escape; a box that cannot be escaped
    // answers with its default button.
    *answer = pressed >= 0 ? pressed : (set.escape != 0 ? set.escape : defaultId);
    return true;
}

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const UINT buttons = type & MB_TYPEMASK;
    if (buttons >= std::size(kButtonSets)) {
        return 0;
    }
    const ButtonSet& set = kButtonSets[buttons];
    const char* shownText = text != nullptr ? text : "";
    const char* shownCaption = caption != nullptr ? caption : "Error";

    if (ActiveBackend() == RuntimeBackend::Headless) {
        HeadlessBoxes& boxes = Boxes();
        int answer = DefaultButton(set, type);
        if (!boxes.answers.empty()) {
            answer = boxes.answers.front();
            boxes.answers.pop_front();
        }
        boxes.records.push_back(MessageBoxRecord{owner, shownText, shownCaption, type, answer});
        return answer;
    }

    int answer = 0;
    if (ShowSdlBox(owner, shownText, shownCaption, type, set, &answer)) {
        return answer;
    }
    // Nowhere to show the box: the user still gets the text. Only a box whose
    // one answer is OK can be answered without the user; any other reports
    // that it failed.
    std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    return buttons == MB_OK ? IDOK : 0;
}

const std::vector<MessageBoxRecord>& RecordedMessageBoxes() {
    return Boxes().records;
}

void QueueMessageBoxAnswer(int answer) {
    Boxes().answers.push_back(answer);
}

void ForgetMessageBoxes() {
    Boxes() = HeadlessBoxes{};
}
