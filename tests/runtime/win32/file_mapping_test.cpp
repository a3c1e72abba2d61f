#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "vellorn/win32_system.h"

namespace {

constexpr DWORD kApplicationBit = 0x20000000;

std::string ErrorText(DWORD code) {
    char buffer[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, buffer, sizeof buffer, nullptr);
    return length == 0 ? "<no text>" : std::string(buffer, length);
}

// Byte i of every test file, so that a view at an offset can be checked.
char PatternByte(std::uint64_t i) {
    return static_cast<char>(i * 7 % 251);
}

// Each test works in its own temporary directory, removed afterwards.
class FileMappingTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vellorn_mapping_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    // Nothing below the test directory stays open or mapped.
    void TearDown() override {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string target = std::filesystem::read_symlink(entry.path(), error);
            EXPECT_NE(target.rfind(directory_, 0), 0u) << target;
        }
        std::ifstream maps("/proc/self/maps");
        for (std::string line; std::getline(maps, line);) {
            EXPECT_EQ(line.find(directory_), std::string::npos) << line;
        }
        std::filesystem::remove_all(directory_);
    }

    std::string Path(const std::string& name) const { return directory_ + "/" + name; }
    std::string WriteFile(const std::string& name, std::size_t size) const {
        std::ofstream file(Path(name), std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            file.put(PatternByte(i));
        }
        return Path(name);
    }
    static HANDLE Open(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }

    std::string directory_;
};

struct OpenCase {
    const char* label;
    const char* target;  // below the test directory
    DWORD access;
    DWORD disposition;
    DWORD flags;
    DWORD openError;     // ERROR_SUCCESS when CreateFileA succeeds
    DWORD mappingError;  // of CreateFileMappingA, when the file opens
    int textError;       // the POSIX error whose text the failure carries
};

class OpenAndMapTest : public FileMappingTest, public testing::WithParamInterface<OpenCase> {};

// The test directory holds "data" (1000 bytes), "empty", "dir" and "loop", a
// symbolic link to itself.
TEST_P(OpenAndMapTest, OpensMapsAndReportsTheSystemText) {
    const OpenCase& c = GetParam();
    WriteFile("data", 1000);
    WriteFile("empty", 0);
    ASSERT_EQ(mkdir(Path("dir").c_str(), 0700), 0);
    ASSERT_EQ(symlink(Path("loop").c_str(), Path("loop").c_str()), 0);
    const std::string path = Path(c.target);
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path));

    SetLastError(0xDEAD);
    const HANDLE file = CreateFileA(path.c_str(), c.access, FILE_SHARE_READ, nullptr, c.disposition,
                                    c.flags, nullptr);
    if (c.openError != ERROR_SUCCESS) {
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.openError);
        EXPECT_EQ(ErrorText(GetLastError()), std::strerror(c.textError));
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path)), existed);
        return;
    }
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 0xDEAD;
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    EXPECT_EQ(GetFileSize(file, &high), size);
    EXPECT_EQ(high, 0u);
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_EQ(CloseHandle(file), TRUE);  // the mapping keeps the file open
    if (c.mappingError != ERROR_SUCCESS) {
        EXPECT_EQ(mapping, nullptr);
        EXPECT_EQ(GetLastError(), c.mappingError);
        EXPECT_EQ(ErrorText(GetLastError()), std::strerror(c.textError));
        return;
    }
    ASSERT_NE(mapping, nullptr);
    const auto* const view =
        static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    EXPECT_EQ(CloseHandle(mapping), TRUE);  // the view keeps the mapping
    ASSERT_NE(view, nullptr);
    for (std::size_t i = 0; i < size; ++i) {
        ASSERT_EQ(view[i], PatternByte(i)) << i;
    }
    EXPECT_EQ(UnmapViewOfFile(view), TRUE);
    EXPECT_EQ(UnmapViewOfFile(view), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
}

