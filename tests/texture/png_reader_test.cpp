// The PNG reader on files written in memory: the format, pitch and bytes of
// every colour type and bit depth, interlaced or not, transparency, gamma and
// the palette; the files it refuses and what it says about them; the game's
// atlas through the dispatcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "texture/image_readers.h"
#include "texture/load_image.h"
#include "texture/png_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class PngReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
    }
    void TearDown() override { SetDebugOutputCapture({}); }

    // The library's lines, without the "D3DX: " prefix and line end.
    std::vector<std::string> Messages() const {
        std::vector<std::string> lines;
        for (const std::string& line : messages_) {
            lines.push_back(line.substr(6, line.size() - 8));
        }
        return lines;
    }

    std::vector<std::string> messages_;
};

HRESULT Load(DecodedImage* image, const Bytes& file, bool decode = true) {
    image->decode = decode;
    return LoadPNG(image, file.data(), static_cast<UINT>(file.size()));
}

Bytes DecodedBytes(const DecodedImage& image) {
    return Bytes(image.pixels, image.pixels + std::size_t{image.height} * image.rowPitch);
}

std::vector<PALETTEENTRY> Palette(std::vector<PALETTEENTRY> head) {
    head.resize(256, PALETTEENTRY{0xFF, 0xFF, 0xFF, 0xFF});
    return head;
}

// Entries as 0xRRGGBBFF words, which compare and print.
std::vector<std::uint32_t> Words(const PALETTEENTRY* entries) {
    std::vector<std::uint32_t> words;
    for (int i = 0; i < 256; ++i) {
        words.push_back(std::uint32_t{entries[i].peRed} << 24 | entries[i].peGreen << 16 |
                        entries[i].peBlue << 8 | entries[i].peFlags);
    }
    return words;
}

std::vector<png_color> Plte(int count) {
    std::vector<png_color> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i),
                           static_cast<png_byte>(i * 7)});
    }
    return entries;
}

PngLayout Layout(png_uint_32 width, int bitDepth, int colorType, Bytes rows) {
    PngLayout layout;
    layout.width = width;
    layout.height = 1;
    layout.bitDepth = bitDepth;
    layout.colorType = colorType;
    layout.rows = std::move(rows);
    return layout;
}

PngLayout WithKey(PngLayout layout, png_color_16 key) {
    layout.transparentColor = key;
    return layout;
}

PngLayout WithGamma(PngLayout layout, double gamma) {
    layout.gamma = gamma;
    return layout;
}

struct FormatCase {
    const char* name;
    PngLayout layout;
    D3DFORMAT format;
    Bytes pixels;  // one row, which is also the pitch
    std::vector<PALETTEENTRY> palette = {};
};

PngLayout PaletteLayout() {
    // 4 bits, 16 PLTE entries, 3 tRNS alphas; pixels 1, 15, 2.
    PngLayout layout = Layout(3, 4, PNG_COLOR_TYPE_PALETTE, {0x1F, 0x20});
    layout.palette = Plte(16);
    layout.transparentAlpha = {0x00, 0x80, 0xFE};
    return layout;
}

std::vector<PALETTEENTRY> PaletteEntries() {
    std::vector<PALETTEENTRY> entries;
    const BYTE alphas[3] = {0x00, 0x80, 0xFE};
    for (int i = 0; i < 16; ++i) {
        entries.push_back({static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i),
                           static_cast<BYTE>(i * 7), i < 3 ? alphas[i] : BYTE{0xFF}});
    }
    return entries;
}

PngLayout ShortPaletteLayout() {
    // 2 bits and two PLTE entries, pixels 0 to 3: indices 2 and 3 name no entry.
    PngLayout layout = Layout(4, 2, PNG_COLOR_TYPE_PALETTE, {0x1B});
    layout.palette = Plte(2);
    return layout;
}

