// Reading of RIFF/WAVE files holding uncompressed PCM sound. Every size and
// offset in the file is checked against the bytes actually present, so a
// truncated or damaged file is rejected with the reason, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WavSound {
    std::uint16_t channels = 0;       // 1 or 2
    std::uint16_t bitsPerSample = 0;  // 8 (unsigned) or 16 (signed, little-endian)
    std::uint32_t sampleRate = 0;     // frames per second
    std::vector<std::uint8_t> pcm;    // whole frames, interleaved

    std::uint32_t FrameBytes() const { return channels * (bitsPerSample / 8u); }
    // Length in milliseconds, rounded up.
    std::uint32_t DurationMs() const;
};

enum class WavError {
    kNone,
    kTooShort,          // shorter than the RIFF header
    kNotRiff,           // no "RIFF" tag
    kNotWave,           // RIFF form type is not "WAVE"
    kRiffSizeInvalid,   // RIFF size below 4 or beyond the end of the file
    kChunkTruncated,    // a chunk header or body runs past the RIFF data
    kFormatMissing,     // no "fmt " chunk
    kFormatDuplicated,  // more than one "fmt " chunk
    kFormatTooShort,    // "fmt " shorter than 16 bytes
    kNotPcm,            // format code other than 1 (PCM)
    kBadChannelCount,   // not 1 or 2 channels
    kBadBitsPerSample,  // not 8 or 16 bits
    kBadSampleRate,     // outside 1000..384000 Hz
    kBadBlockAlign,     // block alignment does not match channels and bits
    kBadByteRate,       // bytes per second do not match rate and alignment
    kDataMissing,       // no "data" chunk
    kDataDuplicated,    // more than one "data" chunk
    kDataEmpty,         // no sample frames
    kDataPartialFrame,  // data size is not a whole number of frames
};

// A short English description of error, for diagnostics.
const char* WavErrorText(WavError error);

// Parses size bytes at data. On success fills sound and returns kNone; on
// failure leaves sound untouched and returns the reason.
WavError ReadWav(const std::uint8_t* data, std::size_t size, WavSound* sound);
