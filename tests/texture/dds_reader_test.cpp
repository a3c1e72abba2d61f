// The DDS reader on files built in memory: the pixel-format block each
// format is recognised from, the level, face and volume chains with their
// pitches and their places in the file, and the refusal of damaged headers
// and short data without a read outside the file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "texture/dds_writer.h"
#include "texture/image_readers.h"
#include "texture/load_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DdsReaderTest : public testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { lines_.emplace_back(text); });
    }
    void TearDown() override { SetDebugOutputCapture({}); }

    // Reads a copy of file that ends exactly where the file does, so that a
    // read past the end is a heap overflow for the sanitizer.
    static HRESULT Read(const Bytes& file, DecodedImage* image) {
        const std::unique_ptr<BYTE[]> copy(new BYTE[file.size()]);
        std::memcpy(copy.get(), file.data(), file.size());
        image->decode = true;
        const HRESULT hr = LoadDDS(image, copy.get(), static_cast<UINT>(file.size()));
        image->pixels = nullptr;  // the copy is gone
        return hr;
    }

    std::vector<std::string> lines_;
};

struct FormatCase {
    std::uint32_t flags;
    std::uint32_t fourCC;
    std::uint32_t bits;
    std::array<std::uint32_t, 4> masks;
    D3DFORMAT expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << "flags " << std::hex << c.flags << " format " << std::dec << c.expected;
}

constexpr std::uint32_t F(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(MAKEFOURCC(a, b, c, d));
}

// Every row of the format table, in its order, plus the cases where a field
// a row does not compare holds anything at all.
const FormatCase kFormats[] = {
    {0x40, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8},
    {0x41, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8},
    {0x40, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8},
    {0x40, 0, 16, {0xF800, 0x7E0, 0x1F, 0}, D3DFMT_R5G6B5},
    {0x40, 0, 16, {0x7C00, 0x3E0, 0x1F, 0}, D3DFMT_X1R5G5B5},
    {0x41, 0, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_A1R5G5B5},
    {0x41, 0, 16, {0xF00, 0xF0, 0xF, 0xF000}, D3DFMT_A4R4G4B4},
    {0x40, 0, 8, {0xE0, 0x1C, 0x3, 0}, D3DFMT_R3G3B2},
    {0x2, 0, 8, {0, 0, 0, 0xFF}, D3DFMT_A8},
    {0x41, 0, 16, {0xE0, 0x1C, 0x3, 0xFF00}, D3DFMT_A8R3G3B2},
    {0x40, 0, 16, {0xF00, 0xF0, 0xF, 0}, D3DFMT_X4R4G4B4},
    {0x41, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, D3DFMT_A2B10G10R10},
    {0x41, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_A8B8G8R8},
    {0x40, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8B8G8R8},
    {0x40, 0, 32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_G16R16},
    {0x41, 0, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2R10G10B10},
    {0x21, 0, 16, {0, 0, 0, 0xFF00}, D3DFMT_A8P8},
    {0x20, 0, 8, {0, 0, 0, 0}, D3DFMT_P8},
    {0x20000, 0, 8, {0xFF, 0, 0, 0}, D3DFMT_L8},
    {0x20001, 0, 16, {0xFF, 0, 0, 0xFF00}, D3DFMT_A8L8},
    {0x20001, 0, 8, {0xF, 0, 0, 0xF0}, D3DFMT_A4L4},
    {0x20000, 0, 16, {0xFFFF, 0, 0, 0}, D3DFMT_L16},
    {0x80000, 0, 16, {0xFF, 0xFF00, 0, 0}, D3DFMT_V8U8},
    {0x40000, 0, 16, {0x1F, 0x3E0, 0xFC00, 0}, D3DFMT_L6V5U5},
    {0x40000, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8L8V8U8},
    {0x80000, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_Q8W8V8U8},
    {0x80000, 0, 32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_V16U16},
    {0x80001, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, D3DFMT_A2W10V10U10},
    {0x4, F('U', 'Y', 'V', 'Y'), 0, {}, D3DFMT_UYVY},
    {0x4, F('R', 'G', 'B', 'G'), 0, {}, D3DFMT_R8G8_B8G8},
    {0x4, F('Y', 'U', 'Y', '2'), 0, {}, D3DFMT_YUY2},
    {0x4, F('G', 'R', 'G', 'B'), 0, {}, D3DFMT_G8R8_G8B8},
    {0x4, F('D', 'X', 'T', '1'), 0, {}, D3DFMT_DXT1},
    {0x4, F('D', 'X', 'T', '2'), 0, {}, D3DFMT_DXT2},
    {0x4, F('D', 'X', 'T', '3'), 0, {}, D3DFMT_DXT3},
    {0x4, F('D', 'X', 'T', '4'), 0, {}, D3DFMT_DXT4},
    {0x4, F('D', 'X', 'T', '5'), 0, {}, D3DFMT_DXT5},
    {0x400, 0, 16, {0, 0xFFFF, 0, 0}, D3DFMT_D16_LOCKABLE},
    {0x4, 82, 0, {}, D3DFMT_D32F_LOCKABLE},
    {0x4, 36, 0, {}, D3DFMT_A16B16G16R16},
    {0x4, 110, 0, {}, D3DFMT_Q16W16V16U16},
    {0x4, 111, 0, {}, D3DFMT_R16F},
    {0x4, 112, 0, {}, D3DFMT_G16R16F},
    {0x4, 113, 0, {}, D3DFMT_A16B16G16R16F},
    {0x4, 114, 0, {}, D3DFMT_R32F},
    {0x4, 115, 0, {}, D3DFMT_G32R32F},
    {0x4, 116, 0, {}, D3DFMT_A32B32G32R32F},
    {0x4, 117, 0, {}, D3DFMT_CxV8U8},
    // Fields outside a row's compared set do not matter.
    {0x40, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_X8R8G8B8},
    {0x20001, 0, 99, {0xF, 0x1234, 0x5678, 0xF0}, D3DFMT_A4L4},
    {0x44, F('D', 'X', 'T', '5'), 24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_DXT5},
    {0xFFFFFFFF, F('D', 'X', 'T', '1'), 7, {1, 2, 3, 4}, D3DFMT_DXT1},
    {0x400, 0, 16, {0x1, 0xFFFF, 0x2, 0x3}, D3DFMT_D16_LOCKABLE},
    // No row.
    {0x41, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_UNKNOWN},
    {0x40, 0, 24, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_UNKNOWN},
    {0x4, F('D', 'X', 'T', '6'), 0, {}, D3DFMT_UNKNOWN},
    {0x4, 21, 0, {}, D3DFMT_UNKNOWN},
    {0x20000, 0, 8, {0xF, 0, 0, 0}, D3DFMT_UNKNOWN},
    {0x0, 0, 0, {}, D3DFMT_UNKNOWN},
};

