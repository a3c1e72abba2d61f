// PNG files as pixels for the tests and benchmarks that draw: reading an
// image as A8R8G8B8 pixels, as they are or with opaque white keyed to
// transparent black as the game's atlas is loaded, and writing a presented
// frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // A8R8G8B8, row after row
    bool fileHasAlpha = false;          // the file's own layout
    bool fileHasPalette = false;
    bool fileIsGrey = false;
};

// Reads path as A8R8G8B8 pixels (alpha 0xFF where the file has none). False,
// with the reason on stderr, when the file cannot be read.
bool ReadPng(const std::string& path, Image* image);

// Reads path; every 0xFFFFFFFF texel becomes 0x00000000. False, with the
// reason on stderr, when the file cannot be read.
bool ReadKeyedPng(const std::string& path, Image* image);

// Writes the image as 8-bit RGB, dropping alpha. False when it cannot.
bool WriteRgbPng(const std::string& path, const Image& image);
