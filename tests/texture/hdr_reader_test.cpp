// The Radiance reader on files built in memory: pixel values and exposure,
// the eight scanline orientations, flat, old run-length and new run-length
// scanlines, the headers and scanlines it refuses, and every truncation of a
// good file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "texture/image_readers.h"
#include "texture/text_image_writer.h"

namespace {

using Bytes = TextFileBytes;

const std::vector<std::string> kRgbe = {"FORMAT=32-bit_rle_rgbe"};

std::vector<float> Floats(const DecodedImage& image) {
    std::vector<float> floats(std::size_t{image.width} * image.height * 4);
    std::memcpy(floats.data(), image.pixels, floats.size() * sizeof(float));
    return floats;
}

// Decodes a file that must be accepted, checking the record.
std::vector<float> Decode(const Bytes& file, UINT width, UINT height) {
    DecodedImage image;
    if (LoadHDR(&image, file.data(), static_cast<UINT>(file.size())) != S_OK) {
        ADD_FAILURE() << "file refused";
        return {};
    }
    EXPECT_EQ(image.format, D3DFMT_A32B32G32R32F);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.depth, 1u);
    EXPECT_EQ(image.rowPitch, static_cast<INT>(width * 16));
    EXPECT_EQ(image.slicePitch, 0);
    EXPECT_EQ(image.pixels, image.ownedPixels.get());
    return Floats(image);
}

// A pixel whose exponent 136 makes its red value its mantissa plus 0.5.
RgbePixel Red(std::uint8_t mantissa) {
    return {mantissa, 0, 0, 136};
}

struct PixelCase {
    const char* name;
    std::vector<std::string> header;
    RgbePixel pixel;
    std::vector<float> value;
};

TEST(HdrReaderTest, PixelValuesAndExposure) {
    const PixelCase cases[] = {
        {"exponent 129", kRgbe, {128, 64, 32, 129}, {1.00390625f, 0.50390625f, 0.25390625f, 1}},
        {"exponent 140", kRgbe, {3, 0, 255, 140}, {56, 8, 4088, 1}},
        {"exponent 0", kRgbe, {0, 0, 0, 0}, {0x1p-137f, 0x1p-137f, 0x1p-137f, 1}},
        {"two exposures of 2",
         {"EXPOSURE=2", "FORMAT=32-bit_rle_rgbe", "EXPOSURE= \t2.0"},
         {128, 64, 32, 129},
         {0.2509765625f, 0.1259765625f, 0.0634765625f, 1}},
        {"exposure 0.5, comments and other lines",
         {"# made by hand", "EXPOSURE=0.5 ", "SOFTWARE=none", "FORMAT=32-bit_rle_rgbe"},
         Red(7),
         {15, 1, 1, 1}},
        {"XYZE read alike, blanks before the value",
         {"FORMAT= \t32-bit_rle_xyze"},
         {128, 64, 32, 129},
         {1.00390625f, 0.50390625f, 0.25390625f, 1}},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(HdrFile(c.header, "-Y 1 +X 1", FlatScanline({c.pixel})), 1, 1), c.value);
    }
}

// An image of 3 x 2 pixels, red mantissas 1 2 3 over 11 12 13, written in
// each orientation's scanline order.
TEST(HdrReaderTest, EightOrientations) {
    struct Orientation {
        const char* resolution;
        // Red mantissas in file order.
        std::vector<std::uint8_t> order;
    };
    const Orientation orientations[] = {
        {"-Y 2 +X 3", {1, 2, 3, 11, 12, 13}}, {"-Y 2 -X 3", {3, 2, 1, 13, 12, 11}},
        {"+Y 2 +X 3", {11, 12, 13, 1, 2, 3}}, {"+Y 2 -X 3", {13, 12, 11, 3, 2, 1}},
        {"+X 3 +Y 2", {11, 1, 12, 2, 13, 3}}, {"+X 3 -Y 2", {1, 11, 2, 12, 3, 13}},
        {"-X 3 -Y 2", {3, 13, 2, 12, 1, 11}}, {"-X 3 +Y 2", {13, 3, 12, 2, 11, 1}},
    };
    std::vector<float> expected;
    for (const float red : {1.5f, 2.5f, 3.5f, 11.5f, 12.5f, 13.5f}) {
        expected.insert(expected.end(), {red, 0.5f, 0.5f, 1});
    }
    for (const Orientation& o : orientations) {
        SCOPED_TRACE(o.resolution);
        std::vector<RgbePixel> pixels;
        for (const std::uint8_t red : o.order) {
            pixels.push_back(Red(red));
        }
        EXPECT_EQ(Decode(HdrFile(kRgbe, o.resolution, FlatScanline(pixels)), 3, 2), expected);
    }
}

