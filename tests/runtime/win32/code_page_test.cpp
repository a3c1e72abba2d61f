#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vellorn/win32_system.h"

namespace {

struct ConversionCase {
    const char* name;
    UINT codePage;
    std::string text;
    int textLength;  // -1: up to and including the zero
    std::u16string expected;
};

class ConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, SizeQueryAndConversionAgree) {
    const ConversionCase& c = GetParam();
    const int needed = MultiByteToWideChar(c.codePage, 0, c.text.c_str(), c.textLength, nullptr, 0);
    EXPECT_EQ(needed, static_cast<int>(c.expected.size()));

    std::vector<WCHAR> buffer(c.expected.size() + 4, u'#');
    const int written = MultiByteToWideChar(c.codePage, 0, c.text.c_str(), c.textLength,
                                            buffer.data(), static_cast<int>(buffer.size()));
    ASSERT_EQ(written, static_cast<int>(c.expected.size()));
    EXPECT_EQ(std::u16string(buffer.data(), static_cast<std::size_t>(written)), c.expected);
    EXPECT_EQ(buffer[static_cast<std::size_t>(written)], u'#') << "wrote past the result";
}

const ConversionCase kConversions[] = {
    {"AsciiWithZero", CP_ACP, "wave01.wav", -1, std::u16string(u"wave01.wav") + u'\0'},
    {"AsciiCounted", CP_UTF8, "wave01.wav", 4, u"wave"},
    {"TwoByte", CP_UTF8, "caf\xC3\xA9", 5, u"caf\u00E9"},
    {"ThreeByteAnsiIsUtf8", CP_ACP, "\xE5\x88\x9D\xE6\x9C\x9F", 6, u"\u521D\u671F"},
    {"FourByteBecomesPair", CP_UTF8, "\xF0\x9F\x98\x80", 4, u"\U0001F600"},
    {"LoneContinuation", CP_UTF8, "a\x80z", 3, u"a\uFFFDz"},
    {"OverlongTwoByte", CP_UTF8, "\xC0\xAF", 2, u"\uFFFD\uFFFD"},
    {"OverlongThreeByte", CP_UTF8, "\xE0\x80\xAF", 3, u"\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogate", CP_UTF8, "\xED\xA0\x80", 3, u"\uFFFD\uFFFD\uFFFD"},
    {"AboveLastScalar", CP_UTF8, "\xF4\x90\x80\x80", 4, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"InvalidLeadByte", CP_UTF8, "\xF5z", 2, u"\uFFFDz"},
    {"TruncatedInMiddle", CP_UTF8,
     "\xE3\x81"
     "A",
     3, u"\uFFFDA"},
    {"TruncatedAtEnd", CP_UTF8, "ab\xF0\x9F\x98", 5, u"ab\uFFFD"},
    {"CountStopsBeforeZeroAndTail", CP_ACP, std::string("ab\0cd", 5), 5,
     std::u16string(u"ab\0cd", 5)},
};

INSTANTIATE_TEST_SUITE_P(Texts, ConversionTest, testing::ValuesIn(kConversions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MultiByteToWideCharTest, BufferTooSmallFailsAndWritesNothing) {
    WCHAR buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, buffer, 4), 0);
    EXPECT_EQ(std::u16string(buffer, 4), u"####");
    // A surrogate pair needs two units; one is not enough.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, buffer, 1), 0);
}

TEST(MultiByteToWideCharTest, InvalidArgumentsFail) {
    WCHAR buffer[8];
    EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", -1, buffer, 8), 0) << "unsupported code page";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0x8, "abc", -1, buffer, 8), 0) << "unsupported flags";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, buffer, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, buffer, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -2, buffer, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, buffer, -1), 0);
}

}  // namespace
