// The module table: the runtime's stand-in for the dynamic libraries loaded in
// the process. A runtime component registers a module name with its named
// exports; GetModuleHandleA, LoadLibraryA and GetProcAddress then find them.
// Only registered modules count as loaded, and LoadLibraryA loads nothing
// else. "kernel32.dll" is always present and exports "IsDebuggerPresent".
// GetModuleHandleA(nullptr) answers the program's own module, whose handle is
// the instance handle the program runs as: the same for the whole process,
// distinct from every library's, and exporting nothing.
#pragma once

#include <initializer_list>

#include "vellorn/win32_types.h"

struct ModuleExport {
    const char* name;
    FARPROC address;
};

// Signatures of the exports that callers look up by name.
using IsDebuggerPresentProc = BOOL (*)();
using DebugSetMuteProc = void (*)(BOOL mute);

// Converts a function to and from the untyped export address. The detour
// through void (*)() is the conversion the compiler accepts between unrelated
// function types; the address must be converted back to its real type before
// it is called.
template <class Function>
FARPROC ToFarProc(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
template <class Procedure>
Procedure FromFarProc(FARPROC address) {
    return reinterpret_cast<Procedure>(reinterpret_cast<void (*)()>(address));
}

// Registers module name (compared case-insensitively; ".dll" is implied when
// the name has no extension) with exports, as loaded once. Registering a name
// that is already present replaces its exports and keeps its handle and
// reference count, which is how a test overrides the exports of
// "kernel32.dll".
void RegisterModule(const char* name, std::initializer_list<ModuleExport> exports);

// Removes module name; its handle becomes invalid. "kernel32.dll" is never
// removed: it gets its own exports back.
void UnregisterModule(const char* name);

// Returns the table to its start: "kernel32.dll" with its own exports only.
void ResetModuleTable();

// References held on module name (1 from registration, plus one per
// LoadLibraryA), or 0 when it is not loaded.
int ModuleReferenceCount(const char* name);
