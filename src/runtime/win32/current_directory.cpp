// The process's current directory, with the Win32 return convention.

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "vellorn/win32_system.h"

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    if (buffer == nullptr && bufferLength != 0) {
        return 0;
    }
    // getcwd with no buffer allocates one of the right size, so directories
    // of any depth are read in full.
    char* const directory = getcwd(nullptr, 0);
    if (directory == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(directory);
    DWORD result = 0;
    if (length >= 0xFFFFFFFFu) {
        result = 0;
    } else if (buffer != nullptr && length < bufferLength) {
        std::memcpy(buffer, directory, length + 1);
        result = static_cast<DWORD>(length);
    } else {
        // Too small: nothing is written and the size needed, terminating
        // zero included, is returned.
        result = static_cast<DWORD>(length + 1);
    }
    std::free(directory);
    return result;
}
