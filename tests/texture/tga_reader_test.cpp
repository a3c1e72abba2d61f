// The Targa reader on files built in memory: every image type, depth, row and
// column order and encoding against known pixels; the colour map rules; the
// 16-bit alpha rule; run-length packets that cross a row's end; the headers
// it refuses and files cut short anywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "texture/image_readers.h"
#include "texture/load_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Targa {
    BYTE mapType = 0;
    BYTE imageType = 2;
    UINT firstIndex = 0;
    UINT mapLength = 0;
    BYTE mapBits = 0;
    UINT width = 1;
    UINT height = 1;
    BYTE depth = 24;
    BYTE descriptor = 0;
    Bytes id;
    Bytes map;
    Bytes data;
};

void PutWord(Bytes* out, UINT value) {
    out->push_back(static_cast<BYTE>(value));
    out->push_back(static_cast<BYTE>(value >> 8));
}

Bytes File(const Targa& t) {
    Bytes file = {static_cast<BYTE>(t.id.size()), t.mapType, t.imageType};
    PutWord(&file, t.firstIndex);
    PutWord(&file, t.mapLength);
    file.push_back(t.mapBits);
    file.insert(file.end(), {1, 0, 2, 0});  // origin, not used
    PutWord(&file, t.width);
    PutWord(&file, t.height);
    file.insert(file.end(), {t.depth, t.descriptor});
    for (const Bytes* part : {&t.id, &t.map, &t.data}) {
        file.insert(file.end(), part->begin(), part->end());
    }
    return file;
}

// The pixels of display-order rows (top first, left first) in the file's
// order for descriptor, raw or in packets: a run for two or more equal
// neighbours, literals otherwise.
Bytes Encode(const std::vector<Bytes>& pixels, UINT width, UINT height, BYTE descriptor,
             bool runLength) {
    Bytes data;
    for (UINT r = 0; r < height; ++r) {
        const UINT y = (descriptor & 0x20) != 0 ? r : height - 1 - r;
        std::vector<Bytes> row;
        for (UINT c = 0; c < width; ++c) {
            row.push_back(pixels[y * width + ((descriptor & 0x10) != 0 ? width - 1 - c : c)]);
        }
        for (UINT x = 0; x < width;) {
            UINT same = 1;
            while (x + same < width && row[x + same] == row[x]) {
                ++same;
            }
            if (!runLength) {
                data.insert(data.end(), row[x].begin(), row[x].end());
                ++x;
            } else if (same > 1) {
                data.push_back(static_cast<BYTE>(0x80 | (same - 1)));
                data.insert(data.end(), row[x].begin(), row[x].end());
                x += same;
            } else {
                data.push_back(0);
                data.insert(data.end(), row[x].begin(), row[x].end());
                ++x;
            }
        }
    }
    return data;
}