class DdsFormatTest : public DdsReaderTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(DdsFormatTest, PixelFormatBlockNamesTheFormat) {
    const FormatCase& c = GetParam();
    DdsDescription d;
    d.width = 2;
    d.height = 2;
    d.pixelFlags = c.flags;
    d.fourCC = c.fourCC;
    d.bitCount = c.bits;
    d.masks = c.masks;
    // Room for a 2 x 2 level of every format, after a palette.
    d.palette = PatternBytes(1024);
    d.pixels = PatternBytes(64);
    DecodedImage image;
    const HRESULT hr = Read(BuildDds(d), &image);
    if (c.expected == D3DFMT_UNKNOWN) {
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_EQ(lines_,
                  std::vector<std::string>{"D3DX: Unrecognized pixel format in DDS file.\r\n"});
        return;
    }
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(image.format, c.expected);
    EXPECT_TRUE(lines_.empty());
    // A pixel-format block of any other size matches no row.
    d.pixelFormatSize = 31;
    DecodedImage refused;
    EXPECT_EQ(Read(BuildDds(d), &refused), E_FAIL);
}

INSTANTIATE_TEST_SUITE_P(Table, DdsFormatTest, testing::ValuesIn(kFormats));

// One level as the reader should describe it.
struct LevelShape {
    UINT width, height, depth;
    INT rowPitch, slicePitch;
};

