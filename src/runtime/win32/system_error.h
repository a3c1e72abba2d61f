// Translation of POSIX errors into the runtime's Win32 error codes.
#pragma once

#include "vellorn/win32_types.h"

// Error codes with the application bit (bit 29) set carry a POSIX error
// number that has no Win32 counterpart in the low bits; system codes never
// have this bit.
inline constexpr DWORD kPosixErrorCodeBit = 0x20000000;

// The Win32 code for POSIX error number: a system code for the common
// errors, kPosixErrorCodeBit | error for the others.
DWORD Win32ErrorFromPosix(int error);

// Sets the calling thread's last error from POSIX error number.
void SetLastErrorFromPosix(int error);
