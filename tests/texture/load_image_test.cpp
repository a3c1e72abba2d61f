// The image dispatcher: its refusals and their messages, the description it
// hands back for the file it recognised, the record it leaves after readers
// that failed, and the calling thread's locale around the call.
#include "texture/load_image.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <png.h>
#include <cstring>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "support/decimal_comma_locale.h"
#include "texture/bmp_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class LoadImageTest : public testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { lines_.emplace_back(text); });
    }
    void TearDown() override { SetDebugOutputCapture({}); }

    std::vector<std::string> lines_;
};

BmpDescription Rgb3x2() {
    BmpDescription description;
    description.width = 3;
    description.height = 2;
    description.bitsPerPixel = 24;
    description.rows = {Bytes(9, 0x11), Bytes(9, 0x22)};
    return description;
}

// A bitmap file that passes every header check and fails in its run-length
// stream, after its palette and pixels were allocated.
Bytes DamagedRleFile() {
    BmpDescription description;
    description.width = 4;
    description.height = 2;
    description.bitsPerPixel = 8;
    description.compression = 1;
    description.coloursUsed = 1;
    description.palette = {0x123456};
    description.pixelBytes = {9, 1, 0, 1};
    return BuildBmpFile(description);
}

void ExpectEmpty(const DecodedImage& image) {
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.palette, nullptr);
    EXPECT_EQ(image.ownedPixels, nullptr);
    EXPECT_EQ(image.ownedPalette, nullptr);
    EXPECT_EQ(image.nextLevel, nullptr);
    EXPECT_EQ(image.nextFace, nullptr);
}

TEST_F(LoadImageTest, NoDataIsAnInvalidCall) {
    const Bytes bytes = BuildBmpFile(Rgb3x2());
    struct Case {
        const void* data;
        UINT size;
    };
    for (const Case& c : {Case{nullptr, static_cast<UINT>(bytes.size())}, Case{bytes.data(), 0}}) {
        lines_.clear();
        DecodedImage image;
        D3DXIMAGE_INFO info = {};
        EXPECT_EQ(LoadImageFromMemory(&image, c.data, c.size, &info, true), D3DERR_INVALIDCALL);
        EXPECT_EQ(lines_, std::vector<std::string>{
                              "D3DX: Source image data (pvSrcData or cbSrcData) is invalid\r\n"});
        ExpectEmpty(image);
    }
}

// Asked for neither pixels nor a description, the dispatcher reads nothing.
TEST_F(LoadImageTest, NothingAskedNothingRead) {
    const Bytes bytes(32, 0x5A);
    DecodedImage image;
    EXPECT_EQ(
        LoadImageFromMemory(&image, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, false),
        S_OK);
    EXPECT_TRUE(lines_.empty());
    EXPECT_EQ(image.format, D3DFMT_UNKNOWN);
    EXPECT_EQ(image.width, 0u);
}

// Bytes no reader accepts, and a bitmap whose stream is damaged after its
// buffers were made, end as invalid data with nothing left in the record and
// the description untouched.
TEST_F(LoadImageTest, UnrecognisedBytesAreInvalidData) {
    const Bytes text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    for (const Bytes& bytes : {text, DamagedRleFile()}) {
        lines_.clear();
        DecodedImage image;
        D3DXIMAGE_INFO info;
        std::memset(&info, 0xAB, sizeof(info));
        EXPECT_EQ(
            LoadImageFromMemory(&image, bytes.data(), static_cast<UINT>(bytes.size()), &info, true),
            D3DXERR_INVALIDDATA);
        EXPECT_EQ(lines_, std::vector<std::string>{"D3DX: Unsupported file format\r\n"});
        ExpectEmpty(image);
        EXPECT_EQ(info.Width, 0xABABABABu);
    }
}

// A bitmap file is recognised by the first reader and a bare bitmap by the
// last; the description and the boxes come from the image read.
TEST_F(LoadImageTest, DescribesTheImageRead) {
    BmpDescription palette = Rgb3x2();
    palette.bitsPerPixel = 8;
    palette.height = -2;
    palette.palette = {0x010203, 0x040506};
    palette.coloursUsed = 2;
    palette.rows = {{0, 1, 0}, {1, 1, 0}};
    struct Case {
        Bytes bytes;
        D3DFORMAT format;
        D3DXIMAGE_FILEFORMAT fileFormat;
    };
    const Case cases[] = {
        {BuildBmpFile(Rgb3x2()), D3DFMT_R8G8B8, D3DXIFF_BMP},
        {BuildDib(Rgb3x2()), D3DFMT_R8G8B8, D3DXIFF_DIB},
        {BuildBmpFile(palette), D3DFMT_P8, D3DXIFF_BMP},
        {BuildDib(palette), D3DFMT_P8, D3DXIFF_DIB},
    };
    for (const Case& c : cases) {
        for (const bool decode : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "file format " << c.fileFormat << (decode ? ", decoded" : ""));
            DecodedImage image;
            D3DXIMAGE_INFO info;
            std::memset(&info, 0xAB, sizeof(info));
            ASSERT_EQ(LoadImageFromMemory(&image, c.bytes.data(), static_cast<UINT>(c.bytes.size()),
                                          &info, decode),
                      S_OK);
            EXPECT_TRUE(lines_.empty());
            EXPECT_EQ(info.Width, 3u);
            EXPECT_EQ(info.Height, 2u);
            EXPECT_EQ(info.Depth, 1u);
            EXPECT_EQ(info.MipLevels, 1u);
            EXPECT_EQ(info.Format, c.format);
            EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
            EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
            EXPECT_EQ(image.fileFormat, c.fileFormat);
            EXPECT_EQ(image.box.Right, 3u);
            EXPECT_EQ(image.box.Bottom, 2u);
            EXPECT_EQ(image.box.Back, 1u);
            EXPECT_EQ(image.box.Left + image.box.Top + image.box.Front, 0u);
            EXPECT_EQ(image.pixels != nullptr, decode);
            EXPECT_EQ(image.palette != nullptr, decode && c.format == D3DFMT_P8);
        }
    }
}

