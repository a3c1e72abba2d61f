// The BMP and DIB readers on bitmaps built in memory: every depth under
// every header size and orientation, the bit-field formats, the generic
// bit-field floats, run-length streams, and malformed files, each read from
// a buffer of exactly its size so a read past the end is caught under the
// address sanitizer.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "texture/bmp_writer.h"
#include "texture/image_readers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<Bytes>;

// The bytes in a heap block of exactly their size.
struct ExactCopy {
    explicit ExactCopy(const Bytes& bytes)
        : data(new std::uint8_t[bytes.size()]), size(static_cast<UINT>(bytes.size())) {
        std::memcpy(data.get(), bytes.data(), bytes.size());
    }
    std::unique_ptr<std::uint8_t[]> data;
    UINT size;
};

HRESULT Read(DecodedImage* image, const ExactCopy& copy, bool file, bool decode = true) {
    image->decode = decode;
    return file ? LoadBMPFile(image, copy.data.get(), copy.size)
                : LoadBMP(image, copy.data.get(), copy.size);
}

// The first bytes bytes of each row of the image, top row first.
Rows DecodedRows(const DecodedImage& image, std::size_t bytes) {
    Rows rows;
    for (UINT y = 0; y < image.height; ++y) {
        const BYTE* row = image.pixels + static_cast<std::size_t>(y) * image.rowPitch;
        rows.emplace_back(row, row + bytes);
    }
    return rows;
}

// The padding after bytes bytes of each row is zero.
bool PaddingIsZero(const DecodedImage& image, std::size_t bytes) {
    for (UINT y = 0; y < image.height; ++y) {
        const BYTE* row = image.pixels + static_cast<std::size_t>(y) * image.rowPitch;
        for (std::size_t x = bytes; x < static_cast<std::size_t>(image.rowPitch); ++x) {
            if (row[x] != 0) {
                return false;
            }
        }
    }
    return true;
}

std::uint32_t PaletteColour(std::uint32_t i) {
    return (i << 16) | ((255 - i) << 8) | ((i * 7) & 0xFF);
}

std::vector<std::uint32_t> Palette(std::uint32_t entries) {
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < entries; ++i) {
        palette.push_back(PaletteColour(i));
    }
    return palette;
}

// The first entries entries are PaletteColour(i) opaque, the rest opaque
// white.
void ExpectPalette(const DecodedImage& image, std::uint32_t entries) {
    ASSERT_NE(image.palette, nullptr);
    EXPECT_EQ(image.palette, image.ownedPalette.get());
    for (std::uint32_t i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = image.palette[i];
        const std::uint32_t colour = i < entries ? PaletteColour(i) : 0xFFFFFF;
        EXPECT_EQ(entry.peRed, static_cast<BYTE>(colour >> 16)) << i;
        EXPECT_EQ(entry.peGreen, static_cast<BYTE>(colour >> 8)) << i;
        EXPECT_EQ(entry.peBlue, static_cast<BYTE>(colour)) << i;
        EXPECT_EQ(entry.peFlags, 0xFF) << i;
    }
}

// Row y byte i: distinct non-zero bytes, the top byte of each 32-bit word
// zero when clearTopBytes is set.
Bytes CountingRow(std::size_t bytes, std::size_t y, bool clearTopBytes) {
    Bytes row(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        row[i] = (clearTopBytes && i % 4 == 3) ? 0 : static_cast<std::uint8_t>(0x40 * y + i + 1);
    }
    return row;
}

struct DepthCase {
    std::uint16_t bits;
    D3DFORMAT format;
    // Ten pixels a row, two rows, top row first.
    Rows source;
    Rows decoded;
    INT pitch;
};

