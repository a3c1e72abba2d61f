// The thread's last error and the text of error codes. Every code the runtime
// reports stands for a POSIX error number, and its text is the C library's
// description of that error.

#include "runtime/win32/system_error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "vellorn/win32_system.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrorPair {
    DWORD code;
    int posixError;
};

// The Win32 codes the runtime reports and the POSIX error each stands for.
// A code that several POSIX errors share is listed once, with the error whose
// text describes it; the other errors follow in kAlsoMapped.
constexpr ErrorPair kErrorPairs[] = {
    {ERROR_SUCCESS, 0},
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOTDIR},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_INSUFFICIENT_BUFFER, ENOBUFS},
    {ERROR_MR_MID_NOT_FOUND, ENOMSG},
    {ERROR_INVALID_ADDRESS, EFAULT},
    {ERROR_FILE_INVALID, ENODATA},
    {ERROR_FILE_TOO_LARGE, EFBIG},
};

// POSIX errors reported under a code listed above for another error: denied
// operations and directories where a file is expected are access failures,
// as Win32 reports them.
constexpr ErrorPair kAlsoMapped[] = {
    {ERROR_ACCESS_DENIED, EPERM},
    {ERROR_ACCESS_DENIED, EISDIR},
    {ERROR_ACCESS_DENIED, EROFS},
    {ERROR_TOO_MANY_OPEN_FILES, ENFILE},
};

// The POSIX error a code stands for, if any.
std::optional<int> PosixErrorOf(DWORD code) {
    for (const ErrorPair& pair : kErrorPairs) {
        if (pair.code == code) {
            return pair.posixError;
        }
    }
    if ((code & kPosixErrorCodeBit) != 0 && (code & ~kPosixErrorCodeBit) != 0) {
        return static_cast<int>(code & ~kPosixErrorCodeBit);
    }
    return std::nullopt;
}

constexpr DWORD kAcceptedFormatFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;

}  // namespace

DWORD Win32ErrorFromPosix(int error) {
    for (const ErrorPair& pair : kErrorPairs) {
        if (pair.posixError == error) {
            return pair.code;
        }
    }
    for (const ErrorPair& pair : kAlsoMapped) {
        if (pair.posixError == error) {
            return pair.code;
        }
    }
    return kPosixErrorCodeBit | (static_cast<DWORD>(error) & ~kPosixErrorCodeBit);
}

void SetLastErrorFromPosix(int error) {
    lastError = Win32ErrorFromPosix(error);
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD errorCode) {
    lastError = errorCode;
}

DWORD FormatMessageA(DWORD flags, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPSTR buffer, DWORD size, va_list* /*arguments*/) {
    if ((flags & ~kAcceptedFormatFlags) != 0 || (flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
        buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::optional<int> posixError = PosixErrorOf(messageId);
    if (!posixError) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    // The GNU strerror_r returns the text, in scratch or in static storage;
    // unlike strerror it is safe to call from several threads.
    char scratch[256];
    const char* const text = strerror_r(*posixError, scratch, sizeof(scratch));
    const std::size_t length = std::strlen(text);
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        const std::size_t bytes = length + 1 > size ? length + 1 : size;
        char* const allocated = static_cast<char*>(std::malloc(bytes));
        if (allocated == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(allocated, text, length + 1);
        *reinterpret_cast<LPSTR*>(buffer) = allocated;
        return static_cast<DWORD>(length);
    }
    if (length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text, length + 1);
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}