Bytes Concatenated(const std::vector<Bytes>& pixels) {
    Bytes bytes;
    for (const Bytes& p : pixels) {
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

HRESULT Load(DecodedImage* image, const Bytes& file, bool decode = true) {
    image->decode = decode;
    return LoadTGA(image, file.data(), static_cast<UINT>(file.size()));
}

Bytes DecodedBytes(const DecodedImage& image) {
    return Bytes(image.pixels, image.pixels + std::size_t{image.height} * image.rowPitch);
}

struct PixelKind {
    const char* name;
    BYTE imageType;
    BYTE depth;
    D3DFORMAT format;
};

const PixelKind kKinds[] = {
    {"ColourMapped8", 1, 8, D3DFMT_P8},       {"TrueColour15", 2, 15, D3DFMT_X1R5G5B5},
    {"TrueColour16", 2, 16, D3DFMT_A1R5G5B5}, {"TrueColour24", 2, 24, D3DFMT_R8G8B8},
    {"TrueColour32", 2, 32, D3DFMT_A8R8G8B8}, {"Grey8", 3, 8, D3DFMT_L8},
};

class TgaLayoutTest : public ::testing::TestWithParam<std::tuple<PixelKind, BYTE, bool>> {};

TEST_P(TgaLayoutTest, PixelsLandInDisplayOrder) {
    const auto& [kind, descriptor, runLength] = GetParam();
    constexpr UINT kWidth = 5;
    constexpr UINT kHeight = 3;
    const UINT bytesPerPixel = (kind.depth + 7u) / 8u;
    // Neighbours in pairs share a value, so the packets hold runs and literals.
    std::vector<Bytes> pixels;
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const UINT k = x / 2 + y * 3;
            Bytes pixel;
            for (UINT j = 0; j < bytesPerPixel; ++j) {
                pixel.push_back(static_cast<BYTE>(k * 37 + j * 11 + 1));
            }
            pixels.push_back(pixel);
        }
    }
    Targa t;
    t.imageType = static_cast<BYTE>(kind.imageType | (runLength ? 8 : 0));
    t.width = kWidth;
    t.height = kHeight;
    t.depth = kind.depth;
    t.descriptor = descriptor;
    t.id = {'i', 'd', '!'};
    if (kind.imageType == 1) {
        t.mapType = 1;
        t.mapLength = 256;
        t.mapBits = 24;
        t.map = Bytes(256 * 3, 0x40);
    }
    t.data = Encode(pixels, kWidth, kHeight, descriptor, runLength);
    const Bytes file = File(t);

    DecodedImage image;
    ASSERT_EQ(Load(&image, file), S_OK);
    EXPECT_EQ(image.format, kind.format);
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    EXPECT_EQ(image.depth, 1u);
    EXPECT_EQ(image.rowPitch, static_cast<INT>(kWidth * bytesPerPixel));
    EXPECT_EQ(image.slicePitch, 0);
    EXPECT_EQ(DecodedBytes(image), Concatenated(pixels));
    EXPECT_EQ(image.palette != nullptr, kind.format == D3DFMT_P8);
    const bool inPlace = !runLength && descriptor == 0x20;
    EXPECT_EQ(image.ownedPixels == nullptr, inPlace);
    if (inPlace) {
        EXPECT_EQ(image.pixels, file.data() + 18 + t.id.size() + t.map.size());
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TgaLayoutTest,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::Values(0x00, 0x10, 0x20, 0x30),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "Descriptor" +
                                    std::to_string(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "RunLength" : "Raw");
                         });

// A colour-mapped 1 x 1 image whose map of length entries of bits bits starts
// at slot first.
Bytes MappedFile(BYTE bits, UINT first, UINT length, Bytes map) {
    Targa t;
    t.mapType = 1;
    t.imageType = 1;
    t.firstIndex = first;
    t.mapLength = length;
    t.mapBits = bits;
    t.depth = 8;
    t.map = std::move(map);
    t.data = {static_cast<BYTE>(first)};
    return File(t);
}

// Entries as 0xRRGGBBAA words, which compare and print.
std::vector<std::uint32_t> Words(const PALETTEENTRY* entries) {
    std::vector<std::uint32_t> words;
    for (int i = 0; i < 256; ++i) {
        words.push_back(std::uint32_t{entries[i].peRed} << 24 | entries[i].peGreen << 16 |
                        entries[i].peBlue << 8 | entries[i].peFlags);
    }
    return words;
}

