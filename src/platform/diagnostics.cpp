#include "platform/diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "platform/direct3d_settings.h"
#include "vellorn/win32_system.h"
#include "vellorn/win32_window.h"

DiagnosticChannel diagnosticChannel;

namespace {

constexpr const char* kAssertionCaption = "D3DX Assertion Failure";

const char* TextOrNull(const char* text) {
    return text != nullptr ? text : "(null)";
}

enum class AssertionAction { Continue, Break, Ask };

// With a debugger attached: 0 continues, 1 and 2 break, 3 asks. Without one:
// 0 and 1 continue, 2 and 3 ask. A mode outside 0..3 is not a request for
// anything, so it continues.
AssertionAction ChooseAssertionAction(DWORD mode, bool debuggerPresent) {
    switch (mode) {
        case 1: return debuggerPresent ? AssertionAction::Break : AssertionAction::Continue;
        case 2: return debuggerPresent ? AssertionAction::Break : AssertionAction::Ask;
        case 3: return AssertionAction::Ask;
        default: return AssertionAction::Continue;
    }
}

// Looks up "DebugSetMute" in whichever of the Direct3D runtime libraries is
// already loaded, taking a reference to keep it loaded.
void FindRuntimeMute(DiagnosticChannel& channel) {
    static constexpr const char* kRuntimeLibraries[2] = {"d3d9.dll", "d3d9d.dll"};
    for (int i = 0; i < 2; ++i) {
        if (GetModuleHandleA(kRuntimeLibraries[i]) == nullptr) {
            continue;
        }
        const HMODULE library = LoadLibraryA(kRuntimeLibraries[i]);
        if (library != nullptr) {
            channel.runtimeMute[i] =
                FromFarProc<DebugSetMuteProc>(GetProcAddress(library, "DebugSetMute"));
        }
    }
}

}  // namespace

void DebugMessage(int level, const char* format, ...) {
    DiagnosticChannel& channel = diagnosticChannel;
    if (channel.debugLevel == -1) {
        channel.debugLevel = static_cast<INT>(GetProfileIntA("Direct3D", "debug", 0));
    }
    if (level > channel.debugLevel || channel.debugMuted != FALSE || format == nullptr) {
        return;
    }
    char message[4096];
    va_list arguments;
    va_start(arguments, format);
    if (std::vsnprintf(message, sizeof(message), format, arguments) < 0) {
        message[0] = '\0';
    }
    va_end(arguments);
    // A message of more than 4,087 characters leaves no room for the whole
    // wrapper, and the line ends where the buffer does.
    char lineText[4096];
    if (std::snprintf(lineText, sizeof(lineText), "D3DX: %s\r\n", message) < 0) {
        return;
    }
    OutputDebugStringA(lineText);
}

BOOL SetDebugMute(BOOL mute) {
    DiagnosticChannel& channel = diagnosticChannel;
    const BOOL old = channel.debugMuted;
    channel.debugMuted = mute;
    if (channel.runtimeMute[0] == nullptr && channel.runtimeMute[1] == nullptr) {
        FindRuntimeMute(channel);
    }
    if (channel.doNotMute == -1) {
        DWORD value = 0;
        channel.doNotMute = ReadDirect3DSetting("D3DXDoNotMute", &value) && value != 0 ? 1 : 0;
    }
    if (channel.doNotMute != 1) {
        for (DebugSetMuteProc runtimeMute : channel.runtimeMute) {
            if (runtimeMute != nullptr) {
                runtimeMute(mute);
            }
        }
    }
    return old;
}

int ReportAssertion(const char* file, int line, const char* expression) {
    file = TextOrNull(file);
    expression = TextOrNull(expression);
    DebugMessage(0, "Assertion failure! (%s %d): %s", file, line, expression);

    DiagnosticChannel& channel = diagnosticChannel;
    if (!channel.assertionSetUp) {
        channel.assertionSetUp = true;
        if (const HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
            channel.isDebuggerPresent =
                FromFarProc<IsDebuggerPresentProc>(GetProcAddress(kernel, "IsDebuggerPresent"));
        }
        // Without the value the mode stays 0, so later assertions continue
        // too.
        if (!ReadDirect3DSetting("D3DX", &channel.assertMode)) {
            return 0;
        }
    }

    const bool debuggerPresent =
        channel.isDebuggerPresent != nullptr && channel.isDebuggerPresent() != FALSE;
    AssertionAction action = ChooseAssertionAction(channel.assertMode, debuggerPresent);
    if (action == AssertionAction::Ask) {
        char text[256];
        std::snprintf(text, sizeof(text),
                      "%s (%d):\n\nD3DXASSERT(%s);\n\nDo you want to invoke the debugger?  "
                      "Cancel will terminate the application",
                      file, line, expression);
        const int answer =
            MessageBoxA(nullptr, text, kAssertionCaption,
                        MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONERROR | MB_TASKMODAL);
        if (answer == IDCANCEL) {
            FatalAppExitA(0, "D3DX Assertion Failure; application terminated");
        }
        // No, or a box that could not be shown (answer 0), continues: No is
        // the default.
        action = answer == IDYES ? AssertionAction::Break : AssertionAction::Continue;
    }
    if (action == AssertionAction::Break) {
        DebugBreak();
        return 1;
    }
    return 0;
}
