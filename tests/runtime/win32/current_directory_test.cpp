#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "vellorn/win32_system.h"

namespace {

// Runs each test in a fresh temporary directory and restores the current
// directory afterwards.
class CurrentDirectoryTest : public testing::Test {
  protected:
    void SetUp() override {
        char saved[PATH_MAX];
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        saved_ = saved;
        char pattern[] = "/tmp/vellorn_cwd_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        ASSERT_EQ(chdir(directory_.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(saved_.c_str()), 0);
        rmdir(directory_.c_str());
    }

    std::string saved_;
    std::string directory_;
};

TEST_F(CurrentDirectoryTest, FitsWhenTheBufferHoldsTheZero) {
    const auto length = static_cast<DWORD>(directory_.size());
    std::vector<char> buffer(directory_.size() + 8, '#');
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer.data()), length);
    EXPECT_EQ(std::string(buffer.data()), directory_);
}

TEST_F(CurrentDirectoryTest, TooSmallReturnsTheSizeNeededAndWritesNothing) {
    const auto length = static_cast<DWORD>(directory_.size());
    std::vector<char> buffer(directory_.size() + 8, '#');
    EXPECT_EQ(GetCurrentDirectoryA(length, buffer.data()), length + 1);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(GetCurrentDirectoryA(1, buffer.data()), length + 1);
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1) << "size query";
}

TEST_F(CurrentDirectoryTest, NullBufferWithALengthFails) {
    EXPECT_EQ(GetCurrentDirectoryA(260, nullptr), 0u);
}

TEST_F(CurrentDirectoryTest, FollowsChangesOfDirectory) {
    ASSERT_EQ(mkdir((directory_ + "/inner").c_str(), 0700), 0);
    ASSERT_EQ(chdir("inner"), 0);
    char buffer[PATH_MAX];
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, length), directory_ + "/inner");
    ASSERT_EQ(chdir(".."), 0);
    rmdir((directory_ + "/inner").c_str());
}

TEST_F(CurrentDirectoryTest, RemovedDirectoryFails) {
    ASSERT_EQ(rmdir(directory_.c_str()), 0);
    char buffer[PATH_MAX];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
}

}  // namespace
