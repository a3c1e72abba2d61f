// Reading the short text headers of the portable pixmap, float map and
// Radiance files: line feeds within a bounded window, a header line copied
// out for scanning, and the numbers on it. Numbers are read the way the "C"
// locale reads them, whatever the calling thread's locale is, and a number
// that does not fit its type is refused instead of wrapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "vellorn/d3dx_texture.h"

// The longest stretch a header line is searched for its line feed in.
inline constexpr std::size_t kMaxHeaderLine = 256;

// The white-space class of the "C" locale: space, tab, line feed, vertical
// tab, form feed, carriage return.
bool IsHeaderSpace(BYTE c);

// The offset of the first line feed among the first min(size, 256) bytes of
// data, or nothing.
std::optional<std::size_t> FindLineFeed(const BYTE* data, std::size_t size);

// A header line copied out of the file and terminated, so it can be scanned
// without reading past its end.
class HeaderLine {
  public:
    // Copies the first min(length, 256) bytes of data.
    HeaderLine(const BYTE* data, std::size_t length);
    const char* Text() const { return text_; }

  private:
    char text_[kMaxHeaderLine + 1];
};

// Reads an unsigned decimal number after optional white space and an
// optional plus sign. Returns the position after its digits, or null when no
// digit follows, a minus sign comes first or the number passes 32 bits.
const char* ScanUnsigned(const char* text, std::uint32_t* value);

// Reads a floating-point number (decimal or hexadecimal, infinity, NaN) with
// a decimal point after optional white space and an optional sign. Returns
// the position after it, or null when there is none or it is beyond every
// floating-point type.
const char* ScanFloat(const char* text, float* value);

// True when nothing but white space is left of text.
bool OnlySpaceLeft(const char* text);
