#include "texture/text_header.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

namespace {

const char* SkipSpace(const char* text) {
    while (IsHeaderSpace(static_cast<BYTE>(*text))) {
        ++text;
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A number too large or too small for a float is read as a double: too large
// it becomes infinity, too small the tiny value or zero a float holds for it.
// Magnitudes only: the sign has been taken off.
template <typename Number>
const char* ParseMagnitude(const char* first, const char* last, std::chars_format format,
                           Number* value) {
    const std::from_chars_result result = std::from_chars(first, last, *value, format);
    if (result.ec == std::errc::invalid_argument) {
        return nullptr;
    }
    if (result.ec == std::errc::result_out_of_range) {
        if constexpr (std::is_same_v<Number, float>) {
            double wide = 0.0;
            const char* end = ParseMagnitude(first, last, format, &wide);
            *value = wide > std::numeric_limits<float>::max()
                         ? std::numeric_limits<float>::infinity()
                         : static_cast<float>(wide);
            return end;
        } else {
            return nullptr;
        }
    }
    return result.ptr;
}

}  // namespace

bool IsHeaderSpace(BYTE c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::optional<std::size_t> FindLineFeed(const BYTE* data, std::size_t size) {
    const void* found = std::memchr(data, '\n', std::min(size, kMaxHeaderLine));
    if (found == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(static_cast<const BYTE*>(found) - data);
}

HeaderLine::HeaderLine(const BYTE* data, std::size_t length) {
    length = std::min(length, kMaxHeaderLine);
    std::memcpy(text_, data, length);
    text_[length] = '\0';
}

const char* ScanUnsigned(const char* text, std::uint32_t* value) {
    text = SkipSpace(text);
    if (*text == '+') {
        ++text;
    }
    if (!IsDigit(*text)) {
        return nullptr;
    }
    std::uint64_t number = 0;
    for (; IsDigit(*text); ++text) {
        number = number * 10 + static_cast<std::uint64_t>(*text - '0');
        if (number > std::numeric_limits<std::uint32_t>::max()) {
            return nullptr;
        }
    }
    *value = static_cast<std::uint32_t>(number);
    return text;
}

const char* ScanFloat(const char* text, float* value) {
    text = SkipSpace(text);
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    // from_chars takes neither a second sign nor the hexadecimal prefix.
    if (*text == '-' || *text == '+') {
        return nullptr;
    }
    const char* last = text + std::strlen(text);
    const char* end = nullptr;
    float magnitude = 0.0f;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        (IsHexDigit(text[2]) || (text[2] == '.' && IsHexDigit(text[3])))) {
        end = ParseMagnitude(text + 2, last, std::chars_format::hex, &magnitude);
    } else {
        end = ParseMagnitude(text, last, std::chars_format::general, &magnitude);
    }
    if (end == nullptr) {
        return nullptr;
    }
    *value = negative ? -magnitude : magnitude;
    return end;
}

bool OnlySpaceLeft(const char* text) {
    return *SkipSpace(text) == '\0';
}
