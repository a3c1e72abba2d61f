// What the device objects share: the call log with its records and fault
// injection, and the runtime's debug output with its mute.
#pragma once

#include "runtime/d3d9/device_control.h"
#include "vellorn/win32_types.h"

// Records operation in the call log when it is on; true when an injected
// fault makes this call fail, then *failure holds the code.
bool TakeInjectedFault(const char* operation, HRESULT* failure);

// Add to the draw and lock records when the call log is on.
void RecordDraw(const DrawRecord& record);
void RecordBufferLock(const BufferLockRecord& record);

// Writes "Direct3D9: (ERROR) :<message>" to the debugger output unless the
// runtime is muted.
void ReportInvalidCall(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "DebugSetMute" of "d3d9.dll": mutes or unmutes the reports above.
void DebugSetMute(BOOL mute);

// Registers "d3d9.dll" with its exports in the module table, once.
void RegisterRuntimeModule();
