#include "texture/bmp_writer.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value);
    Put16(out, at + 2, value >> 16);
}

}  // namespace

std::uint32_t DibPixelOffset(const BmpDescription& description) {
    const std::uint32_t entryBytes = description.headerSize == 12 ? 3 : 4;
    return description.headerSize +
           static_cast<std::uint32_t>(description.palette.size()) * entryBytes;
}

std::vector<std::uint8_t> BuildDib(const BmpDescription& description) {
    std::vector<std::uint8_t> out(description.headerSize, 0);
    Put32(out, 0, description.headerSize);
    if (description.headerSize == 12) {
        Put16(out, 4, static_cast<std::uint32_t>(description.width));
        Put16(out, 6, static_cast<std::uint32_t>(description.height));
        Put16(out, 8, description.planes);
        Put16(out, 10, description.bitsPerPixel);
    } else {
        Put32(out, 4, static_cast<std::uint32_t>(description.width));
        Put32(out, 8, static_cast<std::uint32_t>(description.height));
        Put16(out, 12, description.planes);
        Put16(out, 14, description.bitsPerPixel);
        Put32(out, 16, description.compression);
        Put32(out, 32, description.coloursUsed);
        for (std::size_t channel = 0; channel < 4; ++channel) {
            if (40 + 4 * channel + 4 <= description.headerSize) {
                Put32(out, 40 + 4 * channel, description.masks[channel]);
            }
        }
    }
    for (const std::uint32_t colour : description.palette) {
        out.push_back(static_cast<std::uint8_t>(colour));
        out.push_back(static_cast<std::uint8_t>(colour >> 8));
        out.push_back(static_cast<std::uint8_t>(colour >> 16));
        if (description.headerSize != 12) {
            out.push_back(0);
        }
    }
    const bool bottomUp = description.height > 0;
    for (std::size_t i = 0; i < description.rows.size(); ++i) {
        const auto& row = description.rows[bottomUp ? description.rows.size() - 1 - i : i];
        out.insert(out.end(), row.begin(), row.end());
        out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
    }
    out.insert(out.end(), description.pixelBytes.begin(), description.pixelBytes.end());
    return out;
}

std::vector<std::uint8_t> BuildBmpFile(const BmpDescription& description) {
    const std::vector<std::uint8_t> dib = BuildDib(description);
    std::vector<std::uint8_t> out(14, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<std::uint32_t>(out.size() + dib.size()));
    Put32(out, 10, 14 + DibPixelOffset(description));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}