// Two rows of 300 pixels: distinct pixels around a stretch of 269 equal ones,
// which old run-length data counts in two repeats (13, then 1 x 256).
std::vector<std::vector<RgbePixel>> RunRows() {
    std::vector<RgbePixel> row;
    for (int i = 0; i < 30; ++i) {
        row.push_back({static_cast<std::uint8_t>(i + 2), static_cast<std::uint8_t>(i * 7), 9,
                       static_cast<std::uint8_t>(130 + i % 3)});
    }
    row.insert(row.end(), 269, row.back());
    row.push_back({200, 100, 50, 137});
    std::vector<RgbePixel> reversed(row.rbegin(), row.rend());
    return {row, reversed};
}

TEST(HdrReaderTest, ScanlineEncodingsAgree) {
    const auto rows = RunRows();
    Bytes flat;
    Bytes oldRunLength;
    Bytes newRunLength;
    Bytes mixed;
    for (const auto& row : rows) {
        flat = flat + FlatScanline(row);
        oldRunLength = oldRunLength + OldRunLengthScanline(row);
        newRunLength = newRunLength + NewRunLengthScanline(row);
    }
    mixed = NewRunLengthScanline(rows[0]) + OldRunLengthScanline(rows[1]);
    ASSERT_LT(oldRunLength.size(), flat.size() - 250 * 4);
    const std::vector<float> expected = Decode(HdrFile(kRgbe, "-Y 2 +X 300", flat), 300, 2);
    ASSERT_EQ(expected.size(), 2400u);
    EXPECT_EQ(expected[4 * 150], 31.5f / 16) << "the repeated pixel's red";
    EXPECT_EQ(expected[4 * 299 + 2], 50.5f * 2) << "the last pixel's blue";
    for (const Bytes* scanlines : {&oldRunLength, &newRunLength, &mixed}) {
        EXPECT_EQ(Decode(HdrFile(kRgbe, "-Y 2 +X 300", *scanlines), 300, 2), expected);
    }
}

struct RefusedCase {
    const char* name;
    Bytes file;
};