PngLayout SrgbLayout() {
    PngLayout layout = Layout(1, 8, PNG_COLOR_TYPE_RGB, {0, 128, 255});
    layout.srgbIntent = PNG_sRGB_INTENT_PERCEPTUAL;
    return layout;
}

PngLayout GammaPaletteLayout() {
    PngLayout layout = Layout(2, 8, PNG_COLOR_TYPE_PALETTE, {1, 0});
    layout.palette = {{0, 64, 128}, {16, 200, 255}};
    layout.gamma = 1.0;
    return layout;
}

const std::vector<FormatCase>& FormatCases() {
    constexpr int kGrey = PNG_COLOR_TYPE_GRAY;
    constexpr int kGreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
    constexpr int kRgb = PNG_COLOR_TYPE_RGB;
    constexpr int kRgba = PNG_COLOR_TYPE_RGB_ALPHA;
    // A gamma of 1.0 on a 2.2 display: 64 -> 136, 128 -> 186.
    static const std::vector<FormatCase> cases = {
        {"Rgb8",
         Layout(2, 8, kRgb, {10, 20, 30, 40, 50, 60}),
         D3DFMT_X8R8G8B8,
         {30, 20, 10, 0xFF, 60, 50, 40, 0xFF}},
        {"Rgba8",
         Layout(2, 8, kRgba, {10, 20, 30, 40, 50, 60, 70, 80}),
         D3DFMT_A8R8G8B8,
         {30, 20, 10, 40, 70, 60, 50, 80}},
        {"Rgb8Keyed",
         WithKey(Layout(2, 8, kRgb, {10, 20, 30, 40, 50, 60}), {0, 40, 50, 60, 0}),
         D3DFMT_A8R8G8B8,
         {30, 20, 10, 0xFF, 60, 50, 40, 0}},
        {"Palette4", PaletteLayout(), D3DFMT_P8, {1, 15, 2}, Palette(PaletteEntries())},
        {"PaletteIndexPastPlte",
         ShortPaletteLayout(),
         D3DFMT_P8,
         {0, 1, 2, 3},
         Palette({{0, 255, 0, 0xFF}, {16, 254, 7, 0xFF}})},
        {"Grey16",
         Layout(2, 16, kGrey, {0x12, 0x34, 0xAB, 0xCD}),
         D3DFMT_L16,
         {0x34, 0x12, 0xCD, 0xAB}},
        {"Grey16Keyed",
         WithKey(Layout(2, 16, kGrey, {0x12, 0x34, 0xAB, 0xCD}), {0, 0, 0, 0, 0xABCD}),
         D3DFMT_PRIVATE_AL16,
         {0x34, 0x12, 0xFF, 0xFF, 0xCD, 0xAB, 0, 0}},
        {"Rgb16", Layout(1, 16, kRgb, {1, 2, 3, 4, 5, 6}), D3DFMT_PRIVATE_R16, {6, 5, 4, 3, 2, 1}},
        {"Rgb16Keyed",
         WithKey(Layout(2, 16, kRgb, {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 7}),
                 {0, 0x102, 0x304, 0x506, 0}),
         D3DFMT_A16B16G16R16,
         {2, 1, 4, 3, 6, 5, 0, 0, 2, 1, 4, 3, 7, 5, 0xFF, 0xFF}},
        {"Rgba16",
         Layout(1, 16, kRgba, {1, 2, 3, 4, 5, 6, 7, 8}),
         D3DFMT_A16B16G16R16,
         {2, 1, 4, 3, 6, 5, 8, 7}},
        {"Grey1",
         Layout(10, 1, kGrey, {0xA0, 0xC0}),
         D3DFMT_L8,
         {255, 0, 255, 0, 0, 0, 0, 0, 255, 255}},
        {"Grey2Keyed",
         WithKey(Layout(4, 2, kGrey, {0x1B}), {0, 0, 0, 0, 1}),
         D3DFMT_A8L8,
         {0, 0xFF, 0x55, 0, 0xAA, 0xFF, 0xFF, 0xFF}},
        {"Grey8", Layout(2, 8, kGrey, {7, 200}), D3DFMT_L8, {7, 200}},
        {"Grey8Keyed",
         WithKey(Layout(2, 8, kGrey, {7, 200}), {0, 0, 0, 0, 7}),
         D3DFMT_A8L8,
         {7, 0, 200, 0xFF}},
        {"GreyAlpha8", Layout(2, 8, kGreyAlpha, {7, 9, 200, 100}), D3DFMT_A8L8, {7, 9, 200, 100}},
        {"GreyAlpha16", Layout(1, 16, kGreyAlpha, {1, 2, 3, 4}), D3DFMT_PRIVATE_AL16, {2, 1, 4, 3}},
        {"Rgb8Gamma1",
         WithGamma(Layout(2, 8, kRgb, {0, 64, 128, 255, 1, 16}), 1.0),
         D3DFMT_X8R8G8B8,
         {186, 136, 0, 0xFF, 72, 21, 255, 0xFF}},
        {"Rgb8Srgb", SrgbLayout(), D3DFMT_X8R8G8B8, {255, 128, 0, 0xFF}},
        {"Palette8Gamma1",
         GammaPaletteLayout(),
         D3DFMT_P8,
         {1, 0},
         Palette({{0, 136, 186, 0xFF}, {72, 228, 255, 0xFF}})},
    };
    return cases;
}

