// The portable float map reader on files built in memory: grey and colour
// samples in the byte order the scale's sign names, rows stored bottom to
// top, the header lines it accepts and refuses, and every truncation of a
// good file.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "texture/image_readers.h"
#include "texture/text_image_writer.h"

namespace {

using Bytes = TextFileBytes;

struct PfmCase {
    const char* name;
    Bytes file;
    // Red, green, blue, alpha of each pixel, top row first; empty when the
    // file is refused.
    std::vector<float> pixels;
    UINT width = 0;
    UINT height = 0;
};

std::vector<float> Floats(const DecodedImage& image) {
    std::vector<float> floats(std::size_t{image.width} * image.height * 4);
    std::memcpy(floats.data(), image.pixels, floats.size() * sizeof(float));
    return floats;
}

TEST(PfmReaderTest, ReadsAndRefuses) {
    // The little-endian bytes of 0.5 taken as big-endian.
    const float swappedHalf = std::bit_cast<float>(std::uint32_t{0x0000003F});
    const std::vector<float> colour2x2 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::vector<float> colour2x2Pixels = {7, 8, 9, 1, 10, 11, 12, 1, 1, 2, 3, 1, 4, 5, 6, 1};
    Bytes oneByteShort = PfmFile(3, "2 2", "-1", colour2x2);
    oneByteShort.pop_back();
    Bytes otherMagic = PfmFile(1, "1 1", "-1", {0.5f});
    otherMagic[1] = 'G';
    const PfmCase cases[] = {
        {"Pf scale -1 is little-endian",
         PfmFile(1, "1 1", "-1.0", {0.5f}),
         {0.5f, 0.5f, 0.5f, 1},
         1,
         1},
        {"Pf scale 1 takes the same bytes as big-endian",
         TextOf("Pf\n1 1\n1.0\n") + FloatSamples({0.5f}, true),
         {swappedHalf, swappedHalf, swappedHalf, 1},
         1,
         1},
        {"PF 2 x 2, first data row is image row 1", PfmFile(3, "2 2", "-1", colour2x2),
         colour2x2Pixels, 2, 2},
        {"PF big-endian, signed scale with exponent", PfmFile(3, "2\t2 ", "+2.5e0 ", colour2x2),
         colour2x2Pixels, 2, 2},
        {"Pf 3 x 1 with a zero scale",
         PfmFile(1, "3 1", "0", {-1.5f, 0, 1e30f}),
         {-1.5f, -1.5f, -1.5f, 1, 0, 0, 0, 1, 1e30f, 1e30f, 1e30f, 1},
         3,
         1},
        {"dimension line of three fields", PfmFile(1, "4 4 a", "-1", std::vector<float>(16)), {}},
        {"dimension line of one field", PfmFile(1, "4", "-1", std::vector<float>(16)), {}},
        {"width past 32 bits", PfmFile(1, "4294967297 1", "-1", std::vector<float>(1)), {}},
        {"negative height", PfmFile(1, "1 -1", "-1", std::vector<float>(1)), {}},
        {"width 0", PfmFile(1, "0 1", "-1", std::vector<float>(1)), {}},
        {"height 0", PfmFile(1, "1 0", "-1", std::vector<float>(1)), {}},
        {"scale line of two fields", PfmFile(1, "1 1", "-1.0 x", {0.5f}), {}},
        {"scale line with a decimal comma", PfmFile(1, "1 1", "-1,5", {0.5f}), {}},
        {"scale line without a number", PfmFile(1, "1 1", "x", {0.5f}), {}},
        {"empty dimension line", TextOf("Pf\n\n1 1\n-1\n") + FloatSamples({0.5f}, true), {}},
        {"dimension line longer than 256 bytes",
         TextOf("Pf\n" + std::string(300, ' ') + "1 1\n-1\n") + FloatSamples({0.5f}, true),
         {}},
        {"nothing after the scale line", TextOf("Pf\n1 1\n-1\n"), {}},
        {"samples one byte short", oneByteShort, {}},
        {"size beyond the decoded-image limit", PfmFile(1, "65536 65536", "-1", {0.5f}), {}},
        {"other magic", otherMagic, {}},
    };
    for (const PfmCase& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedImage image;
        const HRESULT hr = LoadPFM(&image, c.file.data(), static_cast<UINT>(c.file.size()));
        if (c.pixels.empty()) {
            EXPECT_EQ(hr, E_FAIL);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(image.format, D3DFMT_A32B32G32R32F);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.depth, 1u);
        EXPECT_EQ(image.rowPitch, static_cast<INT>(c.width * 16));
        EXPECT_EQ(image.slicePitch, 0);
        EXPECT_EQ(image.pixels, image.ownedPixels.get());
        EXPECT_EQ(Floats(image), c.pixels);
    }
}

TEST(PfmReaderTest, EveryTruncationRefused) {
    const Bytes file = PfmFile(3, "2 2", "-1", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    for (std::size_t length = 0; length < file.size(); ++length) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        DecodedImage image;
        EXPECT_EQ(LoadPFM(&image, prefix.data(), static_cast<UINT>(length)), E_FAIL)
            << length << " bytes";
    }
    DecodedImage image;
    EXPECT_EQ(LoadPFM(&image, file.data(), static_cast<UINT>(file.size())), S_OK);
}

}  // namespace