TEST(HdrReaderTest, Refuses) {
    const Bytes pixel = FlatScanline({Red(1)});
    const Bytes threePixels = FlatScanline({Red(1), Red(2), Red(3)});
    // Eight repeats of count 0 move a following count of 1 by 64 bits.
    Bytes shiftedPast = FlatScanline({Red(1)});
    for (int i = 0; i < 8; ++i) {
        shiftedPast = shiftedPast + Bytes{1, 1, 1, 0};
    }
    shiftedPast = shiftedPast + Bytes{1, 1, 1, 1};
    const RefusedCase cases[] = {
        {"no FORMAT line", HdrFile({"EXPOSURE=1"}, "-Y 1 +X 1", pixel)},
        {"other format value", HdrFile({"FORMAT=32-bit_rle_rgba"}, "-Y 1 +X 1", pixel)},
        {"format value cut short", TextOf("#?RADIANCE\nFORMAT=32-bit_rle_rgbe")},
        {"exposure of two fields", HdrFile({kRgbe[0], "EXPOSURE=2 x"}, "-Y 1 +X 1", pixel)},
        {"exposure with a decimal comma", HdrFile({kRgbe[0], "EXPOSURE=0,5"}, "-Y 1 +X 1", pixel)},
        {"exposure without a line feed", TextOf("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=2")},
        {"header without an end", TextOf("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n-Y 1 +X 1\n")},
        {"resolution line too short", HdrFile(kRgbe, "-Y", pixel)},
        {"first sign missing", HdrFile(kRgbe, "*Y 1 +X 1", pixel)},
        {"first axis unknown", HdrFile(kRgbe, "-Z 1 +X 1", pixel)},
        {"first number missing", HdrFile(kRgbe, "-Y x +X 1", pixel)},
        {"second sign missing", HdrFile(kRgbe, "-Y 1 X 1", pixel)},
        {"second axis unknown", HdrFile(kRgbe, "-Y 1 +Z 1", pixel)},
        {"second number missing", HdrFile(kRgbe, "-Y 1 +X", pixel)},
        {"the same axis twice", HdrFile(kRgbe, "-Y 1 +Y 1", pixel)},
        {"width past 32 bits", HdrFile(kRgbe, "-Y 1 +X 4294967297", pixel)},
        {"height 0", HdrFile(kRgbe, "-Y 0 +X 1", pixel)},
        {"size beyond the decoded-image limit", HdrFile(kRgbe, "-Y 65536 +X 65536", pixel)},
        {"new run-length length differs from the width",
         HdrFile(kRgbe, "-Y 1 +X 3", Bytes{2, 2, 0, 4, 4, 1, 2, 3, 4, 132, 0, 132, 0, 132, 136})},
        {"new run-length run past the scanline",
         HdrFile(kRgbe, "-Y 1 +X 3", Bytes{2, 2, 0, 3, 132, 1, 131, 0, 131, 0, 131, 136})},
        {"new run-length literal past the scanline",
         HdrFile(kRgbe, "-Y 1 +X 3", Bytes{2, 2, 0, 3, 4, 1, 2, 3, 4, 131, 0, 131, 0, 131, 136})},
        {"new run-length literal past the data",
         HdrFile(kRgbe, "-Y 1 +X 3", Bytes{2, 2, 0, 3, 131, 1, 131, 0, 131, 0, 3, 136, 136})},
        {"old run-length repeat past the scanline",
         HdrFile(kRgbe, "-Y 1 +X 3", pixel + Bytes{1, 1, 1, 3})},
        {"old run-length count shifted past 32 bits", HdrFile(kRgbe, "-Y 1 +X 2", shiftedPast)},
        {"second scanline missing", HdrFile(kRgbe, "-Y 2 +X 3", threePixels)},
        {"scanline one byte short",
         HdrFile(kRgbe, "+X 3 -Y 1", Bytes(threePixels.begin(), threePixels.end() - 1))},
        {"other magic", TextOf("#?RADIANCF\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n") + pixel},
        {"magic alone", TextOf("#?RADIANCE")},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedImage image;
        EXPECT_EQ(LoadHDR(&image, c.file.data(), static_cast<UINT>(c.file.size())), E_FAIL);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.ownedPixels, nullptr);
    }
}

TEST(HdrReaderTest, EveryTruncationRefused) {
    const auto rows = RunRows();
    const Bytes file = HdrFile({"EXPOSURE=2", kRgbe[0]}, "-Y 2 +X 300",
                               NewRunLengthScanline(rows[0]) + OldRunLengthScanline(rows[1]));
    for (std::size_t length = 0; length < file.size(); ++length) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        DecodedImage image;
        EXPECT_EQ(LoadHDR(&image, prefix.data(), static_cast<UINT>(length)), E_FAIL)
            << length << " bytes";
    }
    DecodedImage image;
    EXPECT_EQ(LoadHDR(&image, file.data(), static_cast<UINT>(file.size())), S_OK);
}

}  // namespace