// Every colour type and depth names its format and decodes to the bytes of
// that format, the same whether the file is interlaced or not, without a word
// from libpng.
TEST_F(PngReaderTest, FormatsAndBytesOfEveryKindOfFile) {
    for (const FormatCase& c : FormatCases()) {
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (interlaced ? " interlaced" : ""));
            PngLayout layout = c.layout;
            layout.interlaced = interlaced;
            const Bytes file = WritePng(layout);
            ASSERT_FALSE(file.empty());
            DecodedImage image;
            ASSERT_EQ(Load(&image, file), S_OK);
            EXPECT_EQ(image.format, c.format);
            EXPECT_EQ(image.width, layout.width);
            EXPECT_EQ(image.height, 1u);
            EXPECT_EQ(image.depth, 1u);
            EXPECT_EQ(image.rowPitch, static_cast<INT>(c.pixels.size()));
            EXPECT_EQ(image.slicePitch, 0);
            EXPECT_EQ(DecodedBytes(image), c.pixels);
            if (c.palette.empty()) {
                EXPECT_EQ(image.palette, nullptr);
            } else {
                ASSERT_NE(image.palette, nullptr);
                EXPECT_EQ(Words(image.palette), Words(c.palette.data()));
            }
            EXPECT_EQ(Messages(), std::vector<std::string>{});
        }
    }
}

// Several rows of an interlaced image land on their own rows, each pitch
// apart.
TEST_F(PngReaderTest, InterlacedRowsLandWhereTheNonInterlacedOnesDo) {
    PngLayout layout;
    layout.width = 13;
    layout.height = 11;
    layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (std::size_t i = 0; i < PngRowBytes(layout) * layout.height; ++i) {
        layout.rows.push_back(static_cast<std::uint8_t>(i * 37 + i / 52));
    }
    DecodedImage plain;
    ASSERT_EQ(Load(&plain, WritePng(layout)), S_OK);
    layout.interlaced = true;
    DecodedImage interlaced;
    ASSERT_EQ(Load(&interlaced, WritePng(layout)), S_OK);
    ASSERT_EQ(plain.rowPitch, 13 * 4);
    EXPECT_EQ(plain.pixels[10 * 52 + 12 * 4], layout.rows[10 * 52 + 12 * 4 + 2])
        << "blue of row 10, column 12";
    EXPECT_EQ(DecodedBytes(interlaced), DecodedBytes(plain));
}

