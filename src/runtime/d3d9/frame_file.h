// The presented-frame file: a device leaves the last frame it presented
// behind as a PNG when it goes, so that a program run for a test or a
// picture shows what it drew without a test inside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vellorn/win32_types.h"

// The file named by SetPresentedFrameFile, else by the environment variable
// VELLORN_FRAME_FILE; empty when there is none.
const std::string& PresentedFrameFile();

// Forgets the file named in-process: the environment's holds again.
void ForgetPresentedFrameFile();

// Writes A8R8G8B8 pixels, row after row, to path as an 8-bit RGB PNG (the
// alpha, which a window does not show, is dropped). False, with the reason on
// stderr, when it cannot.
bool WriteFrameFile(const std::string& path, const std::vector<std::uint32_t>& pixels, UINT width,
                    UINT height);
