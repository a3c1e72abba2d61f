// JPEG files written in memory with libjpeg's compressor, for tests, fuzz
// seeds and benchmarks: grey, colour or CMYK samples, any quality and luma
// sampling, baseline or progressive.
#pragma once

#include <cstdint>
#include <vector>

struct JpegLayout {
    unsigned width = 1;
    unsigned height = 1;
    // 1 (grey), 3 (red, green, blue; stored as YCbCr) or 4 (CMYK).
    int components = 3;
    int quality = 90;
    // Sampling factors of the first component; the others are 1 x 1.
    int horizontalSampling = 2;
    int verticalSampling = 2;
    bool progressive = false;
    // width x height x components samples, top row first.
    std::vector<std::uint8_t> samples;
};

// The JPEG file of layout; empty when libjpeg refuses it or samples has the
// wrong size.
std::vector<std::uint8_t> WriteJpeg(const JpegLayout& layout);