// Without the decode flag the reader fills the format and the geometry and
// decodes nothing.
TEST_F(PngReaderTest, WithoutDecodingOnlyTheGeometryIsFilled) {
    for (const FormatCase& c : FormatCases()) {
        SCOPED_TRACE(c.name);
        DecodedImage image;
        ASSERT_EQ(Load(&image, WritePng(c.layout), false), S_OK);
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.width, c.layout.width);
        EXPECT_EQ(image.height, 1u);
        EXPECT_EQ(image.rowPitch, static_cast<INT>(c.pixels.size()));
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.palette, nullptr);
    }
}

Bytes Cut(const Bytes& file, std::size_t size) {
    return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes Concatenate(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A large random image whose compressed rows span many bytes.
Bytes NoisyRgbFile() {
    PngLayout layout;
    layout.width = 64;
    layout.height = 64;
    std::uint32_t state = 1;
    for (std::size_t i = 0; i < PngRowBytes(layout) * layout.height; ++i) {
        state = state * 1664525u + 1013904223u;
        layout.rows.push_back(static_cast<std::uint8_t>(state >> 24));
    }
    return WritePng(layout);
}

// A file cut anywhere from the signature to the last compressed row fails
// with libpng's "read error", raised when a read asks past the end.
TEST_F(PngReaderTest, AFileCutShortFailsWithReadError) {
    const Bytes file = NoisyRgbFile();
    ASSERT_GT(file.size(), 12000u);
    for (const std::size_t size : {std::size_t{4}, std::size_t{8}, std::size_t{20}, std::size_t{40},
                                   std::size_t{1000}, file.size() / 2, file.size() - 20}) {
        SCOPED_TRACE(size);
        messages_.clear();
        DecodedImage image;
        EXPECT_EQ(Load(&image, Cut(file, size)), E_FAIL);
        EXPECT_EQ(Messages(), std::vector<std::string>{"LoadPNG: read error"});
    }
    // The rows are complete once the last compressed chunk has been read.
    DecodedImage image;
    EXPECT_EQ(Load(&image, Cut(file, file.size() - 12)), S_OK);
}

// Through the dispatcher the failed PNG read is followed by the other
// readers, none of which takes the bytes.
TEST_F(PngReaderTest, TheDispatcherReportsACutFileAsUnsupported) {
    const Bytes file = Cut(NoisyRgbFile(), 1000);
    DecodedImage image;
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(LoadImageFromMemory(&image, file.data(), 1000, &info, true), D3DXERR_INVALIDDATA);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"LoadPNG: read error", "Unsupported file format"}));
    EXPECT_EQ(image.pixels, nullptr);
}

Bytes Iend() {
    return PngChunk("IEND", {});
}

// Files whose header promises more than the reader will take; none of them
// allocates anything. Their pixel buffers would pass the 1 GiB limit, and
// libpng is not let read past 1,000,000 pixels on a side.
TEST_F(PngReaderTest, OversizedImagesAreRefusedBeforeAnythingIsAllocated) {
    struct Case {
        png_uint_32 width;
        png_uint_32 height;
        bool describable;
        const char* message;
    };
    const Case cases[] = {
        {1000000, 1000000, true, nullptr},
        {16385, 16384, true, nullptr},
        {1000001, 1, false, "LoadPNG: Image width exceeds user limit in IHDR"},
        {1, 1000001, false, "LoadPNG: Image height exceeds user limit in IHDR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const Bytes file = Concatenate({PngHeader(c.width, c.height, 8, PNG_COLOR_TYPE_RGB_ALPHA),
                                        PngChunk("IDAT", {0x78, 0x9C}), Iend()});
        const std::vector<std::string> expected =
            c.message ? std::vector<std::string>{c.message, "LoadPNG: Invalid IHDR data"}
                      : std::vector<std::string>{};
        messages_.clear();
        DecodedImage image;
        EXPECT_EQ(Load(&image, file), E_FAIL);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(Messages(), expected);

        messages_.clear();
        DecodedImage described;
        EXPECT_EQ(Load(&described, file, false), c.describable ? S_OK : E_FAIL);
        if (c.describable) {
            EXPECT_EQ(described.width, c.width);
            EXPECT_EQ(described.height, c.height);
            EXPECT_EQ(described.rowPitch, static_cast<INT>(c.width * 4));
        }
        EXPECT_EQ(Messages(), expected);
    }
}

