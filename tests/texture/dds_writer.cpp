#include "texture/dds_writer.h"

namespace {

void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::vector<std::uint8_t> BuildDds(const DdsDescription& d) {
    std::vector<std::uint8_t> bytes(kDdsHeaderBytes, 0);
    Put32(bytes, 0, 0x20534444);
    Put32(bytes, 4, 124);
    Put32(bytes, 8, d.headerFlags);
    Put32(bytes, 12, d.height);
    Put32(bytes, 16, d.width);
    Put32(bytes, 24, d.depth);
    Put32(bytes, 28, d.mipCount);
    Put32(bytes, 76, d.pixelFormatSize);
    Put32(bytes, 80, d.pixelFlags);
    Put32(bytes, 84, d.fourCC);
    Put32(bytes, 88, d.bitCount);
    for (std::size_t mask = 0; mask < d.masks.size(); ++mask) {
        Put32(bytes, 92 + 4 * mask, d.masks[mask]);
    }
    Put32(bytes, 108, 0x1000);
    Put32(bytes, 112, d.caps2);
    bytes.insert(bytes.end(), d.palette.begin(), d.palette.end());
    bytes.insert(bytes.end(), d.pixels.begin(), d.pixels.end());
    return bytes;
}

DdsDescription FourCCDds(std::uint32_t fourCC, std::uint32_t width, std::uint32_t height,
                         std::uint32_t mipCount) {
    DdsDescription d;
    d.fourCC = fourCC;
    d.width = width;
    d.height = height;
    d.mipCount = mipCount;
    return d;
}

std::vector<std::uint8_t> PatternBytes(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 8) * 7 + seed * 29 + 1);
    }
    return bytes;
}
