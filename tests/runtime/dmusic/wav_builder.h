// Builds RIFF/WAVE PCM files in memory for tests, and the byte offsets of
// the fields a test may damage.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace wav_test {

// Offsets in a file made by Build.
inline constexpr std::size_t kRiffSize = 4;
inline constexpr std::size_t kFmtTag = 12;
inline constexpr std::size_t kFmtSize = 16;
inline constexpr std::size_t kFormatCode = 20;
inline constexpr std::size_t kChannels = 22;
inline constexpr std::size_t kSampleRate = 24;
inline constexpr std::size_t kByteRate = 28;
inline constexpr std::size_t kBlockAlign = 32;
inline constexpr std::size_t kBits = 34;
inline constexpr std::size_t kDataTag = 36;
inline constexpr std::size_t kDataSize = 40;
inline constexpr std::size_t kData = 44;

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A PCM file of frames frames: a quiet 440 Hz tone.
inline std::vector<std::uint8_t> Build(std::uint16_t channels = 1, std::uint16_t bits = 16,
                                       std::uint32_t rate = 8000, std::uint32_t frames = 800) {
    const std::uint32_t block = channels * bits / 8u;
    const std::uint32_t dataBytes = frames * block;
    std::vector<std::uint8_t> b(kData + dataBytes, 0);
    b[0] = 'R', b[1] = 'I', b[2] = 'F', b[3] = 'F';
    Put32(b, kRiffSize, 36 + dataBytes);
    b[8] = 'W', b[9] = 'A', b[10] = 'V', b[11] = 'E';
    b[12] = 'f', b[13] = 'm', b[14] = 't', b[15] = ' ';
    Put32(b, kFmtSize, 16);
    Put16(b, kFormatCode, 1);
    Put16(b, kChannels, channels);
    Put32(b, kSampleRate, rate);
    Put32(b, kByteRate, rate * block);
    Put16(b, kBlockAlign, block);
    Put16(b, kBits, bits);
    b[36] = 'd', b[37] = 'a', b[38] = 't', b[39] = 'a';
    Put32(b, kDataSize, dataBytes);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const double s = 0.25 * std::sin(2 * 3.14159265358979 * 440.0 * f / rate);
        for (std::uint16_t c = 0; c < channels; ++c) {
            const std::size_t at = kData + f * block + c * bits / 8u;
            if (bits == 8) {
                b[at] = static_cast<std::uint8_t>(128 + std::lround(s * 127));
            } else {
                Put16(b, at, static_cast<std::uint16_t>(std::lround(s * 32767)));
            }
        }
    }
    return b;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace wav_test