TEST(TgaReaderTest, ColourMapsFillTheirSlotsAndLeaveTheRestOpaqueWhite) {
    Bytes map24;
    std::vector<std::uint32_t> slots24;
    for (UINT i = 0; i < 20; ++i) {
        map24.insert(map24.end(), {static_cast<BYTE>(i), static_cast<BYTE>(i * 2 + 1), 0xC0});
        slots24.push_back(0xC0000000u | (i * 2 + 1) << 16 | i << 8 | 0xFF);
    }
    struct Case {
        const char* name;
        Bytes file;
        UINT first;
        std::vector<std::uint32_t> slots;
    };
    const Case cases[] = {
        {"24-bit map from slot 10", MappedFile(24, 10, 20, map24), 10, slots24},
        {"32-bit map with all alphas 0 is opaque",
         MappedFile(32, 0, 2, {1, 2, 3, 0, 4, 5, 6, 0}),
         0,
         {0x030201FF, 0x060504FF}},
        {"32-bit map with one alpha keeps its alphas",
         MappedFile(32, 0, 2, {1, 2, 3, 0, 4, 5, 6, 9}),
         0,
         {0x03020100, 0x06050409}},
        {"16-bit map widens fives and takes bit 15 as alpha",
         MappedFile(16, 3, 3, {0x1F, 0x80, 0x21, 0x04, 0xEF, 0x3D}),
         3,
         {0x0000FFFF, 0x08080800, 0x7B7B7B00}},
        {"16-bit map with no bit 15 is opaque",
         MappedFile(16, 0, 1, {0x00, 0x7C}),
         0,
         {0xFF0000FF}},
        {"15-bit map is opaque", MappedFile(15, 0, 1, {0xE0, 0x83}), 0, {0x00FF00FF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedImage image;
        ASSERT_EQ(Load(&image, c.file), S_OK);
        ASSERT_NE(image.ownedPalette, nullptr);
        std::vector<std::uint32_t> expected(256, 0xFFFFFFFFu);
        std::copy(c.slots.begin(), c.slots.end(), expected.begin() + c.first);
        EXPECT_EQ(Words(image.palette), expected);
    }
}

TEST(TgaReaderTest, AMapPastSlot255IsRefusedWhenDecoding) {
    const Bytes file = MappedFile(24, 250, 7, Bytes(21, 0x10));
    DecodedImage described;
    EXPECT_EQ(Load(&described, file, false), S_OK);
    DecodedImage decoded;
    EXPECT_EQ(Load(&decoded, file), E_FAIL);
    DecodedImage fits;
    EXPECT_EQ(Load(&fits, MappedFile(24, 250, 6, Bytes(18, 0x10))), S_OK);
}

TEST(TgaReaderTest, SixteenBitImagesWithoutTheTopBitAreX1R5G5B5OnDecoding) {
    for (const BYTE descriptor : {0x00, 0x20}) {
        for (const BYTE topByte : {0x7F, 0x80}) {
            Targa t;
            t.width = 2;
            t.depth = 16;
            t.descriptor = descriptor;
            t.data = {0xFF, 0x7F, 0x34, topByte};
            const Bytes file = File(t);
            DecodedImage described;
            ASSERT_EQ(Load(&described, file, false), S_OK);
            EXPECT_EQ(described.format, D3DFMT_A1R5G5B5);
            DecodedImage decoded;
            ASSERT_EQ(Load(&decoded, file), S_OK);
            EXPECT_EQ(decoded.format, topByte == 0x80 ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5);
        }
    }
}

TEST(TgaReaderTest, PacketsCrossingARowEndStoreOnlyTheRowsPixels) {
    Targa t;
    t.imageType = 10;
    t.width = 5;
    t.height = 3;
    t.depth = 24;
    t.descriptor = 0x20;
    t.data = {
        0x01, 1, 1, 1, 2, 2, 2,                    // literal A B
        0xFF, 3, 3, 3,                             // run of 128 C: 3 stored, 125 dropped
        0x82, 4, 4, 4,                             // row 2 starts anew: D D D
        0x03, 5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8,  // literal E F G H: G H dropped
        0x84, 9, 9, 9,                             // row 3: five I
    };
    DecodedImage image;
    ASSERT_EQ(Load(&image, File(t)), S_OK);
    const Bytes expected = {1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4,
                            4, 5, 5, 5, 6, 6, 6, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(DecodedBytes(image), expected);
}

TEST(TgaReaderTest, HeadersOutsideTheFormatAreRefused) {
    const auto with = [](auto change) {
        Targa t;
        t.width = 2;
        t.data = Bytes(6, 0x55);
        change(t);
        return File(t);
    };
    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {
        {"image type 0", with([](Targa& t) { t.imageType = 0; })},
        {"run-length type without image", with([](Targa& t) { t.imageType = 8; })},
        {"image type bit 2", with([](Targa& t) { t.imageType = 6; })},
        {"image type bit 5", with([](Targa& t) { t.imageType = 0x22; })},
        {"colour map type 2", with([](Targa& t) { t.mapType = 2; })},
        {"width 0", with([](Targa& t) { t.width = 0; })},
        {"height 0", with([](Targa& t) { t.height = 0; })},
        {"colour-mapped without a map", with([](Targa& t) { t.imageType = 1, t.depth = 8; })},
        {"map entries of 8 bits",
         with([](Targa& t) { t.mapType = 1, t.imageType = 1, t.depth = 8, t.mapBits = 8; })},
        {"true colour of 8 bits", with([](Targa& t) { t.depth = 8; })},
        {"grey of 16 bits", with([](Targa& t) { t.imageType = 3, t.depth = 16; })},
        {"image ID past the end",
         Bytes({3, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 1, 2})},
        {"colour map past the end", with([](Targa& t) { t.mapLength = 3, t.mapBits = 24; })},
        {"header cut short", Bytes(17, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool decode : {false, true}) {
            DecodedImage image;
            EXPECT_EQ(Load(&image, c.file, decode), E_FAIL);
        }
    }
}

// Files with every byte needed: any shorter prefix fails when decoding,
// without reading past its end.
TEST(TgaReaderTest, EveryPrefixOfAFileIsRefused) {
    Targa runLength;
    runLength.imageType = 10;
    runLength.width = 4;
    runLength.height = 2;
    runLength.descriptor = 0x10;
    runLength.data = {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7,    8, 9, 0x02, 1,
                      1,    1, 2, 2, 2,    3, 3, 3, 0x80, 7, 7, 7};
    Targa raw;
    raw.width = 3;
    raw.height = 2;
    raw.descriptor = 0x20;
    raw.data = Bytes(18, 0x21);
    for (const Targa& t : {runLength, raw}) {
        const Bytes file = File(t);
        DecodedImage whole;
        ASSERT_EQ(Load(&whole, file), S_OK);
        for (std::size_t size = 0; size < file.size(); ++size) {
            const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
            DecodedImage image;
            EXPECT_EQ(Load(&image, prefix), E_FAIL) << size;
        }
    }
}

// A run-length stream too short to hold one packet per 128 pixels of every
// row is refused before the header's 64 MiB are allocated; one byte more
// fills the image with runs of 128.
TEST(TgaReaderTest, RunLengthDataTooShortForTheHeaderIsRefusedBeforeAllocating) {
    Targa t;
    t.imageType = 10;
    t.depth = 32;
    t.width = 4096;
    t.height = 4096;
    const std::size_t needed = 4096 * 32 * 5;
    t.data.resize(needed - 1);
    for (std::size_t i = 0; i < t.data.size(); i += 5) {
        t.data[i] = 0xFF;
    }
    DecodedImage shortImage;
    EXPECT_EQ(Load(&shortImage, File(t)), E_FAIL);
    EXPECT_EQ(shortImage.ownedPixels, nullptr);
    t.data.push_back(0);
    DecodedImage enough;
    EXPECT_EQ(Load(&enough, File(t)), S_OK);
    EXPECT_NE(enough.ownedPixels, nullptr);
}

TEST(TgaReaderTest, TheDispatcherNamesTheFileTarga) {
    Targa t;
    t.imageType = 3;
    t.depth = 8;
    t.width = 3;
    t.height = 2;
    t.data = {1, 2, 3, 4, 5, 6};
    const Bytes file = File(t);
    DecodedImage image;
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), &info, true),
              S_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    EXPECT_EQ(DecodedBytes(image), Bytes({4, 5, 6, 1, 2, 3}));
}

}  // namespace