std::vector<DepthCase> DepthCases() {
    const Rows bytes16 = {CountingRow(20, 0, false), CountingRow(20, 1, false)};
    const Rows bytes24 = {CountingRow(30, 0, false), CountingRow(30, 1, false)};
    const Rows bytes32 = {CountingRow(40, 0, true), CountingRow(40, 1, true)};
    return {
        {1,
         D3DFMT_P8,
         {{0xB5, 0x40}, {0x4A, 0xC0}},
         {{1, 0, 1, 1, 0, 1, 0, 1, 0, 1}, {0, 1, 0, 0, 1, 0, 1, 0, 1, 1}},
         12},
        {4,
         D3DFMT_P8,
         {{0x01, 0x23, 0x45, 0x67, 0x89}, {0xFE, 0xDC, 0xBA, 0x98, 0x76}},
         {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {15, 14, 13, 12, 11, 10, 9, 8, 7, 6}},
         12},
        {8,
         D3DFMT_P8,
         {{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, {255, 254, 253, 252, 251, 250, 0, 1, 2, 3}},
         {{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, {255, 254, 253, 252, 251, 250, 0, 1, 2, 3}},
         12},
        {16, D3DFMT_X1R5G5B5, bytes16, bytes16, 20},
        {24, D3DFMT_R8G8B8, bytes24, bytes24, 32},
        {32, D3DFMT_X8R8G8B8, bytes32, bytes32, 40},
    };
}

// Every depth under the short, the info and the largest header, stored
// either way up, read through both entry points, decoded and described.
TEST(BmpReaderTest, DepthsHeadersAndOrientations) {
    for (const DepthCase& c : DepthCases()) {
        for (const std::uint32_t headerSize : {12u, 40u, 124u}) {
            for (const bool topDown : {false, true}) {
                BmpDescription description;
                description.headerSize = headerSize;
                description.width = 10;
                description.height = topDown ? -2 : 2;
                description.bitsPerPixel = c.bits;
                if (c.bits <= 8) {
                    description.palette = Palette(1u << c.bits);
                }
                description.rows = c.source;
                SCOPED_TRACE(testing::Message() << c.bits << " bits, header " << headerSize
                                                << (topDown ? ", top down" : ", bottom up"));
                const Bytes dib = BuildDib(description);
                for (const bool file : {false, true}) {
                    const ExactCopy copy(file ? BuildBmpFile(description) : dib);
                    DecodedImage image;
                    ASSERT_EQ(Read(&image, copy, file), S_OK);
                    EXPECT_EQ(image.format, c.format);
                    EXPECT_EQ(image.width, 10u);
                    EXPECT_EQ(image.height, 2u);
                    EXPECT_EQ(image.depth, 1u);
                    EXPECT_EQ(image.rowPitch, c.pitch);
                    EXPECT_EQ(image.slicePitch, 0);
                    ASSERT_NE(image.pixels, nullptr);
                    EXPECT_EQ(DecodedRows(image, c.decoded[0].size()), c.decoded);
                    if (topDown && c.bits >= 8) {
                        const std::uint8_t* start =
                            copy.data.get() + (file ? 14 : 0) + DibPixelOffset(description);
                        EXPECT_EQ(image.pixels, start);
                        EXPECT_EQ(image.ownedPixels, nullptr);
                    } else {
                        EXPECT_EQ(image.pixels, image.ownedPixels.get());
                        EXPECT_TRUE(PaddingIsZero(image, c.decoded[0].size()));
                    }
                    if (c.format == D3DFMT_P8) {
                        ExpectPalette(image, 1u << c.bits);
                    } else {
                        EXPECT_EQ(image.palette, nullptr);
                    }

                    DecodedImage described;
                    ASSERT_EQ(Read(&described, copy, file, false), S_OK);
                    EXPECT_EQ(described.format, c.format);
                    EXPECT_EQ(described.width, 10u);
                    EXPECT_EQ(described.height, 2u);
                    EXPECT_EQ(described.rowPitch, c.pitch);
                    EXPECT_EQ(described.pixels, nullptr);
                    EXPECT_EQ(described.palette, nullptr);
                }
            }
        }
    }
}

// The colours-used count sets how many entries are read and where the
// pixels start; entries past 256 are skipped, not read.
TEST(BmpReaderTest, ColoursUsed) {
    struct Case {
        std::uint32_t headerSize;
        std::uint16_t bits;
        std::uint32_t coloursUsed;
        std::uint32_t entriesWritten;
        std::uint32_t entriesExpected;
    };
    const Case cases[] = {
        {40, 8, 3, 3, 3}, {40, 8, 300, 300, 256}, {40, 4, 5, 5, 5},   {12, 4, 0, 16, 16},
        {40, 1, 0, 2, 2}, {40, 24, 2, 2, 0},      {124, 32, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.coloursUsed << " colours");
        BmpDescription description;
        description.headerSize = c.headerSize;
        description.width = 8;
        description.height = 1;
        description.bitsPerPixel = c.bits;
        description.coloursUsed = c.coloursUsed;
        description.palette = Palette(c.entriesWritten);
        // Pixel 0 has the last index the palette holds, or a known colour.
        const std::uint8_t first = c.bits == 4 ? 0x40 : (c.bits == 1 ? 0x80 : 2);
        description.rows = {Bytes(static_cast<std::size_t>(c.bits), 0)};
        description.rows[0][0] = first;
        const ExactCopy copy(BuildDib(description));
        DecodedImage image;
        ASSERT_EQ(Read(&image, copy, false), S_OK);
        EXPECT_EQ(image.pixels[0], c.bits == 4 ? 4 : (c.bits == 1 ? 1 : 2));
        if (c.bits <= 8) {
            ExpectPalette(image, c.entriesExpected);
        } else {
            EXPECT_EQ(image.palette, nullptr);
        }
    }
}

// Uncompressed 32-bit rows become A8R8G8B8 as soon as one top byte is set,
// in place when stored top to bottom.
TEST(BmpReaderTest, TopByteMakesAlpha) {
    for (const bool topDown : {false, true}) {
        for (const bool alpha : {false, true}) {
            BmpDescription description;
            description.width = 2;
            description.height = topDown ? -2 : 2;
            description.bitsPerPixel = 32;
            description.rows = {CountingRow(8, 0, true), CountingRow(8, 1, true)};
            description.rows[1][7] = alpha ? 0x01 : 0x00;
            const ExactCopy copy(BuildDib(description));
            for (const bool decode : {false, true}) {
                DecodedImage image;
                ASSERT_EQ(Read(&image, copy, false, decode), S_OK);
                EXPECT_EQ(image.format, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
                if (decode) {
                    EXPECT_EQ(DecodedRows(image, 8), description.rows);
                    EXPECT_EQ(image.ownedPixels == nullptr, topDown);
                }
            }
        }
    }
}

struct BitFieldCase {
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::array<std::uint32_t, 4> masks;
    D3DFORMAT format;
    // The pixels are read this many bytes after their place.
    std::size_t skip;
};

// Every packed bit-field format, and masks beyond a 52-byte header not read.
TEST(BmpReaderTest, BitFieldFormats) {
    const BitFieldCase cases[] = {
        {56, 16, {0xFF, 0xFF, 0xFF, 0xFF00}, D3DFMT_A8L8, 0},
        {56, 16, {0xF800, 0x7E0, 0x1F, 0}, D3DFMT_R5G6B5, 0},
        {56, 16, {0x7C00, 0x3E0, 0x1F, 0}, D3DFMT_X1R5G5B5, 0},
        {56, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_A1R5G5B5, 0},
        {56, 16, {0xF00, 0xF0, 0xF, 0xF000}, D3DFMT_A4R4G4B4, 0},
        {56, 16, {0xE0, 0x1C, 0x3, 0xFF00}, D3DFMT_A8R3G3B2, 0},
        {56, 16, {0xF00, 0xF0, 0xF, 0}, D3DFMT_X4R4G4B4, 0},
        {56, 16, {0xFFFF, 0xFFFF, 0xFFFF, 0}, D3DFMT_L16, 0},
        {56, 24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8, 0},
        {56, 32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8, 0},
        {56, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8, 0},
        {56, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2B10G10R10, 0},
        {56, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_A8B8G8R8, 0},
        {56, 32, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8B8G8R8, 0},
        {56, 32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_G16R16, 0},
        {56, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, D3DFMT_A2R10G10B10, 0},
        {56, 32, {0xFF000000, 0xFF0000, 0xFF00, 0}, D3DFMT_X8R8G8B8, 1},
        {108, 32, {0xFF000000, 0xFF0000, 0xFF00, 0}, D3DFMT_X8R8G8B8, 1},
        {52, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_X8R8G8B8, 0},
        {52, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_X1R5G5B5, 0},
    };
    for (const BitFieldCase& c : cases) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << "format " << c.format << ", header " << c.headerSize
                                            << (topDown ? ", top down" : ", bottom up"));
            const std::size_t rowBytes = 2u * c.bits / 8;
            BmpDescription description;
            description.headerSize = c.headerSize;
            description.width = 2;
            description.height = topDown ? -2 : 2;
            description.bitsPerPixel = c.bits;
            description.compression = 3;
            description.masks = c.masks;
            description.rows = {CountingRow(rowBytes, 0, false), CountingRow(rowBytes, 1, false)};
            // Reading a byte late needs a byte after the last row.
            description.pixelBytes = Bytes(c.skip, 0xEE);
            const Bytes dib = BuildDib(description);
            const ExactCopy copy(dib);
            DecodedImage image;
            ASSERT_EQ(Read(&image, copy, false), S_OK);
            EXPECT_EQ(image.format, c.format);
            const std::size_t pitch = (rowBytes + 3) / 4 * 4;
            EXPECT_EQ(image.rowPitch, static_cast<INT>(pitch));
            const std::size_t start = DibPixelOffset(description) + c.skip;
            Rows expected;
            for (std::size_t y = 0; y < 2; ++y) {
                const std::size_t stored = topDown ? y : 1 - y;
                const auto row = dib.begin() + static_cast<std::ptrdiff_t>(start + stored * pitch);
                expected.emplace_back(row, row + static_cast<std::ptrdiff_t>(rowBytes));
            }
            EXPECT_EQ(DecodedRows(image, rowBytes), expected);
            if (topDown) {
                EXPECT_EQ(image.pixels, copy.data.get() + start);
            } else {
                EXPECT_EQ(image.pixels, image.ownedPixels.get());
            }
        }
    }
}

