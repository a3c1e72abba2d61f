// Builds DDS files in memory for the reader and loader tests and the fuzz
// seeds: any header and pixel-format fields, cube face bits, an optional
// palette and the pixel bytes as given.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct DdsDescription {
    // Caps, height, width and pixel format; 0x800000 marks a volume.
    std::uint32_t headerFlags = 0x1007;
    std::uint32_t width = 4;
    std::uint32_t height = 4;
    std::uint32_t depth = 0;
    std::uint32_t mipCount = 0;
    std::uint32_t pixelFormatSize = 32;
    std::uint32_t pixelFlags = 0x4;
    std::uint32_t fourCC = 0;
    std::uint32_t bitCount = 0;
    // Red, green, blue, alpha.
    std::array<std::uint32_t, 4> masks = {};
    std::uint32_t caps2 = 0;
    // Written after the 128-byte header as they are (1,024 bytes for a
    // palette format).
    std::vector<std::uint8_t> palette;
    std::vector<std::uint8_t> pixels;
};

inline constexpr std::uint32_t kDdsHeaderBytes = 128;
inline constexpr std::uint32_t kDdsVolumeFlag = 0x800000;
inline constexpr std::uint32_t kDdsAllCubeFaces = 0xFC00;

std::vector<std::uint8_t> BuildDds(const DdsDescription& description);

// A description of a FOURCC file ("DXT1", "YUY2", ... or a format number).
DdsDescription FourCCDds(std::uint32_t fourCC, std::uint32_t width, std::uint32_t height,
                         std::uint32_t mipCount);

// count bytes in a deterministic pattern that differs with seed.
std::vector<std::uint8_t> PatternBytes(std::size_t count, std::uint32_t seed = 0);
