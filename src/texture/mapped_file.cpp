#include "texture/mapped_file.h"

#include <cstdint>
#include <cstdio>

#include "platform/diagnostics.h"
#include "vellorn/result_codes.h"

namespace {

// Reports the calling thread's last error as "<name>: <system text>".
HRESULT ReportSystemError(const char* name) {
    const DWORD error = GetLastError();
    LPSTR text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text != nullptr) {
        DebugMessage(0, "%s: %s", name, text);
        LocalFree(text);
    } else {
        // A code without text still tells the reader which error it was.
        char code[32];
        std::snprintf(code, sizeof code, "system error %lu", static_cast<unsigned long>(error));
        DebugMessage(0, "%s: %s", name, code);
    }
    return D3DXERR_INVALIDDATA;
}

}  // namespace

FileMapping::~FileMapping() {
    UnmapFile(this);
}

HRESULT MapFileForReading(FileMapping* mapping, const char* name) {
    if (name == nullptr) {
        DebugMessage(0, "Invalid file name");
        return D3DERR_INVALIDCALL;
    }
    mapping->file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (mapping->file == INVALID_HANDLE_VALUE) {
        return ReportSystemError(name);
    }
    // The size comes before the mapping: an empty file cannot be mapped, yet
    // it is no system error but a file without data, which the caller
    // reports as such.
    DWORD sizeHigh = 0;
    const DWORD sizeLow = GetFileSize(mapping->file, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        return ReportSystemError(name);
    }
    // The size is a 32-bit count whose largest value marks a failure, so a
    // file of 4 GiB - 1 bytes or more cannot be described; it would be read
    // short.
    if (sizeHigh != 0 || sizeLow == INVALID_FILE_SIZE) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return ReportSystemError(name);
    }
    if (sizeLow == 0) {
        return S_OK;
    }
    const HANDLE created = CreateFileMappingA(mapping->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (created == nullptr || created == INVALID_HANDLE_VALUE) {
        return ReportSystemError(name);
    }
    mapping->mapping = created;
    const void* const view = MapViewOfFile(mapping->mapping, FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        return ReportSystemError(name);
    }
    mapping->view = view;
    mapping->size = sizeLow;
    return S_OK;
}

void UnmapFile(FileMapping* mapping) {
    if (mapping->view != nullptr) {
        UnmapViewOfFile(mapping->view);
    }
    if (mapping->mapping != INVALID_HANDLE_VALUE) {
        CloseHandle(mapping->mapping);
    }
    if (mapping->file != INVALID_HANDLE_VALUE) {
        CloseHandle(mapping->file);
    }
    mapping->view = nullptr;
    mapping->mapping = INVALID_HANDLE_VALUE;
    mapping->file = INVALID_HANDLE_VALUE;
    mapping->size = 0;
}