struct GenericCase {
    std::uint16_t bits;
    std::array<std::uint32_t, 4> masks;
    Bytes pixels;
    // Red, green, blue, alpha of each of the two pixels.
    std::array<float, 8> expected;
};

// Masks no packed format matches decode to four floats a pixel.
TEST(BmpReaderTest, GenericMasksGiveFloats) {
    const GenericCase cases[] = {
        {16,
         {0xF000, 0x0F00, 0x00F0, 0x000F},
         {0x34, 0x12, 0xDC, 0xFE},
         {1 / 15.f, 2 / 15.f, 3 / 15.f, 4 / 15.f, 1.f, 14 / 15.f, 13 / 15.f, 12 / 15.f}},
        {24,
         {0xFF, 0xFF00, 0xFF0000, 0},
         {0x00, 0x80, 0xFF, 0x33, 0x66, 0x99},
         {0.f, 128 / 255.f, 1.f, 1.f, 0x33 / 255.f, 0x66 / 255.f, 0x99 / 255.f, 1.f}},
        // No colour mask: the colour reads black.
        {32,
         {0, 0, 0, 0xFF000000},
         {1, 2, 3, 0x80, 4, 5, 6, 0xFF},
         {0.f, 0.f, 0.f, 128 / 255.f, 0.f, 0.f, 0.f, 1.f}},
        // A missing mask beside a present one reads 1.
        {32,
         {0xFFFFFFFF, 0, 0, 0},
         {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         {0.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f}},
        {16,
         {0x001F, 0x07E0, 0xF800, 0},
         {0x1F, 0x00, 0xE0, 0x07},
         {1.f, 0.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f}},
    };
    for (const GenericCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, red mask " << c.masks[0]);
        BmpDescription description;
        description.headerSize = 56;
        description.width = 2;
        description.height = -1;
        description.bitsPerPixel = c.bits;
        description.compression = 3;
        description.masks = c.masks;
        description.rows = {c.pixels};
        const ExactCopy copy(BuildDib(description));
        DecodedImage image;
        ASSERT_EQ(Read(&image, copy, false), S_OK);
        EXPECT_EQ(image.format, D3DFMT_A32B32G32R32F);
        EXPECT_EQ(image.rowPitch, 32);
        ASSERT_EQ(image.pixels, image.ownedPixels.get());
        float values[8];
        std::memcpy(values, image.pixels, sizeof(values));
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_FLOAT_EQ(values[i], c.expected[i]) << i;
        }
    }
}

