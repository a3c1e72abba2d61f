#include "support/png_image.h"

#include <png.h>

#include <cstdint>
#include <cstdio>

bool ReadPng(const std::string& path, Image* image) {
    png_image file{};
    file.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&file, path.c_str()) == 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), file.message);
        return false;
    }
    // 64-bit product against a cap far above any image the tests read.
    constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;
    if (static_cast<std::uint64_t>(file.width) * file.height > kMaxPixels) {
        std::fprintf(stderr, "%s: %u x %u is too large\n", path.c_str(), file.width, file.height);
        png_image_free(&file);
        return false;
    }
    image->fileHasAlpha = (file.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image->fileHasPalette = (file.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
    image->fileIsGrey = (file.format & PNG_FORMAT_FLAG_COLOR) == 0;
    // Little-endian B, G, R, A bytes are A8R8G8B8 words.
    file.format = PNG_FORMAT_BGRA;
    image->width = static_cast<int>(file.width);
    image->height = static_cast<int>(file.height);
    image->pixels.assign(static_cast<std::size_t>(file.width) * file.height, 0);
    if (png_image_finish_read(&file, nullptr, image->pixels.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), file.message);
        return false;
    }
    return true;
}

bool ReadKeyedPng(const std::string& path, Image* image) {
    if (!ReadPng(path, image)) {
        return false;
    }
    for (std::uint32_t& pixel : image->pixels) {
        if (pixel == 0xFFFFFFFFu) {
            pixel = 0;
        }
    }
    return true;
}

bool WriteRgbPng(const std::string& path, const Image& image) {
    std::vector<png_byte> bytes;
    bytes.reserve(image.pixels.size() * 3);
    for (std::uint32_t pixel : image.pixels) {
        bytes.push_back(static_cast<png_byte>(pixel >> 16));
        bytes.push_back(static_cast<png_byte>(pixel >> 8));
        bytes.push_back(static_cast<png_byte>(pixel));
    }
    png_image file{};
    file.version = PNG_IMAGE_VERSION;
    file.width = static_cast<png_uint_32>(image.width);
    file.height = static_cast<png_uint_32>(image.height);
    file.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&file, path.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), file.message);
        return false;
    }
    return true;
}
