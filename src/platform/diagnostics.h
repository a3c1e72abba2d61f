// The diagnostic channel of the library parts (sprite batcher, texture
// loading, pixel conversion): messages on the debugger output, a mute that
// callers set around device calls that may legitimately fail, and the
// handling of internal consistency checks.
#pragma once

#include "runtime/win32/module_table.h"
#include "vellorn/win32_types.h"

// The channel's process-wide values. They are written without locks: the
// library parts run on one thread. A test resets all of them with
// `diagnosticChannel = {};`.
struct DiagnosticChannel {
    // Messages above this level are dropped; -1 until read from the profile.
    INT debugLevel = -1;
    // Non-zero while the channel is muted.
    BOOL debugMuted = FALSE;
    // 1 when the Direct3D runtime's own output must not be muted; -1 until
    // read from the registry.
    INT doNotMute = -1;
    // "DebugSetMute" of "d3d9.dll" and of "d3d9d.dll", once found.
    DebugSetMuteProc runtimeMute[2] = {nullptr, nullptr};
    // Set by the first assertion, which looks up the two values below.
    bool assertionSetUp = false;
    IsDebuggerPresentProc isDebuggerPresent = nullptr;
    // How an assertion is handled, 0 to 3 (registry value "D3DX").
    DWORD assertMode = 0;
};

extern DiagnosticChannel diagnosticChannel;

// Sends the printf-style message as the line "D3DX: <message>\r\n" unless
// level is above the diagnostic level (profile value "debug" of section
// "Direct3D", default 0) or the channel is muted. The message and the line
// are each cut to 4,095 characters.
void DebugMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Mutes (non-zero) or unmutes the channel and, unless the registry value
// "D3DXDoNotMute" is set, the Direct3D runtime's own debug output. Returns
// the previous mute value.
BOOL SetDebugMute(BOOL mute);

// Reports a failed consistency check of expression at file:line. Returns 1
// when the caller is to break into the debugger (DebugBreak has been called),
// else 0. Depending on the registry value "D3DX" and on whether a debugger is
// attached, the user may be asked in a Yes/No/Cancel message box (No the
// default): Yes breaks, No continues, Cancel ends the process.
int ReportAssertion(const char* file, int line, const char* expression);
