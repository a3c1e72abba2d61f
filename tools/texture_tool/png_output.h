// Writes A8R8G8B8 pixels (blue, green, red, alpha in memory) as an 8-bit RGBA
// PNG file through libpng.
#pragma once

#include <string>

#include "vellorn/win32_types.h"

// rows points at row 0; pitch is the distance between rows in bytes. Returns
// false with libpng's reason in error when the file cannot be written.
bool WriteRgbaPng(const std::string& path, UINT width, UINT height, const BYTE* rows, INT pitch,
                  std::string* error);
