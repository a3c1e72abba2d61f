// Float maps and Radiance files built in memory, for the reader tests and
// the fuzz seeds: the headers as text, the samples in either byte order and
// the Radiance scanlines flat, old run-length or new run-length encoded.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TextFileBytes = std::vector<std::uint8_t>;
// Red, green and blue mantissas and the shared exponent.
using RgbePixel = std::array<std::uint8_t, 4>;

inline TextFileBytes operator+(TextFileBytes head, const TextFileBytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

inline TextFileBytes TextOf(std::string_view text) {
    return TextFileBytes(text.begin(), text.end());
}

// Float samples in file order, each in the given byte order.
inline TextFileBytes FloatSamples(const std::vector<float>& samples, bool littleEndian) {
    TextFileBytes bytes;
    for (const float sample : samples) {
        const auto bits = std::bit_cast<std::uint32_t>(sample);
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> (littleEndian ? 8 * i : 24 - 8 * i)));
        }
    }
    return bytes;
}

// A float map of 1 ("Pf") or 3 ("PF") channels: the size and scale lines as
// given, then the samples, bottom row first, little-endian when the scale
// line starts with a minus sign.
inline TextFileBytes PfmFile(int channels, std::string_view sizeLine, std::string_view scaleLine,
                             const std::vector<float>& samples) {
    const std::string header = std::string(channels == 3 ? "PF\n" : "Pf\n") +
                               std::string(sizeLine) + "\n" + std::string(scaleLine) + "\n";
    return TextOf(header) + FloatSamples(samples, scaleLine.starts_with('-'));
}

// A Radiance file: the magic line, the header lines, the empty line that
// ends them, the resolution line and the scanline bytes.
inline TextFileBytes HdrFile(const std::vector<std::string>& headerLines,
                             std::string_view resolution, const TextFileBytes& scanlines) {
    std::string header = "#?RADIANCE\n";
    for (const std::string& line : headerLines) {
        header += line + "\n";
    }
    header += "\n" + std::string(resolution) + "\n";
    return TextOf(header) + scanlines;
}

inline TextFileBytes FlatScanline(const std::vector<RgbePixel>& pixels) {
    TextFileBytes bytes;
    for (const RgbePixel& pixel : pixels) {
        bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    }
    return bytes;
}

// Repeats of the previous pixel as 1, 1, 1, k with the count's bytes lowest
// first. No pixel may be 1, 1, 1, x.
inline TextFileBytes OldRunLengthScanline(const std::vector<RgbePixel>& pixels) {
    TextFileBytes bytes;
    for (std::size_t i = 0; i < pixels.size();) {
        bytes.insert(bytes.end(), pixels[i].begin(), pixels[i].end());
        std::size_t repeats = 0;
        while (i + 1 + repeats < pixels.size() && pixels[i + 1 + repeats] == pixels[i]) {
            ++repeats;
        }
        i += 1 + repeats;
        for (; repeats != 0; repeats >>= 8) {
            bytes.insert(bytes.end(), {1, 1, 1, static_cast<std::uint8_t>(repeats)});
        }
    }
    return bytes;
}

// The four channels one after another, three or more equal bytes as a run,
// the rest as literals.
inline TextFileBytes NewRunLengthScanline(const std::vector<RgbePixel>& pixels) {
    const std::size_t n = pixels.size();
    TextFileBytes bytes = {2, 2, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    for (std::size_t channel = 0; channel < 4; ++channel) {
        std::vector<std::uint8_t> literal;
        const auto flush = [&] {
            if (!literal.empty()) {
                bytes.push_back(static_cast<std::uint8_t>(literal.size()));
                bytes.insert(bytes.end(), literal.begin(), literal.end());
                literal.clear();
            }
        };
        for (std::size_t i = 0; i < n;) {
            std::size_t run = 1;
            while (i + run < n && run < 127 && pixels[i + run][channel] == pixels[i][channel]) {
                ++run;
            }
            if (run >= 3) {
                flush();
                bytes.insert(bytes.end(),
                             {static_cast<std::uint8_t>(128 + run), pixels[i][channel]});
                i += run;
            } else {
                literal.push_back(pixels[i][channel]);
                ++i;
                if (literal.size() == 128) {
                    flush();
                }
            }
        }
        flush();
    }
    return bytes;
}
