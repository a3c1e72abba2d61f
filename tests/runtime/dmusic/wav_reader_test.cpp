#include "runtime/dmusic/wav_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "wav_builder.h"

namespace {

using namespace wav_test;
using Bytes = std::vector<std::uint8_t>;

struct MalformedCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    WavError expected;
};

class MalformedWavTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedWavTest, IsRejectedWithItsReasonAndLeavesTheSoundAlone) {
    Bytes bytes = Build();
    GetParam().damage(bytes);
    WavSound sound;
    sound.channels = 7;
    EXPECT_EQ(ReadWav(bytes.data(), bytes.size(), &sound), GetParam().expected)
        << WavErrorText(ReadWav(bytes.data(), bytes.size(), &sound));
    EXPECT_EQ(sound.channels, 7);
    EXPECT_TRUE(sound.pcm.empty());
}

// Shrinks the file to size bytes and makes the RIFF size agree, so the
// damage is found inside the chunks rather than by the RIFF check.
void Truncate(Bytes& b, std::size_t size) {
    b.resize(size);
    Put32(b, kRiffSize, static_cast<std::uint32_t>(size - 8));
}

const MalformedCase kMalformed[] = {
    {"Empty", [](Bytes& b) { b.clear(); }, WavError::kTooShort},
    {"ShorterThanHeader", [](Bytes& b) { b.resize(11); }, WavError::kTooShort},
    {"NotRiff", [](Bytes& b) { b[3] = 'X'; }, WavError::kNotRiff},
    {"NotWave", [](Bytes& b) { b[8] = 'A'; }, WavError::kNotWave},
    {"TruncatedFile", [](Bytes& b) { b.resize(b.size() > 10 ? b.size() - 10 : 0); },
     WavError::kRiffSizeInvalid},
    {"RiffSizeTooSmall", [](Bytes& b) { Put32(b, kRiffSize, 2); }, WavError::kRiffSizeInvalid},
    {"RiffSizeHuge", [](Bytes& b) { Put32(b, kRiffSize, 0xFFFFFFFF); }, WavError::kRiffSizeInvalid},
    {"DataSizeTooBig", [](Bytes& b) { Put32(b, kDataSize, 1601); }, WavError::kChunkTruncated},
    {"DataSizeHuge", [](Bytes& b) { Put32(b, kDataSize, 0xFFFFFFF0); }, WavError::kChunkTruncated},
    {"FmtSizeTooBig", [](Bytes& b) { Put32(b, kFmtSize, 5000); }, WavError::kChunkTruncated},
    {"CutInsideDataHeader", [](Bytes& b) { Truncate(b, kDataTag + 5); }, WavError::kChunkTruncated},
    {"CutInsideFmt", [](Bytes& b) { Truncate(b, kFmtTag + 12); }, WavError::kChunkTruncated},
    {"FmtTooShort", [](Bytes& b) { Put32(b, kFmtSize, 14); }, WavError::kFormatTooShort},
    {"FloatFormat", [](Bytes& b) { Put16(b, kFormatCode, 3); }, WavError::kNotPcm},
    {"AdpcmFormat", [](Bytes& b) { Put16(b, kFormatCode, 2); }, WavError::kNotPcm},
    {"ZeroChannels", [](Bytes& b) { Put16(b, kChannels, 0); }, WavError::kBadChannelCount},
    {"SixChannels", [](Bytes& b) { Put16(b, kChannels, 6); }, WavError::kBadChannelCount},
    {"TwentyFourBits", [](Bytes& b) { Put16(b, kBits, 24); }, WavError::kBadBitsPerSample},
    {"ZeroBits", [](Bytes& b) { Put16(b, kBits, 0); }, WavError::kBadBitsPerSample},
    {"ZeroRate", [](Bytes& b) { Put32(b, kSampleRate, 0); }, WavError::kBadSampleRate},
    {"HugeRate", [](Bytes& b) { Put32(b, kSampleRate, 4000000); }, WavError::kBadSampleRate},
    {"WrongBlockAlign", [](Bytes& b) { Put16(b, kBlockAlign, 4); }, WavError::kBadBlockAlign},
    {"WrongByteRate", [](Bytes& b) { Put32(b, kByteRate, 8000); }, WavError::kBadByteRate},
    {"NoFmt", [](Bytes& b) { b[kFmtTag] = 'j'; }, WavError::kFormatMissing},
    {"NoData", [](Bytes& b) { b[kDataTag] = 'j'; }, WavError::kDataMissing},
    {"EmptyData",
     [](Bytes& b) {
         Put32(b, kDataSize, 0);
         Truncate(b, kData);
     },
     WavError::kDataEmpty},
    {"HalfFrame",
     [](Bytes& b) {
         Put32(b, kDataSize, 1599);
         Truncate(b, kData + 1600);
     },
     WavError::kDataPartialFrame},
    {"DuplicatedFmt",
     [](Bytes& b) {
         const Bytes fmt(b.begin() + kFmtTag, b.begin() + kDataTag);
         b.insert(b.begin() + kDataTag, fmt.begin(), fmt.end());
         Put32(b, kRiffSize, static_cast<std::uint32_t>(b.size() - 8));
     },
     WavError::kFormatDuplicated},
    {"DuplicatedData",
     [](Bytes& b) {
         const Bytes data(b.begin() + kDataTag, b.end());
         b.insert(b.end(), data.begin(), data.end());
         Put32(b, kRiffSize, static_cast<std::uint32_t>(b.size() - 8));
     },
     WavError::kDataDuplicated},
    {"DanglingChunkHeader",
     [](Bytes& b) {
         b.insert(b.end(), {'L', 'I', 'S', 'T'});
         Put32(b, kRiffSize, static_cast<std::uint32_t>(b.size() - 8));
     },
     WavError::kChunkTruncated},
};

