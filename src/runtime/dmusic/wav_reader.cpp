#include "runtime/dmusic/wav_reader.h"

#include <cstring>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint32_t kMinSampleRate = 1000;
constexpr std::uint32_t kMaxSampleRate = 384000;

std::uint16_t Read16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t Read32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

bool TagIs(const std::uint8_t* at, const char* tag) {
    return std::memcmp(at, tag, 4) == 0;
}

struct Format {
    std::uint16_t code;
    std::uint16_t channels;
    std::uint32_t sampleRate;
    std::uint32_t byteRate;
    std::uint16_t blockAlign;
    std::uint16_t bitsPerSample;
};

WavError CheckFormat(const Format& format) {
    if (format.code != kFormatPcm) {
        return WavError::kNotPcm;
    }
    if (format.channels != 1 && format.channels != 2) {
        return WavError::kBadChannelCount;
    }
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) {
        return WavError::kBadBitsPerSample;
    }
    if (format.sampleRate < kMinSampleRate || format.sampleRate > kMaxSampleRate) {
        return WavError::kBadSampleRate;
    }
    const std::uint32_t frameBytes = format.channels * (format.bitsPerSample / 8u);
    if (format.blockAlign != frameBytes) {
        return WavError::kBadBlockAlign;
    }
    if (format.byteRate != format.sampleRate * frameBytes) {
        return WavError::kBadByteRate;
    }
    return WavError::kNone;
}

}  // namespace

std::uint32_t WavSound::DurationMs() const {
    const std::uint64_t frames = FrameBytes() == 0 ? 0 : pcm.size() / FrameBytes();
    if (sampleRate == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>((frames * 1000 + sampleRate - 1) / sampleRate);
}

const char* WavErrorText(WavError error) {
    switch (error) {
        case WavError::kNone: return "no error";
        case WavError::kTooShort: return "file is shorter than a RIFF header";
        case WavError::kNotRiff: return "not a RIFF file";
        case WavError::kNotWave: return "RIFF file is not of form WAVE";
        case WavError::kRiffSizeInvalid: return "RIFF size does not match the file (truncated?)";
        case WavError::kChunkTruncated: return "a chunk runs past the end of the file (truncated?)";
        case WavError::kFormatMissing: return "no fmt chunk";
        case WavError::kFormatDuplicated: return "more than one fmt chunk";
        case WavError::kFormatTooShort: return "fmt chunk is shorter than 16 bytes";
        case WavError::kNotPcm: return "format is not uncompressed PCM";
        case WavError::kBadChannelCount: return "channel count is not 1 or 2";
        case WavError::kBadBitsPerSample: return "bits per sample is not 8 or 16";
        case WavError::kBadSampleRate: return "sample rate is out of range";
        case WavError::kBadBlockAlign: return "block alignment does not match the format";
        case WavError::kBadByteRate: return "byte rate does not match the format";
        case WavError::kDataMissing: return "no data chunk";
        case WavError::kDataDuplicated: return "more than one data chunk";
        case WavError::kDataEmpty: return "data chunk holds no samples";
        case WavError::kDataPartialFrame: return "data size is not a whole number of frames";
    }
    return "unknown error";
}

WavError ReadWav(const std::uint8_t* data, std::size_t size, WavSound* sound) {
    if (data == nullptr || size < 12) {
        return WavError::kTooShort;
    }
    if (!TagIs(data, "RIFF")) {
        return WavError::kNotRiff;
    }
    if (!TagIs(data + 8, "WAVE")) {
        return WavError::kNotWave;
    }
    const std::uint32_t riffSize = Read32(data + 4);
    if (riffSize < 4 || riffSize > size - 8) {
        return WavError::kRiffSizeInvalid;
    }
    // Bytes after the RIFF data (some writers append them) are ignored.
    const std::size_t end = 8 + static_cast<std::size_t>(riffSize);

    bool haveFormat = false;
    Format format{};
    const std::uint8_t* samples = nullptr;
    std::size_t sampleBytes = 0;
    std::size_t at = 12;
    while (at < end) {
        if (end - at < 8) {
            return WavError::kChunkTruncated;
        }
        const std::uint8_t* header = data + at;
        const std::uint32_t chunkSize = Read32(header + 4);
        at += 8;
        if (chunkSize > end - at) {
            return WavError::kChunkTruncated;
        }
        const std::uint8_t* body = data + at;
        if (TagIs(header, "fmt ")) {
            if (haveFormat) {
                return WavError::kFormatDuplicated;
            }
            if (chunkSize < 16) {
                return WavError::kFormatTooShort;
            }
            format = {Read16(body),     Read16(body + 2),  Read32(body + 4),
                      Read32(body + 8), Read16(body + 12), Read16(body + 14)};
            haveFormat = true;
        } else if (TagIs(header, "data")) {
            if (samples != nullptr) {
                return WavError::kDataDuplicated;
            }
            samples = body;
            sampleBytes = chunkSize;
        }
        // Chunks are padded to an even size; the pad byte of the last chunk
        // may be missing.
        at += chunkSize;
        if ((chunkSize & 1u) != 0 && at < end) {
            ++at;
        }
    }
    if (!haveFormat) {
        return WavError::kFormatMissing;
    }
    if (const WavError error = CheckFormat(format); error != WavError::kNone) {
        return error;
    }
    if (samples == nullptr) {
        return WavError::kDataMissing;
    }
    if (sampleBytes == 0) {
        return WavError::kDataEmpty;
    }
    if (sampleBytes % format.blockAlign != 0) {
        return WavError::kDataPartialFrame;
    }
    sound->channels = format.channels;
    sound->bitsPerSample = format.bitsPerSample;
    sound->sampleRate = format.sampleRate;
    sound->pcm.assign(samples, samples + sampleBytes);
    return WavError::kNone;
}