constexpr DWORD kSequential = FILE_FLAG_SEQUENTIAL_SCAN;
INSTANTIATE_TEST_SUITE_P(
    Files, OpenAndMapTest,
    testing::Values(OpenCase{"data", "data", GENERIC_READ, OPEN_EXISTING, kSequential, 0, 0, 0},
                    OpenCase{"random", "data", GENERIC_READ, OPEN_EXISTING,
                             FILE_FLAG_RANDOM_ACCESS | FILE_ATTRIBUTE_NORMAL, 0, 0, 0},
                    OpenCase{"empty", "empty", GENERIC_READ, OPEN_EXISTING, kSequential, 0,
                             ERROR_FILE_INVALID, ENODATA},
                    OpenCase{"missing", "missing", GENERIC_READ, OPEN_EXISTING, kSequential,
                             ERROR_FILE_NOT_FOUND, 0, ENOENT},
                    OpenCase{"below_file", "data/x", GENERIC_READ, OPEN_EXISTING, kSequential,
                             ERROR_PATH_NOT_FOUND, 0, ENOTDIR},
                    OpenCase{"directory", "dir", GENERIC_READ, OPEN_EXISTING, kSequential,
                             ERROR_ACCESS_DENIED, 0, EACCES},
                    OpenCase{"loop", "loop", GENERIC_READ, OPEN_EXISTING, kSequential,
                             kApplicationBit | ELOOP, 0, ELOOP},
                    OpenCase{"write", "data", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING,
                             kSequential, ERROR_ACCESS_DENIED, 0, EACCES},
                    OpenCase{"no_access", "data", 0, OPEN_EXISTING, kSequential,
                             ERROR_ACCESS_DENIED, 0, EACCES},
                    OpenCase{"create", "missing", GENERIC_READ, CREATE_ALWAYS, kSequential,
                             ERROR_INVALID_PARAMETER, 0, EINVAL},
                    OpenCase{"open_always", "missing", GENERIC_READ, OPEN_ALWAYS, kSequential,
                             ERROR_INVALID_PARAMETER, 0, EINVAL},
                    OpenCase{"unknown_flag", "data", GENERIC_READ, OPEN_EXISTING, 0x40000000,
                             ERROR_INVALID_PARAMETER, 0, EINVAL}),
    [](const testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.label); });

struct ViewCase {
    const char* label;
    DWORD protect;
    const char* name;
    std::uint64_t mappingSize;
    DWORD access;
    std::uint64_t offset;
    std::size_t bytes;
    DWORD mappingError;
    DWORD viewError;
    std::size_t viewLength;  // bytes checked from offset on success
};

class ViewTest : public FileMappingTest, public testing::WithParamInterface<ViewCase> {};

constexpr std::size_t kViewFileSize = 0x10000 + 100;

TEST_P(ViewTest, MapsTheRequestedRange) {
    const ViewCase& c = GetParam();
    const HANDLE file = Open(WriteFile("data", kViewFileSize));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const HANDLE mapping =
        CreateFileMappingA(file, nullptr, c.protect, static_cast<DWORD>(c.mappingSize >> 32),
                           static_cast<DWORD>(c.mappingSize), c.name);
    const DWORD mappingError = GetLastError();
    EXPECT_EQ(CloseHandle(file), TRUE);
    if (c.mappingError != ERROR_SUCCESS) {
        EXPECT_EQ(mapping, nullptr);
        EXPECT_EQ(mappingError, c.mappingError);
        return;
    }
    ASSERT_NE(mapping, nullptr);
    const auto* const view = static_cast<const char*>(
        MapViewOfFile(mapping, c.access, static_cast<DWORD>(c.offset >> 32),
                      static_cast<DWORD>(c.offset), c.bytes));
    const DWORD viewError = GetLastError();
    EXPECT_EQ(CloseHandle(mapping), TRUE);
    if (c.viewError != ERROR_SUCCESS) {
        EXPECT_EQ(view, nullptr);
        EXPECT_EQ(viewError, c.viewError);
        return;
    }
    ASSERT_NE(view, nullptr);
    for (std::size_t i = 0; i < c.viewLength; ++i) {
        ASSERT_EQ(view[i], PatternByte(c.offset + i)) << i;
    }
    EXPECT_EQ(UnmapViewOfFile(view), TRUE);
}

