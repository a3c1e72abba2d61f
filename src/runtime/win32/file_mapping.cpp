// Read-only file mapping over POSIX open, fstat and mmap. Handles are entries
// of one table behind a mutex, numbered from a counter that never repeats, so
// a closed handle stays invalid even after new handles are opened. Every
// operation on an entry runs under the mutex, so a handle closed by one
// thread is never used by another afterwards.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

#include "runtime/win32/system_error.h"
#include "vellorn/win32_system.h"

namespace {

enum class HandleKind { File, Mapping };

// An open file or a mapping. A mapping owns a duplicate of its file's
// descriptor, so it outlives the file handle.
struct HandleEntry {
    HandleKind kind;
    int descriptor;
    std::uint64_t mappingSize;  // mappings only
};

// Views cover whole mappings of files beyond 4 GiB, so sizes and offsets must
// fit the native types.
static_assert(sizeof(std::size_t) == 8 && sizeof(off_t) == 8);

constexpr std::uint64_t kViewGranularity = 0x10000;
constexpr DWORD kAcceptedShareModes = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kAcceptedFileFlags = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL |
                                     FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_RANDOM_ACCESS;

struct HandleTable {
    std::mutex mutex;
    std::uint64_t lastNumber = 0;
    std::map<std::uintptr_t, HandleEntry> entries;
    std::map<std::uintptr_t, std::size_t> views;  // address to length
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

// Handle values are multiples of 4, as Win32 handles are.
HANDLE AddEntry(HandleTable& table, const HandleEntry& entry) {
    const std::uintptr_t value = static_cast<std::uintptr_t>(++table.lastNumber) << 2;
    table.entries.emplace(value, entry);
    return reinterpret_cast<HANDLE>(value);
}

HandleEntry* FindEntry(HandleTable& table, HANDLE handle, HandleKind kind) {
    const auto found = table.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == table.entries.end() || found->second.kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &found->second;
}

// The size of an open file, or nothing with the last error set.
bool FileSize(int descriptor, std::uint64_t* size) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        SetLastErrorFromPosix(errno);
        return false;
    }
    *size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::uint64_t Join(DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | low;
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    if (desiredAccess != GENERIC_READ) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (fileName == nullptr || creationDisposition != OPEN_EXISTING ||
        (shareMode & ~kAcceptedShareModes) != 0 ||
        (flagsAndAttributes & ~kAcceptedFileFlags) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is
    // refused below like every file that is not a regular one.
    const int descriptor = open(fileName, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        SetLastErrorFromPosix(errno);
        return INVALID_HANDLE_VALUE;
    }
    // Directories and other files that are not regular ones cannot be read
    // as files: access is denied, as Win32 denies opening a directory.
    struct stat status {};
    const int statResult = fstat(descriptor, &status);
    if (statResult != 0 || !S_ISREG(status.st_mode)) {
        const int error = statResult != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : EACCES;
        close(descriptor);
        SetLastErrorFromPosix(error);
        return INVALID_HANDLE_VALUE;
    }
    if ((flagsAndAttributes & (FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_RANDOM_ACCESS)) != 0) {
        const int advice = (flagsAndAttributes & FILE_FLAG_RANDOM_ACCESS) != 0
                               ? POSIX_FADV_RANDOM
                               : POSIX_FADV_SEQUENTIAL;
        // Only a hint: a file system that ignores it reads the file all the same.
        posix_fadvise(descriptor, 0, 0, advice);
    }
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    return AddEntry(table, {HandleKind::File, descriptor, 0});
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HandleEntry* const entry = FindEntry(table, file, HandleKind::File);
    std::uint64_t size = 0;
    if (entry == nullptr || !FileSize(entry->descriptor, &size)) {
        return INVALID_FILE_SIZE;
    }
    if (sizeHigh != nullptr) {
        *sizeHigh = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES /*attributes*/, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HandleEntry* const entry = FindEntry(table, file, HandleKind::File);
    if (entry == nullptr) {
        return nullptr;
    }
    if (protect != PAGE_READONLY || name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::uint64_t fileSize = 0;
    if (!FileSize(entry->descriptor, &fileSize)) {
        return nullptr;
    }
    const std::uint64_t requested = Join(maximumSizeHigh, maximumSizeLow);
    if (requested > fileSize) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint64_t mappingSize = requested == 0 ? fileSize : requested;
    if (mappingSize == 0) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    const int descriptor = fcntl(entry->descriptor, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) {
        SetLastErrorFromPosix(errno);
        return nullptr;
    }
    return AddEntry(table, {HandleKind::Mapping, descriptor, mappingSize});
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytesToMap) {
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HandleEntry* const entry = FindEntry(table, mapping, HandleKind::Mapping);
    if (entry == nullptr) {
        return nullptr;
    }
    if (desiredAccess != FILE_MAP_READ) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint64_t offset = Join(offsetHigh, offsetLow);
    if (offset % kViewGranularity != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (offset >= entry->mappingSize || bytesToMap > entry->mappingSize - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    // The offset lies inside the file, so it fits in off_t.
    const std::uint64_t length = bytesToMap == 0 ? entry->mappingSize - offset : bytesToMap;
    void* const view = mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED,
                            entry->descriptor, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        SetLastErrorFromPosix(errno);
        return nullptr;
    }
    table.views.emplace(reinterpret_cast<std::uintptr_t>(view), static_cast<std::size_t>(length));
    return view;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const auto found = table.views.find(reinterpret_cast<std::uintptr_t>(baseAddress));
    if (found == table.views.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    munmap(reinterpret_cast<void*>(found->first), found->second);
    table.views.erase(found);
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    HandleTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const auto found = table.entries.find(reinterpret_cast<std::uintptr_t>(object));
    if (found == table.entries.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(found->second.descriptor);
    table.entries.erase(found);
    return TRUE;
}