INSTANTIATE_TEST_SUITE_P(Files, MalformedWavTest, testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WavReaderTest, EveryPrefixOfAValidFileIsRejected) {
    const Bytes full = Build(2, 16, 11025, 40);
    for (std::size_t size = 0; size < full.size(); ++size) {
        // Copied to a buffer of exactly that size, so the sanitizer build
        // catches any read past the end.
        Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        WavSound sound;
        EXPECT_NE(ReadWav(prefix.data(), prefix.size(), &sound), WavError::kNone) << size;
        if (size >= 12) {
            Truncate(prefix, size);
            EXPECT_NE(ReadWav(prefix.data(), prefix.size(), &sound), WavError::kNone) << size;
        }
    }
}

struct ValidCase {
    const char* name;
    std::uint16_t channels;
    std::uint16_t bits;
    std::uint32_t rate;
    std::uint32_t frames;
};

class ValidWavTest : public testing::TestWithParam<ValidCase> {};

TEST_P(ValidWavTest, ReadsFormatAndSamples) {
    const ValidCase& c = GetParam();
    const Bytes bytes = Build(c.channels, c.bits, c.rate, c.frames);
    WavSound sound;
    ASSERT_EQ(ReadWav(bytes.data(), bytes.size(), &sound), WavError::kNone);
    EXPECT_EQ(sound.channels, c.channels);
    EXPECT_EQ(sound.bitsPerSample, c.bits);
    EXPECT_EQ(sound.sampleRate, c.rate);
    EXPECT_EQ(sound.pcm, Bytes(bytes.begin() + kData, bytes.end()));
    EXPECT_EQ(sound.DurationMs(), (c.frames * 1000 + c.rate - 1) / c.rate);
}

const ValidCase kValid[] = {
    {"Mono16", 1, 16, 44100, 441}, {"Stereo16", 2, 16, 22050, 100}, {"Mono8", 1, 8, 8000, 801},
    {"Stereo8", 2, 8, 48000, 3},   {"OneFrame", 1, 16, 1000, 1},
};

INSTANTIATE_TEST_SUITE_P(Formats, ValidWavTest, testing::ValuesIn(kValid),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WavReaderTest, SkipsOtherChunksWithPaddingAndIgnoresBytesAfterTheRiffData) {
    Bytes bytes = Build(1, 16, 8000, 10);
    // An odd-sized chunk with its pad byte before the samples, a longer fmt
    // chunk (with the extension size field) and junk after the RIFF data.
    const Bytes extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + kDataTag, extra.begin(), extra.end());
    Put32(bytes, kFmtSize, 18);
    bytes.insert(bytes.begin() + kDataTag, {0, 0});
    Put32(bytes, kRiffSize, static_cast<std::uint32_t>(bytes.size() - 8));
    bytes.insert(bytes.end(), {'j', 'u', 'n', 'k', 9});
    WavSound sound;
    ASSERT_EQ(ReadWav(bytes.data(), bytes.size(), &sound), WavError::kNone);
    EXPECT_EQ(sound.pcm.size(), 20u);
}

TEST(WavReaderTest, DataBeforeFmtIsAccepted) {
    const Bytes original = Build(1, 8, 8000, 5);
    Bytes bytes(original.begin(), original.begin() + kFmtTag);
    bytes.insert(bytes.end(), original.begin() + kDataTag, original.end());
    bytes.push_back(0);  // pad of the odd-sized data chunk
    bytes.insert(bytes.end(), original.begin() + kFmtTag, original.begin() + kDataTag);
    Put32(bytes, kRiffSize, static_cast<std::uint32_t>(bytes.size() - 8));
    WavSound sound;
    ASSERT_EQ(ReadWav(bytes.data(), bytes.size(), &sound), WavError::kNone);
    EXPECT_EQ(sound.pcm, Bytes(original.begin() + kData, original.end()));
}

TEST(WavReaderTest, EveryErrorHasItsOwnText) {
    std::set<std::string> texts;
    for (int e = 0; e <= static_cast<int>(WavError::kDataPartialFrame); ++e) {
        texts.insert(WavErrorText(static_cast<WavError>(e)));
    }
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(WavError::kDataPartialFrame) + 1);
}

}  // namespace