constexpr DWORD kDenied = ERROR_ACCESS_DENIED;
constexpr DWORD kInvalid = ERROR_INVALID_PARAMETER;
INSTANTIATE_TEST_SUITE_P(
    Ranges, ViewTest,
    testing::Values(
        ViewCase{"whole", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0, 0, 0, 0, kViewFileSize},
        ViewCase{"second_block", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0x10000, 0, 0, 0, 100},
        ViewCase{"part", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0x10000, 60, 0, 0, 60},
        ViewCase{"short_mapping", PAGE_READONLY, nullptr, 0x10010, FILE_MAP_READ, 0x10000, 0, 0, 0,
                 16},
        ViewCase{"beyond_mapping", PAGE_READONLY, nullptr, 0x10010, FILE_MAP_READ, 0x10000, 17, 0,
                 kDenied, 0},
        ViewCase{"beyond_file", PAGE_READONLY, nullptr, kViewFileSize + 1, FILE_MAP_READ, 0, 0,
                 kDenied, 0, 0},
        ViewCase{"past_the_end", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0x20000, 0, 0, kDenied,
                 0},
        ViewCase{"unaligned", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0x1000, 0, 0, kInvalid, 0},
        ViewCase{"huge_offset", PAGE_READONLY, nullptr, 0, FILE_MAP_READ, 0xFFFFFFFF0000ull, 0, 0,
                 kDenied, 0},
        ViewCase{"write_view", PAGE_READONLY, nullptr, 0, FILE_MAP_WRITE, 0, 0, 0, kDenied, 0},
        ViewCase{"read_write", PAGE_READWRITE, nullptr, 0, FILE_MAP_READ, 0, 0, kInvalid, 0, 0},
        ViewCase{"named", PAGE_READONLY, "name", 0, FILE_MAP_READ, 0, 0, kInvalid, 0, 0}),
    [](const testing::TestParamInfo<ViewCase>& info) { return std::string(info.param.label); });

// Handles that are not open, or not of the kind a call needs, are refused
// with ERROR_INVALID_HANDLE and never touched.
TEST_F(FileMappingTest, RefusesHandlesThatAreNotOpen) {
    const HANDLE closedFile = Open(WriteFile("data", 10));
    const HANDLE file = Open(Path("data"));
    const HANDLE closedMapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(closedMapping, nullptr);
    ASSERT_NE(mapping, nullptr);
    ASSERT_EQ(CloseHandle(closedFile), TRUE);
    ASSERT_EQ(CloseHandle(closedMapping), TRUE);
    const DWORD invalid = ERROR_INVALID_HANDLE;
    int notAHandle = 0;

    for (const HANDLE bad : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, closedFile, closedMapping,
                             static_cast<HANDLE>(&notAHandle)}) {
        SCOPED_TRACE(bad);
        DWORD high = 0xDEAD;
        SetLastError(0);
        EXPECT_EQ(GetFileSize(bad, &high), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), invalid);
        EXPECT_EQ(high, 0xDEADu);
        SetLastError(0);
        EXPECT_EQ(CreateFileMappingA(bad, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), invalid);
        SetLastError(0);
        EXPECT_EQ(MapViewOfFile(bad, FILE_MAP_READ, 0, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), invalid);
        SetLastError(0);
        EXPECT_EQ(CloseHandle(bad), FALSE);
        EXPECT_EQ(GetLastError(), invalid);
    }
    // A handle of the other kind.
    SetLastError(0);
    EXPECT_EQ(GetFileSize(mapping, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), invalid);
    EXPECT_EQ(CreateFileMappingA(mapping, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), invalid);
    EXPECT_EQ(UnmapViewOfFile(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_EQ(CloseHandle(mapping), TRUE);
    EXPECT_EQ(CloseHandle(file), TRUE);
}

// Threads opening, mapping and closing at once each see their own handles,
// and every closed handle is refused.
TEST_F(FileMappingTest, ThreadsShareTheHandleTable) {
    const std::string path = WriteFile("data", 100);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&path, &failures] {
            for (int i = 0; i < 2000; ++i) {
                const HANDLE file = Open(path);
                const HANDLE mapping =
                    CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
                const auto* const view =
                    static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
                const bool ok = view != nullptr && view[99] == PatternByte(99) &&
                                UnmapViewOfFile(view) == TRUE && CloseHandle(mapping) == TRUE &&
                                CloseHandle(file) == TRUE && CloseHandle(file) == FALSE &&
                                GetLastError() == static_cast<DWORD>(ERROR_INVALID_HANDLE);
                failures += ok ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
}

// Sizes beyond 32 bits: the low part is returned, the high part written when
// asked, and a low part of INVALID_FILE_SIZE is told from a failure by the
// last error. The whole file maps in one view.
TEST_F(FileMappingTest, SizesBeyondThirtyTwoBits) {
    struct SizeCase {
        std::uint64_t size;
        DWORD low;
        DWORD high;
    };
    for (const SizeCase c :
         {SizeCase{0xFFFFFFFFull, 0xFFFFFFFF, 0}, SizeCase{0x500000003ull, 3, 5}}) {
        SCOPED_TRACE(c.size);
        const std::string path = Path("large");
        { std::ofstream create(path, std::ios::binary); }
        // A sparse file: only the last byte is written.
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(c.size - 1)), 0);
        {
            std::ofstream append(path, std::ios::binary | std::ios::app);
            append.put('Z');
        }
        const HANDLE file = Open(path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetLastError(0xDEAD);
        EXPECT_EQ(GetFileSize(file, nullptr), c.low);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        DWORD high = 0xDEAD;
        EXPECT_EQ(GetFileSize(file, &high), c.low);
        EXPECT_EQ(high, c.high);
        const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        ASSERT_NE(mapping, nullptr);
        const auto* const view =
            static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view[0], 0);
        EXPECT_EQ(view[c.size - 1], 'Z');
        EXPECT_EQ(UnmapViewOfFile(view), TRUE);
        EXPECT_EQ(CloseHandle(mapping), TRUE);
        EXPECT_EQ(CloseHandle(file), TRUE);
        std::filesystem::remove(path);
    }
}

