#include "runtime/win32/debug_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vellorn/win32_system.h"

namespace {

class DebugOutputTest : public testing::Test {
  protected:
    void TearDown() override { SetDebugOutputCapture({}); }
};

TEST_F(DebugOutputTest, CaptureReceivesEachTextAndStderrStaysClean) {
    std::vector<std::string> texts;
    SetDebugOutputCapture([&](const char* text) { texts.emplace_back(text); });
    testing::internal::CaptureStderr();
    OutputDebugStringA("D3DX: first\r\n");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("second");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(texts, (std::vector<std::string>{"D3DX: first\r\n", "second"}));
    EXPECT_EQ(written, "");
}

TEST_F(DebugOutputTest, WithoutCaptureTextGoesToStderrAsIs) {
    SetDebugOutputCapture([](const char*) {});
    SetDebugOutputCapture({});
    testing::internal::CaptureStderr();
    OutputDebugStringA("no newline");
    OutputDebugStringA("|\r\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "no newline|\r\n");
}

}  // namespace
