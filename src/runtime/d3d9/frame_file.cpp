#include "runtime/d3d9/frame_file.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>

#include "runtime/d3d9/device_control.h"

namespace {

std::optional<std::string>& NamedInProcess() {
    static std::optional<std::string> path;
    return path;
}

const std::string& NamedByEnvironment() {
    static const std::string path = []() -> std::string {
        const char* text = std::getenv("VELLORN_FRAME_FILE");
        try {
            return text != nullptr ? text : "";
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "vellorn: no memory for VELLORN_FRAME_FILE; ignored\n");
            return {};
        }
    }();
    return path;
}

}  // namespace

void SetPresentedFrameFile(const std::string& path) {
    try {
        NamedInProcess() = path;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "vellorn: no memory to name the presented-frame file\n");
    }
}

const std::string& PresentedFrameFile() {
    const std::optional<std::string>& path = NamedInProcess();
    return path ? *path : NamedByEnvironment();
}

void ForgetPresentedFrameFile() {
    NamedInProcess().reset();
}

bool WriteFrameFile(const std::string& path, const std::vector<std::uint32_t>& pixels, UINT width,
                    UINT height) {
    const std::uint64_t count = std::uint64_t{width} * height;
    if (count == 0 || count != pixels.size()) {
        std::fprintf(stderr, "vellorn: %s: no frame of %u x %u pixels to write\n", path.c_str(),
                     width, height);
        return false;
    }
    std::vector<png_byte> bytes;
    try {
        bytes.resize(count * 3);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "vellorn: %s: no memory for the frame\n", path.c_str());
        return false;
    }
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        bytes[3 * i] = static_cast<png_byte>(pixels[i] >> 16);
        bytes[3 * i + 1] = static_cast<png_byte>(pixels[i] >> 8);
        bytes[3 * i + 2] = static_cast<png_byte>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "vellorn: %s: %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}