// Buffer handling of FormatMessageA, the texts of codes with and without a
// system counterpart, and refused flags.
TEST(FormatMessageTest, FillsOnlyBuffersThatHoldTheTextAndItsZero) {
    const std::string expected = std::strerror(ENOENT);
    const auto length = static_cast<DWORD>(expected.size());
    constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    for (const DWORD size : {DWORD{0}, DWORD{1}, length, length + 1, DWORD{256}}) {
        SCOPED_TRACE(size);
        std::string buffer(300, '#');
        SetLastError(0);
        const DWORD result =
            FormatMessageA(kFlags, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer.data(), size, nullptr);
        if (size <= length) {
            EXPECT_EQ(result, 0u);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(buffer, std::string(300, '#'));
        } else {
            EXPECT_EQ(result, length);
            EXPECT_EQ(buffer.substr(0, length + 2), expected + '\0' + '#');
        }
    }

    char* allocated = nullptr;
    EXPECT_EQ(
        FormatMessageA(kFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_NOT_ENOUGH_MEMORY, 0,
                       reinterpret_cast<LPSTR>(&allocated), 0, nullptr),
        std::strlen(std::strerror(ENOMEM)));
    ASSERT_NE(allocated, nullptr);
    EXPECT_STREQ(allocated, std::strerror(ENOMEM));
    EXPECT_EQ(LocalFree(allocated), nullptr);

    EXPECT_EQ(ErrorText(ERROR_SUCCESS), std::strerror(0));
    EXPECT_EQ(ErrorText(ERROR_INVALID_HANDLE), std::strerror(EBADF));
    EXPECT_EQ(ErrorText(kApplicationBit | EXDEV), std::strerror(EXDEV));
    for (const DWORD unknown : {DWORD{1234567}, kApplicationBit}) {
        SetLastError(0);
        EXPECT_EQ(ErrorText(unknown), "<no text>");
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    }
    char buffer[64];
    for (const DWORD flags : {DWORD{FORMAT_MESSAGE_IGNORE_INSERTS}, kFlags | 0x400}) {
        SetLastError(0);
        EXPECT_EQ(
            FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, sizeof buffer, nullptr),
            0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST(LastErrorTest, BelongsToTheThread) {
    SetLastError(ERROR_FILE_INVALID);
    DWORD seen = 0xDEAD;
    std::thread other([&seen] {
        seen = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(seen, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
}

}  // namespace