struct LayoutCase {
    const char* name;
    DdsDescription file;
    D3DFORMAT format;
    D3DRESOURCETYPE type;
    UINT faces;
    std::vector<LevelShape> levels;
    // Bytes after the header (and the palette) that the faces need.
    std::uint64_t need;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

DdsDescription Uncompressed(std::uint32_t flags, std::uint32_t bits,
                            std::array<std::uint32_t, 4> masks, std::uint32_t width,
                            std::uint32_t height, std::uint32_t mipCount) {
    DdsDescription d;
    d.pixelFlags = flags;
    d.bitCount = bits;
    d.masks = masks;
    d.width = width;
    d.height = height;
    d.mipCount = mipCount;
    return d;
}

DdsDescription Volume(DdsDescription d, std::uint32_t depth) {
    d.headerFlags |= kDdsVolumeFlag;
    d.depth = depth;
    return d;
}

DdsDescription Cube(DdsDescription d) {
    d.caps2 = 0x200 | kDdsAllCubeFaces;
    return d;
}

DdsDescription P8(std::uint32_t width, std::uint32_t height) {
    DdsDescription d = Uncompressed(0x20, 8, {}, width, height, 2);
    d.palette = PatternBytes(1024, 5);
    return d;
}

constexpr std::array<std::uint32_t, 4> kArgbMasks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

const LayoutCase kLayouts[] = {
    {"Dxt1Chain256",
     FourCCDds(F('D', 'X', 'T', '1'), 256, 256, 9),
     D3DFMT_DXT1,
     D3DRTYPE_TEXTURE,
     1,
     {{256, 256, 1, 512, 32768},
      {128, 128, 1, 256, 8192},
      {64, 64, 1, 128, 2048},
      {32, 32, 1, 64, 512},
      {16, 16, 1, 32, 128},
      {8, 8, 1, 16, 32},
      {4, 4, 1, 8, 8},
      {2, 2, 1, 8, 8},
      {1, 1, 1, 8, 8}},
     32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8},
    {"MipCountZeroIsOneLevel",
     FourCCDds(F('D', 'X', 'T', '5'), 8, 4, 0),
     D3DFMT_DXT5,
     D3DRTYPE_TEXTURE,
     1,
     {{8, 4, 1, 32, 32}},
     32},
    {"LevelsPastOneByOneLeftUnread",
     FourCCDds(F('D', 'X', 'T', '1'), 4, 4, 0xFFFFFFFF),
     D3DFMT_DXT1,
     D3DRTYPE_TEXTURE,
     1,
     {{4, 4, 1, 8, 8}, {2, 2, 1, 8, 8}, {1, 1, 1, 8, 8}},
     24},
    {"Dxt3OddSizes",
     FourCCDds(F('D', 'X', 'T', '3'), 5, 9, 3),
     D3DFMT_DXT3,
     D3DRTYPE_TEXTURE,
     1,
     {{5, 9, 1, 32, 96}, {2, 4, 1, 16, 16}, {1, 2, 1, 16, 16}},
     128},
    {"PairFormatRoundsWidthToPairs",
     FourCCDds(F('Y', 'U', 'Y', '2'), 5, 3, 2),
     D3DFMT_YUY2,
     D3DRTYPE_TEXTURE,
     1,
     {{5, 3, 1, 12, 36}, {2, 1, 1, 4, 4}},
     40},
    {"Rgb24",
     Uncompressed(0x40, 24, {0xFF0000, 0xFF00, 0xFF, 0}, 3, 2, 2),
     D3DFMT_R8G8B8,
     D3DRTYPE_TEXTURE,
     1,
     {{3, 2, 1, 9, 18}, {1, 1, 1, 3, 3}},
     21},
    {"FloatByNumber",
     FourCCDds(116, 2, 2, 2),
     D3DFMT_A32B32G32R32F,
     D3DRTYPE_TEXTURE,
     1,
     {{2, 2, 1, 32, 64}, {1, 1, 1, 16, 16}},
     80},
    {"VolumeLevelsHoldTheirSlices",
     Volume(Uncompressed(0x41, 32, kArgbMasks, 8, 8, 4), 4),
     D3DFMT_A8R8G8B8,
     D3DRTYPE_VOLUMETEXTURE,
     1,
     {{8, 8, 4, 32, 256}, {4, 4, 2, 16, 64}, {2, 2, 1, 8, 16}, {1, 1, 1, 4, 4}},
     1024 + 128 + 16 + 4},
    {"DepthFieldIgnoredWithoutTheFlag",
     [] {
         DdsDescription d = Uncompressed(0x41, 32, kArgbMasks, 2, 2, 1);
         d.depth = 9;
         return d;
     }(),
     D3DFMT_A8R8G8B8,
     D3DRTYPE_TEXTURE,
     1,
     {{2, 2, 1, 8, 16}},
     16},
    {"VolumeDepthZeroIsOne",
     Volume(Uncompressed(0x41, 32, kArgbMasks, 2, 2, 1), 0),
     D3DFMT_A8R8G8B8,
     D3DRTYPE_VOLUMETEXTURE,
     1,
     {{2, 2, 1, 8, 16}},
     16},
    {"CubeOfSixFaces",
     Cube(FourCCDds(F('D', 'X', 'T', '1'), 8, 8, 2)),
     D3DFMT_DXT1,
     D3DRTYPE_CUBETEXTURE,
     6,
     {{8, 8, 1, 16, 32}, {4, 4, 1, 8, 8}},
     6 * 40},
    {"PaletteFormat",
     P8(4, 2),
     D3DFMT_P8,
     D3DRTYPE_TEXTURE,
     1,
     {{4, 2, 1, 4, 8}, {2, 1, 1, 2, 2}},
     10},
};

class DdsLayoutTest : public DdsReaderTest, public testing::WithParamInterface<LayoutCase> {};

// The levels and faces of a file that holds exactly what they need, where
// each one starts in the file, and the refusal of the same file one byte
// short.
TEST_P(DdsLayoutTest, ChainsPointIntoTheFile) {
    const LayoutCase& c = GetParam();
    DdsDescription description = c.file;
    description.pixels = PatternBytes(c.need, 3);
    const Bytes file = BuildDds(description);
    DecodedImage image;
    image.decode = false;
    ASSERT_EQ(LoadDDS(&image, file.data(), static_cast<UINT>(file.size())), S_OK);
    EXPECT_EQ(image.resourceType, c.type);

    const std::size_t pixelStart = kDdsHeaderBytes + description.palette.size();
    const auto* palette = reinterpret_cast<const PALETTEENTRY*>(file.data() + kDdsHeaderBytes);
    std::size_t offset = pixelStart;
    UINT faces = 0;
    for (const DecodedImage* face = &image; face != nullptr; face = face->nextFace.get()) {
        ++faces;
        ASSERT_EQ(face->LevelCount(), c.levels.size());
        const DecodedImage* level = face;
        for (const LevelShape& shape : c.levels) {
            EXPECT_EQ(level->format, c.format);
            EXPECT_EQ(level->width, shape.width);
            EXPECT_EQ(level->height, shape.height);
            EXPECT_EQ(level->depth, shape.depth);
            EXPECT_EQ(level->rowPitch, shape.rowPitch);
            EXPECT_EQ(level->slicePitch, shape.slicePitch);
            EXPECT_EQ(level->pixels, file.data() + offset);
            EXPECT_EQ(level->palette, description.palette.empty() ? nullptr : palette);
            EXPECT_EQ(level->ownedPixels, nullptr);
            EXPECT_EQ(level->ownedPalette, nullptr);
            offset += std::size_t{static_cast<UINT>(shape.slicePitch)} * shape.depth;
            level = level->nextLevel.get();
        }
    }
    EXPECT_EQ(faces, c.faces);
    EXPECT_EQ(offset, file.size());

    DecodedImage shortImage;
    EXPECT_EQ(Read(Bytes(file.begin(), file.end() - 1), &shortImage), E_FAIL);
}

INSTANTIATE_TEST_SUITE_P(Files, DdsLayoutTest, testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    Bytes file;
    const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes WithPixels(DdsDescription d, std::size_t bytes) {
    d.pixels = PatternBytes(bytes);
    return BuildDds(d);
}

Bytes Patched(Bytes file, std::size_t offset, std::uint32_t value) {
    std::memcpy(file.data() + offset, &value, 4);
    return file;
}

const RefusalCase kRefusals[] = {
    {"ShorterThanHeader",
     [] {
         Bytes file = BuildDds(FourCCDds(F('D', 'X', 'T', '1'), 4, 4, 1));
         file.resize(127);
         return file;
     }(),
     nullptr},
    {"WrongMagic", Patched(WithPixels(FourCCDds(F('D', 'X', 'T', '1'), 4, 4, 1), 8), 0, 0x20534445),
     nullptr},
    {"PartialCube",
     [] {
         DdsDescription d = FourCCDds(F('D', 'X', 'T', '1'), 4, 4, 1);
         d.caps2 = 0x200 | 0x400 | 0x800;
         return WithPixels(d, 6 * 8);
     }(),
     "D3DX: LoadDDS: Partial cubemaps not supported.\r\n"},
    {"PaletteShorterThan1024", WithPixels(Uncompressed(0x20, 8, {}, 4, 4, 1), 1023), nullptr},
    {"WidthZero", WithPixels(FourCCDds(F('D', 'X', 'T', '1'), 0, 4, 1), 64), nullptr},
    {"HeightZero", WithPixels(Uncompressed(0x41, 32, kArgbMasks, 4, 0, 1), 64), nullptr},
    // The row pitch passes a signed 32-bit value.
    {"WidthTopBit", WithPixels(FourCCDds(F('D', 'X', 'T', '1'), 0x80000000, 4, 1), 4096), nullptr},
    {"WidthAndHeightHuge",
     WithPixels(Uncompressed(0x41, 32, kArgbMasks, 0xFFFFFFFF, 0xFFFFFFFF, 1), 4096), nullptr},
    {"DepthHuge", WithPixels(Volume(Uncompressed(0x41, 32, kArgbMasks, 1, 1, 1), 0xFFFFFFFF), 4096),
     nullptr},
    // 4096 x 4096 DXT5 fits every pitch and the size limit, not the file.
    {"LevelLargerThanFile", WithPixels(FourCCDds(F('D', 'X', 'T', '5'), 4096, 4096, 1), 4096),
     nullptr},
    {"CubeMissingItsLastFace",
     WithPixels(Cube(FourCCDds(F('D', 'X', 'T', '1'), 4, 4, 1)), 5 * 8 + 7), nullptr},
};

class DdsRefusalTest : public DdsReaderTest, public testing::WithParamInterface<RefusalCase> {};

// The reader refuses without a read outside the file, and through the
// dispatcher the file ends as an unsupported one like any damaged file.
TEST_P(DdsRefusalTest, RefusedWithoutReadingOutside) {
    const RefusalCase& c = GetParam();
    DecodedImage image;
    EXPECT_EQ(Read(c.file, &image), E_FAIL);
    EXPECT_EQ(lines_, c.message == nullptr ? std::vector<std::string>{}
                                           : std::vector<std::string>{c.message});
    DecodedImage dispatched;
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(LoadImageFromMemory(&dispatched, c.file.data(), static_cast<UINT>(c.file.size()),
                                  &info, true),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(dispatched.nextLevel, nullptr);
    EXPECT_EQ(dispatched.nextFace, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, DdsRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// Every prefix of a cube with a chain of levels and a palette is refused;
// the whole file is read.
TEST_F(DdsReaderTest, EveryPrefixOfAFileIsRefused) {
    DdsDescription d = Cube(P8(4, 3));
    d.mipCount = 3;
    const Bytes file = WithPixels(d, 6 * (12 + 2 + 1));
    DecodedImage whole;
    ASSERT_EQ(Read(file, &whole), S_OK);
    for (std::size_t size = 1; size < file.size(); ++size) {
        DecodedImage image;
        ASSERT_EQ(
            Read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)), &image),
            E_FAIL)
            << size;
    }
}

// The dispatcher recognises the file, describes it and sets the box of every
// level of every face.
TEST_F(DdsReaderTest, DispatcherDescribesTheFile) {
    DdsDescription d = Cube(FourCCDds(F('D', 'X', 'T', '5'), 8, 4, 3));
    const Bytes file = WithPixels(d, 6 * (32 + 16 + 16));
    DecodedImage image;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), &info, true),
              S_OK);
    EXPECT_EQ(info.Width, 8u);
    EXPECT_EQ(info.Height, 4u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(info.Format, D3DFMT_DXT5);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    UINT boxes = 0;
    for (const DecodedImage* face = &image; face != nullptr; face = face->nextFace.get()) {
        for (const DecodedImage* level = face; level != nullptr; level = level->nextLevel.get()) {
            EXPECT_EQ(level->box.Right, level->width);
            EXPECT_EQ(level->box.Bottom, level->height);
            EXPECT_EQ(level->box.Back, level->depth);
            ++boxes;
        }
    }
    EXPECT_EQ(boxes, 18u);
}

}  // namespace
