// PNG files written in memory with libpng's writer, for tests and fuzz
// seeds: any colour type and bit depth, interlaced or not, with the PLTE,
// tRNS, gAMA and sRGB chunks a case asks for, and single chunks for files
// built by hand.
#pragma once

#include <png.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

struct PngLayout {
    png_uint_32 width = 1;
    png_uint_32 height = 1;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    // The rows as the file stores them: samples in file order, packed below
    // 8 bits, big-endian at 16 bits, no padding between rows.
    std::vector<std::uint8_t> rows;
    std::vector<png_color> palette;
    // tRNS: alphas of the first palette entries, or the transparent grey or
    // colour of a grey or RGB image.
    std::vector<png_byte> transparentAlpha;
    std::optional<png_color_16> transparentColor;
    std::optional<double> gamma;
    std::optional<int> srgbIntent;
};

// Bytes of one stored row of layout.
std::size_t PngRowBytes(const PngLayout& layout);

// The PNG file of layout; empty when libpng refuses it or rows has the wrong
// size. Palette indices past the PLTE entries are written as they are.
std::vector<std::uint8_t> WritePng(const PngLayout& layout);

// One chunk: length, type, data and CRC, to append to a file built by hand.
std::vector<std::uint8_t> PngChunk(std::string_view type, const std::vector<std::uint8_t>& data);

// The eight-byte signature followed by an IHDR chunk.
std::vector<std::uint8_t> PngHeader(png_uint_32 width, png_uint_32 height, int bitDepth,
                                    int colorType);
