// Scalar types and small records of the Windows platform interfaces, with the
// widths the interfaces fix. The code of the game and the library is written
// against these names; the runtime under src/runtime implements them.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using CHAR = char;
using FLOAT = float;
using HRESULT = std::int32_t;

using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Opaque handles: each is a pointer to a distinct incomplete type, so handles
// of different kinds cannot be mixed up by accident.
struct HINSTANCE__;
struct HWND__;
struct HKEY__;
using HANDLE = void*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HWND = HWND__*;
using HKEY = HKEY__*;

// The address of an exported entry point, to be cast to its real type.
using FARPROC = std::intptr_t (*)();

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

// A palette entry; for texture palettes the flags byte holds alpha.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
