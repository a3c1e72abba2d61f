// The portable pixmap reader on files built in memory: byte and decimal
// samples scaled from the file's maximum, comments and line ends in the
// header, and the files it refuses, every truncation of a good file among
// them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "texture/image_readers.h"
#include "texture/text_image_writer.h"

namespace {

using Bytes = TextFileBytes;

struct PpmCase {
    const char* name;
    Bytes file;
    // Top row first as 0xAARRGGBB; empty when the file is refused.
    std::vector<std::uint32_t> pixels;
    UINT width = 0;
    UINT height = 0;
};

std::vector<std::uint32_t> Pixels(const DecodedImage& image) {
    std::vector<std::uint32_t> pixels(std::size_t{image.width} * image.height);
    std::memcpy(pixels.data(), image.pixels, pixels.size() * 4);
    return pixels;
}

HRESULT Read(DecodedImage* image, const Bytes& file) {
    return LoadPPM(image, file.data(), static_cast<UINT>(file.size()));
}

TEST(PpmReaderTest, ReadsAndRefuses) {
    const Bytes redBlue = {255, 0, 0, 0, 0, 255};
    const std::vector<std::uint32_t> redBlueWords = {0xFFFF0000, 0xFF0000FF};
    const PpmCase cases[] = {
        {"P6 red and blue", TextOf("P6 2 1 255\n") + redBlue, redBlueWords, 2, 1},
        {"P6 header ended by CR LF", TextOf("P6 2 1 255\r\n") + redBlue, redBlueWords, 2, 1},
        {"P6 header ended by a lone CR", TextOf("P6 2 1 255\r") + redBlue, redBlueWords, 2, 1},
        {"P6 bytes past the last pixel", TextOf("P6 2 1 255\n") + redBlue + Bytes{7}, redBlueWords,
         2, 1},
        {"P6 scaled from 15",
         TextOf("P6\n1 2\n15\n") + Bytes{15, 1, 0, 7, 8, 14},
         {0xFFFF1100, 0xFF7788EE},
         1,
         2},
        {"P3 maximum 1023",
         TextOf("P3 2 1 1023\n1023 0 0 0 0 512"),
         {0xFFFF0000, 0xFF00007F},
         2,
         1},
        {"P3 maximum 65535", TextOf("P3 1 1 65535 65535 32768 0"), {0xFFFF7F00}, 1, 1},
        // Samples above the maximum count as the maximum and stay in their channel.
        {"P6 samples above the maximum",
         TextOf("P6 1 1 15\n") + Bytes{16, 255, 7},
         {0xFFFFFF77},
         1,
         1},
        {"P3 samples above the maximum", TextOf("P3 1 1 1 0 2 65535"), {0xFF00FFFF}, 1, 1},
        {"comment between width and height",
         TextOf("P3 2 # a comment 3\n1 255 1 2 3 4 5 6"),
         {0xFF010203, 0xFF040506},
         2,
         1},
        {"P6 maximum 1023", TextOf("P6 2 1 1023\n") + redBlue + redBlue, {}},
        {"P6 one byte short", TextOf("P6 2 1 255\n") + Bytes{255, 0, 0, 0, 0}, {}},
        {"P6 nothing after the maximum", TextOf("P6 1 1 255"), {}},
        {"P3 running out of samples", TextOf("P3 2 1 255 1 2 3 4 5 # more\n"), {}},
        {"maximum 0", TextOf("P3 1 1 0 0 0 0"), {}},
        {"P3 maximum above 65535", TextOf("P3 1 1 65536 1 2 3"), {}},
        {"width 0", TextOf("P3 0 1 255 1 2 3"), {}},
        {"height 0", TextOf("P3 1 0 255 1 2 3"), {}},
        {"token with a letter", TextOf("P3 1x 1 255 1 2 3"), {}},
        {"signed token", TextOf("P3 +1 1 255 1 2 3"), {}},
        {"width past 32 bits", TextOf("P3 4294967297 1 255 1 2 3"), {}},
        {"sample past 32 bits", TextOf("P3 1 1 255 4294967296 2 3"), {}},
        {"size beyond the decoded-image limit", TextOf("P6 65536 65536 255\n") + redBlue, {}},
        {"far more pixels than data", TextOf("P6 1000 1000 255\n") + redBlue, {}},
        {"other magic", TextOf("P5 1 1 255\n") + Bytes{1}, {}},
        {"magic alone", TextOf("P3"), {}},
        {"one byte", TextOf("P"), {}},
    };
    for (const PpmCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool decode : {false, true}) {
            DecodedImage image;
            image.decode = decode;
            const HRESULT hr = Read(&image, c.file);
            if (c.pixels.empty()) {
                EXPECT_EQ(hr, E_FAIL);
                continue;
            }
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.height, c.height);
            EXPECT_EQ(image.depth, 1u);
            EXPECT_EQ(image.rowPitch, static_cast<INT>(c.width * 4));
            EXPECT_EQ(image.slicePitch, 0);
            ASSERT_NE(image.ownedPixels, nullptr);
            EXPECT_EQ(image.pixels, image.ownedPixels.get());
            EXPECT_EQ(Pixels(image), c.pixels);
        }
    }
}

// A cut-off file is refused at every length, its bytes copied to a buffer of
// exactly that size so that AddressSanitizer sees any read past the end.
TEST(PpmReaderTest, EveryTruncationRefused) {
    for (const Bytes& file : {TextOf("P6 2 # c\n2 255\n") + Bytes(12, 0x80),
                              TextOf("P3 2 # c\n2 255\n1 2 3 4 5 6 7 8 9 10 11 1")}) {
        for (std::size_t length = 0; length < file.size(); ++length) {
            const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
            DecodedImage image;
            image.decode = true;
            EXPECT_EQ(LoadPPM(&image, prefix.data(), static_cast<UINT>(length)), E_FAIL)
                << length << " bytes";
        }
        DecodedImage image;
        EXPECT_EQ(Read(&image, file), S_OK);
    }
}

}  // namespace
