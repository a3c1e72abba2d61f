// Mapping image files for reading: the bytes of a file, an empty file
// without a view, and every failure reported with the system's text after
// the file name, with nothing left open or mapped afterwards.
#include "texture/mapped_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "texture_file_support.h"
#include "vellorn/result_codes.h"

namespace {

class MappedFileTest : public testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
    }
    void TearDown() override { SetDebugOutputCapture({}); }

    // A sparse file of size bytes.
    std::string SparseFile(const std::string& name, std::uint64_t size) const {
        const std::string path = directory_.Write(name, {});
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        return path;
    }

    TemporaryDirectory directory_;
    std::vector<std::string> messages_;
};

TEST_F(MappedFileTest, MapsTheWholeFileAndUnmapsIt) {
    std::vector<BYTE> bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<BYTE>(i * 7 % 251);
    }
    const std::string path = directory_.Write("pattern.bin", bytes);
    FileMapping mapping;
    ASSERT_EQ(MapFileForReading(&mapping, path.c_str()), S_OK);
    ASSERT_NE(mapping.view, nullptr);
    ASSERT_EQ(mapping.size, bytes.size());
    EXPECT_EQ(std::memcmp(mapping.view, bytes.data(), bytes.size()), 0);
    EXPECT_FALSE(directory_.Users().empty());
    UnmapFile(&mapping);
    EXPECT_EQ(mapping.view, nullptr);
    EXPECT_EQ(mapping.size, 0u);
    EXPECT_TRUE(directory_.Users().empty());
    UnmapFile(&mapping);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MappedFileTest, EmptyFileSucceedsWithoutView) {
    const std::string path = directory_.Write("empty.bin", {});
    FileMapping mapping;
    EXPECT_EQ(MapFileForReading(&mapping, path.c_str()), S_OK);
    EXPECT_EQ(mapping.view, nullptr);
    EXPECT_EQ(mapping.size, 0u);
    EXPECT_TRUE(messages_.empty());
}

struct FailureCase {
    const char* label;
    // The file to map below the test directory, or none for no name.
    const char* name;
    // The file's size when the test makes it (sparse), else nothing made.
    std::uint64_t sparseSize;
    HRESULT expected;
    // The system's text after "<path>: ", or the whole message without a name.
    std::string text;
};

TEST_F(MappedFileTest, FailuresReportTheSystemTextAfterTheName) {
    std::filesystem::create_directory(directory_.Path() + "/folder");
    const FailureCase cases[] = {
        {"no name", nullptr, 0, D3DERR_INVALIDCALL, "Invalid file name"},
        {"missing", "missing.bmp", 0, D3DXERR_INVALIDDATA, std::strerror(ENOENT)},
        {"directory", "folder", 0, D3DXERR_INVALIDDATA, std::strerror(EACCES)},
        {"inside a file", "pattern/inner.bmp", 0, D3DXERR_INVALIDDATA, std::strerror(ENOTDIR)},
        // A size of 2^32 - 1 is the failure marker, larger ones do not fit.
        {"4 GiB - 1", "marker.bin", 0xFFFFFFFFull, D3DXERR_INVALIDDATA, std::strerror(EFBIG)},
        {"beyond 4 GiB", "large.bin", 0x100000010ull, D3DXERR_INVALIDDATA, std::strerror(EFBIG)},
    };
    directory_.Write("pattern", {1, 2, 3});
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        messages_.clear();
        std::string path;
        if (c.name != nullptr) {
            path = c.sparseSize != 0 ? SparseFile(c.name, c.sparseSize)
                                     : directory_.Path() + "/" + c.name;
        }
        FileMapping mapping;
        EXPECT_EQ(MapFileForReading(&mapping, c.name != nullptr ? path.c_str() : nullptr),
                  c.expected);
        EXPECT_EQ(mapping.view, nullptr);
        const std::string message = c.name != nullptr ? path + ": " + c.text : c.text;
        EXPECT_EQ(messages_, std::vector<std::string>{"D3DX: " + message + "\r\n"});
        UnmapFile(&mapping);
        EXPECT_TRUE(directory_.Users().empty());
    }
}

// A file the system opens and sizes but cannot map: a kernel attribute file.
TEST_F(MappedFileTest, FileThatCannotBeMappedIsReported) {
    const char* const path = "/sys/kernel/uevent_seqnum";
    if (access(path, R_OK) != 0) {
        GTEST_SKIP() << path << " is not readable here";
    }
    FileMapping mapping;
    EXPECT_EQ(MapFileForReading(&mapping, path), D3DXERR_INVALIDDATA);
    EXPECT_EQ(mapping.view, nullptr);
    EXPECT_EQ(messages_, std::vector<std::string>{"D3DX: " + std::string(path) + ": " +
                                                  std::strerror(ENODEV) + "\r\n"});
}

}  // namespace
