// The numbers of the text headers: what a decimal or floating-point number
// may look like, where reading stops, and the numbers refused.
#include "texture/text_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

TEST(TextHeaderTest, UnsignedNumbers) {
    struct Case {
        const char* text;
        bool read;
        std::uint32_t value;
        const char* rest;
    };
    const Case cases[] = {
        {" \t42x", true, 42, "x"},
        {"+7 8", true, 7, " 8"},
        {"0004294967295", true, 4294967295u, ""},
        {"4294967296", false, 0, ""},
        {"99999999999", false, 0, ""},
        {"-1", false, 0, ""},
        {"+-1", false, 0, ""},
        {"", false, 0, ""},
        {"x1", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t value = 0;
        const char* rest = ScanUnsigned(c.text, &value);
        ASSERT_EQ(rest != nullptr, c.read);
        if (c.read) {
            EXPECT_EQ(value, c.value);
            EXPECT_STREQ(rest, c.rest);
        }
    }
}

TEST(TextHeaderTest, FloatNumbers) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    struct Case {
        const char* text;
        bool read;
        float value;
        const char* rest;
    };
    const Case cases[] = {
        {"-1.5", true, -1.5f, ""},      {" +2.5e1 x", true, 25.0f, " x"},
        {".5", true, 0.5f, ""},         {"1,5", true, 1.0f, ",5"},
        {"0x1.8p1", true, 3.0f, ""},    {"-0X10", true, -16.0f, ""},
        {"-INF", true, -kInfinity, ""}, {"infinity", true, kInfinity, ""},
        {"1e99", true, kInfinity, ""},  {"-1e-60", true, -0.0f, ""},
        {"1e999", false, 0, ""},        {"--1", false, 0, ""},
        {"e5", false, 0, ""},           {"", false, 0, ""},
        {"0x", true, 0.0f, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        float value = 7.0f;
        const char* rest = ScanFloat(c.text, &value);
        ASSERT_EQ(rest != nullptr, c.read);
        if (c.read) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(std::signbit(value), std::signbit(c.value));
            EXPECT_STREQ(rest, c.rest);
        }
    }
    float nan = 0.0f;
    ASSERT_NE(ScanFloat("nan", &nan), nullptr);
    EXPECT_TRUE(std::isnan(nan));
}

TEST(TextHeaderTest, LinesAndSpace) {
    const std::string text = std::string(255, 'a') + "\n" + std::string(10, 'b') + "\n";
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    EXPECT_EQ(FindLineFeed(bytes, text.size()), std::optional<std::size_t>(255));
    EXPECT_EQ(FindLineFeed(bytes, 255), std::nullopt);
    EXPECT_EQ(FindLineFeed(bytes + 1, text.size() - 1), std::optional<std::size_t>(254));
    EXPECT_EQ(FindLineFeed(bytes + 256, 11), std::optional<std::size_t>(10));
    EXPECT_EQ(FindLineFeed(reinterpret_cast<const BYTE*>("x"), 0), std::nullopt);
    const std::string longLine(300, 'c');
    EXPECT_EQ(std::string(HeaderLine(reinterpret_cast<const BYTE*>(longLine.data()), 300).Text()),
              std::string(256, 'c'));
    EXPECT_TRUE(OnlySpaceLeft(" \t\r\n\v\f"));
    EXPECT_FALSE(OnlySpaceLeft("  .5"));
}

}  // namespace
