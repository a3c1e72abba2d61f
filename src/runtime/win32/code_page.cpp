// Text conversion to UTF-16. The ANSI code page of this runtime is UTF-8, so
// CP_ACP and CP_UTF8 decode the same way. Ill-formed UTF-8 never fails the
// conversion: each maximal ill-formed subsequence becomes one U+FFFD, the
// replacement the Unicode standard recommends.

#include <cstddef>
#include <cstring>

#include "vellorn/win32_system.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one scalar value starting at text[at] and returns how many bytes it
// took (at least one). Bytes that do not begin a well-formed sequence yield
// the replacement character.
std::size_t DecodeOne(const unsigned char* text, std::size_t length, std::size_t at,
                      char32_t* value) {
    const unsigned char lead = text[at];
    if (lead < 0x80) {
        *value = lead;
        return 1;
    }
    std::size_t needed = 0;
    char32_t scalar = 0;
    // Bounds of the second byte: they exclude overlong forms, surrogates and
    // values above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        scalar = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        scalar = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        scalar = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        *value = kReplacement;
        return 1;
    }
    std::size_t used = 1;
    for (std::size_t i = 0; i < needed; ++i) {
        if (at + used >= length) {
            *value = kReplacement;
            return used;
        }
        const unsigned char next = text[at + used];
        const unsigned char min = i == 0 ? low : 0x80;
        const unsigned char max = i == 0 ? high : 0xBF;
        if (next < min || next > max) {
            *value = kReplacement;
            return used;
        }
        scalar = (scalar << 6) | (next & 0x3F);
        ++used;
    }
    *value = scalar;
    return used;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wideText,
                        int wideLength) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || flags != 0 || text == nullptr ||
        textLength == 0 || textLength < -1 || wideLength < 0 ||
        (wideText == nullptr && wideLength != 0)) {
        return 0;
    }
    // A length of -1 means the text ends at its zero, which is converted too.
    const std::size_t length =
        textLength == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(textLength);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);

    // First pass: the number of UTF-16 units, so that a buffer too small is
    // detected before anything is written.
    std::size_t units = 0;
    for (std::size_t at = 0; at < length;) {
        char32_t value = 0;
        at += DecodeOne(bytes, length, at, &value);
        units += value >= 0x10000 ? 2 : 1;
        if (units > 0x7FFFFFFF) {
            return 0;
        }
    }
    if (wideLength == 0) {
        return static_cast<int>(units);
    }
    if (units > static_cast<std::size_t>(wideLength)) {
        return 0;
    }
    std::size_t out = 0;
    for (std::size_t at = 0; at < length;) {
        char32_t value = 0;
        at += DecodeOne(bytes, length, at, &value);
        if (value >= 0x10000) {
            value -= 0x10000;
            wideText[out++] = static_cast<WCHAR>(0xD800 + (value >> 10));
            wideText[out++] = static_cast<WCHAR>(0xDC00 + (value & 0x3FF));
        } else {
            wideText[out++] = static_cast<WCHAR>(value);
        }
    }
    return static_cast<int>(units);
}