// A one-row run-length bitmap width pixels wide, a few kilobytes long.
Bytes WideRleFile(UINT width) {
    BmpDescription description;
    description.width = static_cast<std::int32_t>(width);
    description.height = 1;
    description.bitsPerPixel = 8;
    description.compression = 1;
    description.coloursUsed = 1;
    description.palette = {0x123456};
    for (UINT left = width; left > 0;) {
        const UINT run = left < 255 ? left : 255;
        description.pixelBytes.push_back(static_cast<std::uint8_t>(run));
        description.pixelBytes.push_back(0);
        left -= run;
    }
    description.pixelBytes.insert(description.pixelBytes.end(), {0, 1});
    return BuildBmpFile(description);
}

// Images wider than the side limit can be described but are not decoded,
// whichever reader recognised them: a short run-length file would otherwise
// grow into buffers and filter tables far beyond its own size.
TEST_F(LoadImageTest, DecodesNoImageBeyondTheSideLimit) {
    for (const UINT width : {kMaxImageSide, kMaxImageSide + 1}) {
        const Bytes file = WideRleFile(width);
        for (const bool decode : {false, true}) {
            SCOPED_TRACE(testing::Message() << width << (decode ? " decoded" : " described"));
            const bool refused = decode && width > kMaxImageSide;
            lines_.clear();
            DecodedImage image;
            D3DXIMAGE_INFO info = {};
            EXPECT_EQ(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()),
                                          &info, decode),
                      refused ? D3DXERR_INVALIDDATA : S_OK);
            EXPECT_EQ(info.Width, refused ? 0u : width);
            EXPECT_EQ(image.pixels != nullptr, decode && !refused);
            EXPECT_EQ(lines_, refused ? std::vector<std::string>{"D3DX: Image larger than 1000000 "
                                                                 "pixels on a side\r\n"}
                                      : std::vector<std::string>{});
        }
    }
}

// A PNG of 16-bit grey and alpha samples, which its reader delivers in the
// private format "AL16".
Bytes GreyAlpha16Png() {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = 2;
    png.height = 1;
    png.format = PNG_FORMAT_LINEAR_Y_ALPHA;
    const std::uint16_t samples[] = {0x1234, 0xFFFF, 0xABCD, 0x8000};
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&png, nullptr, &size, 0, samples, 0, nullptr) == 0) {
        return {};
    }
    Bytes bytes(size);
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, samples, 0, nullptr) == 0) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

// The description names the public format of a reader's private one.
TEST_F(LoadImageTest, DescriptionMapsPrivateFormats) {
    const Bytes png = GreyAlpha16Png();
    ASSERT_FALSE(png.empty());
    DecodedImage image;
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(LoadImageFromMemory(&image, png.data(), static_cast<UINT>(png.size()), &info, false),
              S_OK);
    EXPECT_EQ(image.format, D3DFMT_PRIVATE_AL16);
    EXPECT_EQ(info.Format, D3DFMT_A8L8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(info.Height, 1u);
}

void LoadEach() {
    const Bytes good = BuildBmpFile(Rgb3x2());
    const Bytes bad = DamagedRleFile();
    for (const Bytes* bytes : {&good, &bad}) {
        DecodedImage image;
        D3DXIMAGE_INFO info;
        LoadImageFromMemory(&image, bytes->data(), static_cast<UINT>(bytes->size()), &info, true);
    }
}

// The thread's own locale object is its locale again after a load that
// succeeded and after one that failed.
TEST_F(LoadImageTest, ThreadLocaleUnchanged) {
    const locale_t before = uselocale(static_cast<locale_t>(nullptr));
    LoadEach();
    EXPECT_EQ(uselocale(static_cast<locale_t>(nullptr)), before);
}

// A thread running a decimal-comma locale keeps it, and its decimal comma.
TEST_F(LoadImageTest, DecimalCommaLocaleKept) {
    const locale_t comma = NewDecimalCommaLocale();
    ASSERT_NE(comma, static_cast<locale_t>(nullptr)) << kNoDecimalCommaLocale;
    const locale_t previous = uselocale(comma);
    LoadEach();
    const locale_t after = uselocale(static_cast<locale_t>(nullptr));
    const std::string point = localeconv()->decimal_point;
    uselocale(previous);
    freelocale(comma);
    EXPECT_EQ(after, comma);
    EXPECT_EQ(point, ",");
}

}  // namespace