struct RleCase {
    const char* name;
    std::uint32_t compression;
    std::int32_t width;
    std::int32_t height;
    Bytes stream;
    HRESULT result;
    // Top row first, width indices each.
    Rows rows;
};

// Run-length streams: encoded and absolute runs, end of line, end of bitmap,
// delta, and the ways a stream can end or overrun.
TEST(BmpReaderTest, RunLengthStreams) {
    const RleCase cases[] = {
        {"runs, end of line, end of bitmap",
         1,
         4,
         2,
         {3, 7, 1, 8, 0, 0, 2, 9, 0, 1},
         S_OK,
         {{9, 9, 0, 0}, {7, 7, 7, 8}}},
        {"absolute runs, an odd one padded",
         1,
         4,
         2,
         {0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 0, 4, 5, 6, 7, 8, 0, 1},
         S_OK,
         {{5, 6, 7, 8}, {1, 2, 3, 4}}},
        {"delta across and down, end of line goes on below it",
         1,
         4,
         3,
         {1, 1, 0, 2, 1, 1, 1, 2, 0, 0, 1, 3, 0, 1},
         S_OK,
         {{3, 0, 0, 0}, {0, 0, 2, 0}, {1, 0, 0, 0}}},
        {"filled, stops at an end of line",
         1,
         4,
         2,
         {4, 1, 0, 0, 4, 2, 0, 0},
         S_OK,
         {{2, 2, 2, 2}, {1, 1, 1, 1}}},
        {"stops after the last pixel", 1, 4, 2, {4, 1, 0, 0, 4, 2}, E_FAIL, {}},
        {"early end of bitmap leaves zeros",
         1,
         4,
         2,
         {2, 5, 0, 1},
         S_OK,
         {{0, 0, 0, 0}, {5, 5, 0, 0}}},
        {"top to bottom", 1, 4, -2, {4, 1, 0, 0, 4, 2, 0, 1}, S_OK, {{1, 1, 1, 1}, {2, 2, 2, 2}}},
        {"delta past the last row ends the image",
         1,
         4,
         2,
         {1, 1, 0, 2, 0, 5},
         S_OK,
         {{0, 0, 0, 0}, {1, 0, 0, 0}}},
        {"delta to the row end, then end of line",
         1,
         4,
         2,
         {0, 2, 4, 0, 0, 0, 4, 3, 0, 1},
         S_OK,
         {{3, 3, 3, 3}, {0, 0, 0, 0}}},
        {"run past the row end", 1, 4, 2, {5, 1, 0, 1}, E_FAIL, {}},
        {"run across the row end", 1, 4, 2, {3, 1, 2, 1, 0, 1}, E_FAIL, {}},
        {"run past the last row's end", 1, 4, -1, {3, 1, 2, 1, 0, 1}, E_FAIL, {}},
        {"absolute run past the row end", 1, 4, 2, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, E_FAIL, {}},
        {"absolute run past the data", 1, 4, 2, {0, 4, 1, 2, 3}, E_FAIL, {}},
        {"run after a delta past the row end", 1, 4, 2, {0, 2, 4, 0, 1, 1}, E_FAIL, {}},
        {"delta cut short", 1, 4, 2, {0, 2, 1}, E_FAIL, {}},
        {"one byte left", 1, 4, 2, {4, 1, 0}, E_FAIL, {}},
        {"no stream", 1, 4, 2, {}, E_FAIL, {}},
        {"nibble runs alternate",
         2,
         5,
         2,
         {5, 0x12, 0, 0, 3, 0xAB, 0, 1},
         S_OK,
         {{10, 11, 10, 0, 0}, {1, 2, 1, 2, 1}}},
        {"absolute nibble runs, padded",
         2,
         5,
         2,
         {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 0, 3, 0xCD, 0xE0, 0, 1},
         S_OK,
         {{12, 13, 14, 0, 0}, {1, 2, 3, 4, 5}}},
        {"nibble run past the row end", 2, 5, 2, {6, 0x12, 0, 1}, E_FAIL, {}},
        {"absolute nibble run past the data", 2, 5, 2, {0, 5, 0x12, 0x34}, E_FAIL, {}},
        {"absolute nibble run past the row end", 2, 5, 1, {0, 6, 0x12, 0x34, 0x56, 0}, E_FAIL, {}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpDescription description;
        description.width = c.width;
        description.height = c.height;
        description.bitsPerPixel = c.compression == 1 ? 8 : 4;
        description.compression = c.compression;
        description.coloursUsed = 1;
        description.palette = Palette(1);
        description.pixelBytes = c.stream;
        const ExactCopy copy(BuildDib(description));
        DecodedImage image;
        ASSERT_EQ(Read(&image, copy, false), c.result);
        if (c.result != S_OK) {
            continue;
        }
        EXPECT_EQ(image.format, D3DFMT_P8);
        EXPECT_EQ(image.rowPitch, (c.width + 3) / 4 * 4);
        EXPECT_EQ(image.pixels, image.ownedPixels.get());
        EXPECT_EQ(DecodedRows(image, static_cast<std::size_t>(c.width)), c.rows);
        EXPECT_TRUE(PaddingIsZero(image, static_cast<std::size_t>(c.width)));
        ExpectPalette(image, 1);
    }
}

Bytes Patched(Bytes bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return bytes;
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

BmpDescription Rgb2x2() {
    BmpDescription description;
    description.width = 2;
    description.height = 2;
    description.bitsPerPixel = 24;
    description.rows = {CountingRow(6, 0, false), CountingRow(6, 1, false)};
    return description;
}

template <typename Change>
Bytes Changed(Change change) {
    BmpDescription description = Rgb2x2();
    change(description);
    return BuildDib(description);
}

struct MalformedCase {
    const char* name;
    Bytes bytes;
    bool file;
};

std::vector<MalformedCase> MalformedCases() {
    const Bytes dib = BuildDib(Rgb2x2());
    const Bytes file = BuildBmpFile(Rgb2x2());
    const auto rle = [](std::uint32_t compression, std::uint16_t bits, std::int32_t width,
                        std::int32_t height) {
        return Changed([&](BmpDescription& d) {
            d.compression = compression;
            d.bitsPerPixel = bits;
            d.width = width;
            d.height = height;
            d.coloursUsed = 1;
            d.palette = Palette(1);
            d.rows = {};
            d.pixelBytes = {0, 1};
        });
    };
    return {
        {"file header cut", {'B', 'M', 0, 0}, true},
        {"wrong magic", Patched(file, 0, 0x4D58), true},
        {"file size past the data", Patched(file, 2, static_cast<std::uint32_t>(file.size() + 1)),
         true},
        {"file of a bad bitmap", Patched(file, 14, 13), true},
        {"header size cut", {40, 0, 0}, false},
        {"header size past the data", Cut(dib, 39), false},
        {"header size 13", Patched(dib, 0, 13), false},
        {"header size 39", Patched(dib, 0, 39), false},
        {"header size 0xFFFFFFFF", Patched(dib, 0, 0xFFFFFFFF), false},
        {"two planes", Changed([](BmpDescription& d) { d.planes = 2; }), false},
        {"0 bits", Changed([](BmpDescription& d) { d.bitsPerPixel = 0; }), false},
        {"2 bits", Changed([](BmpDescription& d) { d.bitsPerPixel = 2; }), false},
        {"64 bits", Changed([](BmpDescription& d) { d.bitsPerPixel = 64; }), false},
        {"bit fields in a 40-byte header", Changed([](BmpDescription& d) { d.compression = 3; }),
         false},
        {"bit fields of 8 bits", Changed([](BmpDescription& d) {
             d.headerSize = 56;
             d.compression = 3;
             d.bitsPerPixel = 8;
             d.palette = Palette(256);
         }),
         false},
        {"bit fields of 4 bits", Changed([](BmpDescription& d) {
             d.headerSize = 56;
             d.compression = 3;
             d.bitsPerPixel = 4;
             d.palette = Palette(16);
         }),
         false},
        {"compression 6", Changed([](BmpDescription& d) { d.compression = 6; }), false},
        {"JPEG", Changed([](BmpDescription& d) { d.compression = 4; }), false},
        {"PNG", Changed([](BmpDescription& d) { d.compression = 5; }), false},
        {"RLE8 of 4 bits", rle(1, 4, 2, 2), false},
        {"RLE8 of 24 bits", rle(1, 24, 2, 2), false},
        {"RLE4 of 8 bits", rle(2, 8, 2, 2), false},
        {"width 0", Changed([](BmpDescription& d) { d.width = 0; }), false},
        {"negative width", Changed([](BmpDescription& d) { d.width = -2; }), false},
        {"negative width, short header", Changed([](BmpDescription& d) {
             d.headerSize = 12;
             d.width = -2;
         }),
         false},
        {"height 0", Changed([](BmpDescription& d) { d.height = 0; }), false},
        {"height INT_MIN", Changed([](BmpDescription& d) { d.height = INT_MIN; }), false},
        {"height INT_MIN, run-length", rle(1, 8, 1, INT_MIN), false},
        {"width INT_MAX", Changed([](BmpDescription& d) { d.width = INT_MAX; }), false},
        {"width INT_MAX, 1 bit", Changed([](BmpDescription& d) {
             d.width = INT_MAX;
             d.bitsPerPixel = 1;
             d.palette = Palette(2);
         }),
         false},
        {"height INT_MAX", Changed([](BmpDescription& d) { d.height = INT_MAX; }), false},
        {"height -INT_MAX", Changed([](BmpDescription& d) { d.height = -INT_MAX; }), false},
        {"decoded image past 1 GiB", rle(1, 8, 0x8000, 0x8001), false},
        {"generic floats past 1 GiB", Changed([](BmpDescription& d) {
             d.headerSize = 56;
             d.compression = 3;
             d.bitsPerPixel = 16;
             d.masks = {1, 2, 4, 8};
             d.width = 0x4000;
             d.height = 0x1001;
         }),
         false},
        {"colours used 0xFFFFFFFF", Changed([](BmpDescription& d) { d.coloursUsed = 0xFFFFFFFF; }),
         false},
        {"palette past the data", Changed([](BmpDescription& d) {
             d.bitsPerPixel = 8;
             d.coloursUsed = 5;
             d.palette = Palette(2);
             d.rows = {};
         }),
         false},
        {"short header palette past the data", Changed([](BmpDescription& d) {
             d.headerSize = 12;
             d.bitsPerPixel = 8;
             d.palette = Palette(255);
             d.rows = {};
         }),
         false},
        {"last row one byte short", Cut(dib, dib.size() - 3), false},
        {"1-bit rows cut",
         Cut(Changed([](BmpDescription& d) {
                 d.bitsPerPixel = 1;
                 d.width = 40;
                 d.palette = Palette(2);
                 d.rows = {Bytes(5, 0xFF), Bytes(5, 0xFF)};
             }),
             40 + 8 + 4 + 4),
         false},
        {"read a byte late without the byte", Changed([](BmpDescription& d) {
             d.headerSize = 56;
             d.compression = 3;
             d.bitsPerPixel = 32;
             d.masks = {0xFF000000, 0xFF0000, 0xFF00, 0};
             d.rows = {Bytes(8, 1), Bytes(8, 2)};
         }),
         false},
    };
}

// Each malformed bitmap is refused, described or decoded, without a read
// outside its bytes.
TEST(BmpReaderTest, MalformedFilesFail) {
    diagnosticChannel = {};
    SetDebugOutputCapture([](const char*) {});
    for (const MalformedCase& c : MalformedCases()) {
        SCOPED_TRACE(c.name);
        const ExactCopy copy(c.bytes);
        for (const bool decode : {false, true}) {
            DecodedImage image;
            EXPECT_EQ(Read(&image, copy, c.file, decode), E_FAIL);
        }
    }
    SetDebugOutputCapture({});
}

// Cutting a bitmap without padding anywhere before its last byte makes it
// fail; a run-length stream fails until its last row is ended.
TEST(BmpReaderTest, EveryPrefixOfABitmapIsRefused) {
    const auto withRows = [](std::uint16_t bits, std::int32_t width, std::int32_t height,
                             std::size_t rowBytes) {
        BmpDescription d;
        d.width = width;
        d.height = height;
        d.bitsPerPixel = bits;
        if (bits <= 8) {
            d.palette = Palette(1u << bits);
        }
        for (std::int32_t y = 0; y < (height < 0 ? -height : height); ++y) {
            d.rows.push_back(CountingRow(rowBytes, static_cast<std::size_t>(y), true));
        }
        return d;
    };
    BmpDescription lateRead = withRows(32, 2, 2, 8);
    lateRead.headerSize = 56;
    lateRead.compression = 3;
    lateRead.masks = {0xFF000000, 0xFF0000, 0xFF00, 0};
    lateRead.pixelBytes = {0};
    BmpDescription generic = withRows(16, 2, -2, 4);
    generic.headerSize = 56;
    generic.compression = 3;
    generic.masks = {0xF, 0xF0, 0xF00, 0xF000};
    const BmpDescription bitmaps[] = {
        withRows(24, 4, 3, 12),
        withRows(24, 4, -3, 12),
        withRows(1, 32, 2, 4),
        withRows(4, 8, -2, 4),
        withRows(8, 4, 2, 4),
        lateRead,
        generic,
    };
    for (const BmpDescription& description : bitmaps) {
        SCOPED_TRACE(testing::Message() << description.bitsPerPixel << " bits");
        const Bytes dib = BuildDib(description);
        for (std::size_t size = 1; size <= dib.size(); ++size) {
            DecodedImage image;
            EXPECT_EQ(Read(&image, ExactCopy(Cut(dib, size)), false),
                      size == dib.size() ? S_OK : E_FAIL)
                << size;
        }
    }

    BmpDescription rle;
    rle.width = 4;
    rle.height = 2;
    rle.bitsPerPixel = 8;
    rle.compression = 1;
    rle.coloursUsed = 1;
    rle.palette = Palette(1);
    rle.pixelBytes = {4, 1, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 0, 1};
    const Bytes dib = BuildDib(rle);
    const std::size_t filled = dib.size() - 2;
    for (std::size_t size = 1; size <= dib.size(); ++size) {
        DecodedImage image;
        EXPECT_EQ(Read(&image, ExactCopy(Cut(dib, size)), false), size >= filled ? S_OK : E_FAIL)
            << size;
    }
}

// JPEG and PNG data inside a bitmap are named on the debug output.
TEST(BmpReaderTest, CompressedPayloadsAreNamed) {
    struct Case {
        std::uint32_t compression;
        const char* line;
    };
    const Case cases[] = {{4, "D3DX: LoadBMP: JPEG compression not supported\r\n"},
                          {5, "D3DX: LoadBMP: PNG compression not supported\r\n"}};
    for (const Case& c : cases) {
        diagnosticChannel = {};
        std::vector<std::string> lines;
        SetDebugOutputCapture([&lines](const char* text) { lines.emplace_back(text); });
        const ExactCopy copy(Changed([&](BmpDescription& d) { d.compression = c.compression; }));
        DecodedImage image;
        EXPECT_EQ(Read(&image, copy, false), E_FAIL);
        SetDebugOutputCapture({});
        EXPECT_EQ(lines, std::vector<std::string>{c.line});
    }
}

}  // namespace
