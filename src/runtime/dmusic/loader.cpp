// The loader and the segments it reads. A segment is one sound read from a
// RIFF/WAVE file; relative file names are looked up in the search directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/dmusic/objects.h"
#include "vellorn/com.h"

namespace {

// Files above this size are not sound effects; refusing them keeps a stray
// huge file from being read into memory.
constexpr off_t kMaxFileBytes = 256 * 1024 * 1024;

std::uint64_t NextSegmentSerial() {
    static std::uint64_t serial = 0;
    return ++serial;
}

// Converts zero-terminated UTF-16 to UTF-8; false on an unpaired surrogate.
bool ToUtf8(const WCHAR* text, std::string* out) {
    out->clear();
    for (std::size_t i = 0; text[i] != 0; ++i) {
        char32_t value = text[i];
        if (value >= 0xD800 && value <= 0xDBFF) {
            const char32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (value >= 0xDC00 && value <= 0xDFFF) {
            return false;
        }
        if (value < 0x80) {
            out->push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (value >> 6)));
            out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (value >> 12)));
            out->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (value >> 18)));
            out->push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return true;
}

void Report(const std::string& path, const char* problem) {
    const std::string text = "DirectMusic: " + path + ": " + problem + "\n";
    OutputDebugStringA(text.c_str());
}

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileBytes;
    if (ok) {
        bytes->resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
            if (got > 0) {
                done += static_cast<std::size_t>(got);
            } else {
                ok = got < 0 && errno == EINTR;
            }
        }
    }
    close(fd);
    return ok;
}

}  // namespace

Segment::Segment(std::shared_ptr<const WavSound> sound, std::string path, std::string name)
    : sound_(std::move(sound)),
      path_(std::move(path)),
      name_(std::move(name)),
      serial_(NextSegmentSerial()) {}

HRESULT Segment::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object,
                  {&IID_IUnknown, &IID_IDirectMusicSegment, &IID_IDirectMusicSegment8});
}

HRESULT Segment::Download(IUnknown* audioPath) {
    Performance* performance = PerformanceOf(audioPath);
    if (performance == nullptr) {
        return audioPath == nullptr ? E_POINTER : E_FAIL;
    }
    return performance->DownloadSegment(*this);
}

HRESULT Segment::Unload(IUnknown* audioPath) {
    LogDirectMusicCall(Describe() + ".Unload");
    Performance* performance = PerformanceOf(audioPath);
    if (performance == nullptr) {
        return audioPath == nullptr ? E_POINTER : E_FAIL;
    }
    return performance->UnloadSegment(*this);
}

HRESULT Loader::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object, {&IID_IUnknown, &IID_IDirectMusicLoader8});
}

HRESULT Loader::SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL /*clear*/) {
    // clear would empty the object cache; this loader keeps none.
    if (path == nullptr) {
        return E_POINTER;
    }
    std::string directory;
    struct stat info {};
    if (!ToUtf8(path, &directory) || directory.empty() || stat(directory.c_str(), &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
        return DMUS_E_LOADER_BADPATH;
    }
    for (SearchDirectory& entry : directories_) {
        if (entry.classId == classId) {
            entry.path = std::move(directory);
            return S_OK;
        }
    }
    directories_.push_back({classId, std::move(directory)});
    return S_OK;
}

HRESULT Loader::LoadObjectFromFile(REFGUID classId, REFIID interfaceId, WCHAR* filePath,
                                   void** object) {
    if (object == nullptr || filePath == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (classId != CLSID_DirectMusicSegment) {
        return REGDB_E_CLASSNOTREG;
    }
    std::string name;
    if (!ToUtf8(filePath, &name) || name.empty()) {
        return DMUS_E_LOADER_BADPATH;
    }
    // A relative name is looked up in the directory set for segments, else
    // in the one set for all types, else in the current directory.
    std::string path = name;
    if (name.front() != '/') {
        const SearchDirectory* directory = nullptr;
        for (const SearchDirectory& entry : directories_) {
            if (entry.classId == CLSID_DirectMusicSegment ||
                (directory == nullptr && entry.classId == GUID_DirectMusicAllTypes)) {
                directory = &entry;
            }
        }
        if (directory != nullptr) {
            path = directory->path + (directory->path.back() == '/' ? "" : "/") + name;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(path, &bytes)) {
        Report(path, "cannot be opened");
        return DMUS_E_LOADER_FAILEDOPEN;
    }
    auto sound = std::make_shared<WavSound>();
    if (const WavError error = ReadWav(bytes.data(), bytes.size(), sound.get());
        error != WavError::kNone) {
        Report(path, WavErrorText(error));
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    const std::size_t slash = path.find_last_of('/');
    auto* segment = new (std::nothrow)
        Segment(std::move(sound), path, slash == std::string::npos ? path : path.substr(slash + 1));
    if (segment == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = segment->QueryInterface(interfaceId, object);
    segment->Release();
    return hr;
}
