// Builds BMP files and device-independent bitmaps in memory for the reader
// tests and the fuzz seeds: any header size, signed geometry, depth,
// compression, colour masks and palette, with rows or a run-length stream.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct BmpDescription {
    // 12 writes the short header with 16-bit width and height; 40 and more
    // the info header (masks from 52 bytes, the alpha mask from 56).
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    // Negative: rows stored top to bottom.
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    // Written as given; the reader takes 0 as 2^bits for 8 bits and fewer.
    std::uint32_t coloursUsed = 0;
    // Red, green, blue, alpha.
    std::array<std::uint32_t, 4> masks = {};
    // 0xRRGGBB colours, written blue first in 3-byte entries after the short
    // header and 4-byte entries after the others.
    std::vector<std::uint32_t> palette;
    // Rows in display order (top row first), each without its padding: the
    // writer stores them in the order the height's sign says and pads each
    // to a multiple of 4 bytes.
    std::vector<std::vector<std::uint8_t>> rows;
    // Bytes written after the palette instead of rows, as they are (a
    // run-length stream, or pixels laid out by hand).
    std::vector<std::uint8_t> pixelBytes;
};

// The info header, the palette and the pixels.
std::vector<std::uint8_t> BuildDib(const BmpDescription& description);
// The 14-byte file header (its size and pixel-offset fields filled in) and
// the bitmap.
std::vector<std::uint8_t> BuildBmpFile(const BmpDescription& description);
// Where the pixels start in the bitmap: the header and the palette.
std::uint32_t DibPixelOffset(const BmpDescription& description);
