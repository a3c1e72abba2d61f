// Image files for the texture loading tests: BMP files built in memory and a
// temporary directory to write them to that checks nothing below it stays
// open or mapped.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vellorn/d3d9.h"

namespace bmp_detail {

inline void Put(std::vector<BYTE>* bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes->push_back(static_cast<BYTE>(value >> (8 * i)));
    }
}

// The headers, the palette (entries given) and room for the rows.
inline std::vector<BYTE> Headers(UINT width, UINT height, UINT bitsPerPixel, UINT paletteEntries,
                                 std::uint32_t rowBytes) {
    const std::uint32_t offset = 14 + 40 + paletteEntries * 4;
    const std::uint32_t imageBytes = rowBytes * height;
    std::vector<BYTE> bytes{'B', 'M'};
    Put(&bytes, offset + imageBytes, 4);
    Put(&bytes, 0, 4);
    Put(&bytes, offset, 4);
    Put(&bytes, 40, 4);
    Put(&bytes, width, 4);
    Put(&bytes, height, 4);
    Put(&bytes, 1, 2);
    Put(&bytes, bitsPerPixel, 2);
    Put(&bytes, 0, 4);  // uncompressed
    Put(&bytes, imageBytes, 4);
    Put(&bytes, 2835, 4);
    Put(&bytes, 2835, 4);
    Put(&bytes, paletteEntries, 4);
    Put(&bytes, 0, 4);
    return bytes;
}

inline std::uint32_t PaddedRow(std::uint32_t bytes) {
    return (bytes + 3) & ~std::uint32_t{3};
}

}  // namespace bmp_detail

// A 24-bit bottom-up BMP of pixels given top row first as 0xRRGGBB.
inline std::vector<BYTE> Bmp24(UINT width, UINT height, const std::vector<std::uint32_t>& pixels) {
    const std::uint32_t rowBytes = bmp_detail::PaddedRow(width * 3);
    std::vector<BYTE> bytes = bmp_detail::Headers(width, height, 24, 0, rowBytes);
    for (UINT row = height; row-- > 0;) {
        for (UINT x = 0; x < width; ++x) {
            bmp_detail::Put(&bytes, pixels[std::size_t{row} * width + x], 3);
        }
        bytes.resize(bytes.size() + rowBytes - width * 3, 0);
    }
    return bytes;
}

// An 8-bit bottom-up BMP of palette indices given top row first.
inline std::vector<BYTE> Bmp8(UINT width, UINT height, const std::array<PALETTEENTRY, 256>& palette,
                              const std::vector<BYTE>& indices) {
    const std::uint32_t rowBytes = bmp_detail::PaddedRow(width);
    std::vector<BYTE> bytes = bmp_detail::Headers(width, height, 8, 256, rowBytes);
    for (const PALETTEENTRY& entry : palette) {
        bytes.insert(bytes.end(), {entry.peBlue, entry.peGreen, entry.peRed, 0});
    }
    for (UINT row = height; row-- > 0;) {
        const auto first = indices.begin() + static_cast<std::ptrdiff_t>(row) * width;
        bytes.insert(bytes.end(), first, first + width);
        bytes.resize(bytes.size() + rowBytes - width, 0);
    }
    return bytes;
}

// A directory of its own for a test, removed with everything in it; on the
// way it checks that no file below it is still open or mapped.
class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/vellorn_texture_XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~TemporaryDirectory() {
        for (const std::string& user : Users()) {
            ADD_FAILURE() << "still open or mapped: " << user;
        }
        std::filesystem::remove_all(path_);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    std::string Write(const std::string& name, const std::vector<BYTE>& bytes) const {
        const std::string path = path_ + "/" + name;
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    const std::string& Path() const { return path_; }

    // The descriptors and mappings of this process that refer to a file
    // below the directory.
    std::vector<std::string> Users() const {
        std::vector<std::string> users;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
            if (target.rfind(path_ + "/", 0) == 0) {
                users.push_back(target);
            }
        }
        std::ifstream maps("/proc/self/maps");
        for (std::string line; std::getline(maps, line);) {
            if (line.find(path_ + "/") != std::string::npos) {
                users.push_back(line);
            }
        }
        return users;
    }

  private:
    std::string path_;
};
