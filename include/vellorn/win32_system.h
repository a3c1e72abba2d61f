// Win32 system services: debugger output, profile and registry reads, module
// look-up, debugger presence, process termination, tick count and sleep, the
// thread's last error and its text, and read-only file mapping.
// Implemented by the runtime in src/runtime/win32.
#pragma once

#include <cstdarg>
#include <cstddef>

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
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_FILE_TOO_LARGE = 223;
inline constexpr LONG ERROR_MR_MID_NOT_FOUND = 317;
inline constexpr LONG ERROR_INVALID_ADDRESS = 487;
inline constexpr LONG ERROR_FILE_INVALID = 1006;

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
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wideText,
                        int wideLength);

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// The calling thread's last error code.
DWORD GetLastError();
void SetLastError(DWORD errorCode);

// The text of a system error code: FORMAT_MESSAGE_FROM_SYSTEM is required,
// FORMAT_MESSAGE_IGNORE_INSERTS and FORMAT_MESSAGE_ALLOCATE_BUFFER are
// accepted, other flags fail with ERROR_INVALID_PARAMETER. The text is the C
// library's description of the POSIX error behind the code, without a line
// end; the language is ignored. Returns the length without the terminating
// zero, or 0 with the last error set: ERROR_INSUFFICIENT_BUFFER when size
// cannot hold text and zero, ERROR_MR_MID_NOT_FOUND for a code without text.
// With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer points to an LPSTR that receives
// a buffer of at least size bytes, to be freed with LocalFree.
inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments);

// Frees a buffer allocated by FormatMessageA; returns nullptr.
using HLOCAL = void*;
HLOCAL LocalFree(HLOCAL memory);

// Read-only file mapping. Only existing regular files can be opened, only for
// reading: other access rights fail with ERROR_ACCESS_DENIED, other creation
// dispositions, flags or protections with ERROR_INVALID_PARAMETER. Failures
// return INVALID_HANDLE_VALUE (CreateFileA), nullptr (CreateFileMappingA,
// MapViewOfFile), INVALID_FILE_SIZE or FALSE with the last error set. A
// handle that is not open gives ERROR_INVALID_HANDLE.
using SIZE_T = std::size_t;
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
inline const HANDLE INVALID_HANDLE_VALUE =
    reinterpret_cast<HANDLE>(~static_cast<std::uintptr_t>(0));
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD FILE_SHARE_DELETE = 4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
inline constexpr DWORD PAGE_READONLY = 2;
inline constexpr DWORD PAGE_READWRITE = 4;
inline constexpr DWORD FILE_MAP_WRITE = 2;
inline constexpr DWORD FILE_MAP_READ = 4;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// Sharing modes are accepted but not enforced; security attributes and the
// template file are ignored.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// The low 32 bits of the size; the high 32 bits go to sizeHigh when given. On
// success the last error is ERROR_SUCCESS, so that a size whose low part is
// INVALID_FILE_SIZE can be told from a failure.
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
// A mapping of the first (maximumSizeHigh, maximumSizeLow) bytes of an open
// file, or of all of it when both are 0. Unnamed and PAGE_READONLY only. An
// empty file cannot be mapped (ERROR_FILE_INVALID); a size beyond the end of
// the file would need write access to grow it (ERROR_ACCESS_DENIED). The
// mapping stays usable after the file handle is closed.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name);
// A read-only view of a mapping from the given offset, a multiple of 64 KiB
// (else ERROR_INVALID_PARAMETER), for bytesToMap bytes or, when 0, to the end of the mapping.
// FILE_MAP_READ only. A range beyond the mapping fails with ERROR_ACCESS_DENIED. The view stays
// valid after the mapping handle is closed, until UnmapViewOfFile.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytesToMap);
// Unmaps a view by the address MapViewOfFile returned; any other address
// fails with ERROR_INVALID_ADDRESS.
BOOL UnmapViewOfFile(LPCVOID baseAddress);
// Closes a file or mapping handle.
BOOL CloseHandle(HANDLE object);
