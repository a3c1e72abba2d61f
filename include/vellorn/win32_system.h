// Win32 system services: debugger output, profile and registry reads, module
// look-up, debugger presence, process termination, tick count and sleep.
// Implemented by the runtime in src/runtime/win32.
#pragma once

#include "vellorn/win32_types.h"

// Debugger output.
void OutputDebugStringA(LPCSTR text);
BOOL IsDebuggerPresent();
void DebugBreak();
[[noreturn]] void FatalAppExitA(UINT action, LPCSTR message);

// Profile ("win.ini") integers: the value of key in section, or defaultValue
// when it is not set.
UINT GetProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue);

// Registry: keys are opened below a predefined root, values read by name.
using REGSAM = DWORD;
using PHKEY = HKEY*;
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegCloseKey(HKEY key);

// Modules (dynamic libraries) of the process, by file name.
HMODULE GetModuleHandleA(LPCSTR moduleName);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

// The process's current directory as an ANSI string: the length without the
// terminating zero, or the size needed (with it) when buffer is too small,
// or 0 on failure.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);

// Converts text of the given code page to UTF-16. The ANSI code page
// (CP_ACP) of this runtime is UTF-8.
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength,
                        LPWSTR wideText, int wideLength);

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
