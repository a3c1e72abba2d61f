// Image files for the texture loading tests: BMP and PNG files through the
// shared writers, and a temporary directory to write them to that checks
// nothing below it stays open or mapped.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "texture/bmp_writer.h"
#include "texture/png_writer.h"
#include "vellorn/d3d9.h"

// A 24-bit bottom-up BMP of pixels given top row first as 0xRRGGBB.
inline std::vector<BYTE> Bmp24(UINT width, UINT height, const std::vector<std::uint32_t>& pixels) {
    BmpDescription bmp;
    bmp.width = static_cast<std::int32_t>(width);
    bmp.height = static_cast<std::int32_t>(height);
    for (UINT y = 0; y < height; ++y) {
        std::vector<std::uint8_t>& row = bmp.rows.emplace_back();
        for (UINT x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[std::size_t{y} * width + x];
            row.insert(row.end(), {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                                   static_cast<std::uint8_t>(p >> 16)});
        }
    }
    return BuildBmpFile(bmp);
}

// An 8-bit bottom-up BMP of palette indices given top row first.
inline std::vector<BYTE> Bmp8(UINT width, UINT height, const std::array<PALETTEENTRY, 256>& palette,
                              const std::vector<BYTE>& indices) {
    BmpDescription bmp;
    bmp.width = static_cast<std::int32_t>(width);
    bmp.height = static_cast<std::int32_t>(height);
    bmp.bitsPerPixel = 8;
    for (const PALETTEENTRY& entry : palette) {
        bmp.palette.push_back(std::uint32_t{entry.peRed} << 16 | entry.peGreen << 8 | entry.peBlue);
    }
    for (UINT y = 0; y < height; ++y) {
        const auto first = indices.begin() + static_cast<std::ptrdiff_t>(y) * width;
        bmp.rows.emplace_back(first, first + width);
    }
    return BuildBmpFile(bmp);
}

// An 8-bit RGB PNG of pixels given top row first as 0xRRGGBB, or nothing
// when libpng refuses it.
inline std::vector<BYTE> Png24(UINT width, UINT height, const std::vector<std::uint32_t>& pixels) {
    PngLayout png;
    png.width = width;
    png.height = height;
    for (const std::uint32_t p : pixels) {
        png.rows.insert(png.rows.end(),
                        {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                         static_cast<std::uint8_t>(p)});
    }
    return WritePng(png);
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
