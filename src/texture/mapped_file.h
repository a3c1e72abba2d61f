// A file mapped read-only into memory for the life of one texture load, so
// that the image readers can decode straight from the file's bytes.
#pragma once

#include "vellorn/win32_system.h"

struct FileMapping {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = INVALID_HANDLE_VALUE;
    // The file's bytes, or none for an empty file.
    const void* view = nullptr;
    UINT size = 0;

    FileMapping() = default;
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;
    // Unmaps and closes whatever is still open.
    ~FileMapping();
};

// Opens the file name for shared reading and maps all of it. An empty file
// succeeds without a view. Without a name the result is D3DERR_INVALIDCALL;
// a file that cannot be opened, sized or mapped, or that holds 4 GiB or more,
// is reported as "<name>: <system text>" and gives D3DXERR_INVALIDDATA. What
// was opened before a failure stays in mapping for UnmapFile.
HRESULT MapFileForReading(FileMapping* mapping, const char* name);

// Unmaps the view and closes the handles that are open, leaving mapping as a
// new one. Safe to call again.
void UnmapFile(FileMapping* mapping);
