#include "png_output.h"

#include <png.h>

bool WriteRgbaPng(const std::string& path, UINT width, UINT height, const BYTE* rows, INT pitch,
                  std::string* error) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_BGRA;
    // For 8-bit samples libpng counts the row stride in bytes.
    if (png_image_write_to_file(&image, path.c_str(), 0, rows, pitch, nullptr) != 0) {
        return true;
    }
    // libpng has freed its state already when a simplified call fails.
    *error = image.message;
    return false;
}