// A damaged ancillary chunk costs a warning and nothing else; bytes that are
// no PNG are refused without a word.
TEST_F(PngReaderTest, WarningsLetDecodingGoOnAndForeignBytesAreRefusedQuietly) {
    const PngLayout layout = Layout(2, 8, PNG_COLOR_TYPE_RGB, {10, 20, 30, 40, 50, 60});
    const Bytes file = WritePng(layout);
    Bytes text = PngChunk("tEXt", {'a', 0, 'b'});
    text.back() ^= 0xFF;
    const Bytes damaged = Concatenate({Cut(file, 33), text, Bytes(file.begin() + 33, file.end())});
    DecodedImage image;
    ASSERT_EQ(Load(&image, damaged), S_OK);
    EXPECT_EQ(DecodedBytes(image), (Bytes{30, 20, 10, 0xFF, 60, 50, 40, 0xFF}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"LoadPNG: tEXt: CRC error"});

    messages_.clear();
    for (const Bytes& foreign :
         {Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, Bytes{0x89}, Bytes{'B', 'M'}}) {
        DecodedImage refused;
        EXPECT_EQ(Load(&refused, foreign), E_FAIL);
    }
    EXPECT_EQ(Messages(), (std::vector<std::string>{"LoadPNG: read error"}))
        << "only the lone 0x89, which matches the signature as far as it goes, is read";
}

// The shape of the game's sprite atlas: 512 x 64 truecolour on an opaque
// white background, decoded through the dispatcher into X8R8G8B8 rows of
// blue, green, red, 0xFF.
TEST_F(PngReaderTest, TheAtlasShapeDecodesToExactX8R8G8B8Bytes) {
    constexpr png_uint_32 kWidth = 512;
    constexpr png_uint_32 kHeight = 64;
    PngLayout layout;
    layout.width = kWidth;
    layout.height = kHeight;
    layout.rows.assign(std::size_t{kWidth} * kHeight * 3, 0xFF);
    Bytes expected(std::size_t{kWidth} * kHeight * 4, 0xFF);
    // One 32 x 32 sprite per cell in the top row, each in its own colour.
    for (png_uint_32 y = 0; y < 32; ++y) {
        for (png_uint_32 x = 0; x < kWidth; ++x) {
            const png_uint_32 cell = x / 32;
            if ((x % 32) < 4 || (x % 32) >= 28) {
                continue;
            }
            const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(cell * 16),
                                         static_cast<std::uint8_t>(y * 8),
                                         static_cast<std::uint8_t>(255 - cell)};
            const std::size_t pixel = std::size_t{y} * kWidth + x;
            std::copy(rgb, rgb + 3, layout.rows.begin() + static_cast<std::ptrdiff_t>(pixel * 3));
            expected[pixel * 4 + 0] = rgb[2];
            expected[pixel * 4 + 1] = rgb[1];
            expected[pixel * 4 + 2] = rgb[0];
        }
    }
    const Bytes file = WritePng(layout);
    DecodedImage image;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), &info, true),
              S_OK);
    EXPECT_EQ(info.Width, kWidth);
    EXPECT_EQ(info.Height, kHeight);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(image.rowPitch, static_cast<INT>(kWidth * 4));
    EXPECT_EQ(image.box.Right, kWidth);
    EXPECT_EQ(image.box.Bottom, kHeight);
    EXPECT_TRUE(DecodedBytes(image) == expected);
    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

}  // namespace
