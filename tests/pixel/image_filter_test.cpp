// The conversion driver on images in memory: which strategy a conversion
// takes (visible in bytes a byte copy keeps and a conversion rewrites), the
// flags it hands the codecs, and the failures it reports.
#include "pixel/image_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "codec_test_util.h"
#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"

namespace {

UINT BytesOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_P8: return 1;
        case D3DFMT_V8U8: return 2;
        default: return 4;
    }
}

PALETTEENTRY Entry(BYTE r, BYTE g, BYTE b) {
    return PALETTEENTRY{r, g, b, 255};
}

// Entries 0 and 1 are the same red, entry 2 green, the rest black.
struct Palettes {
    Palettes() {
        for (int i = 0; i < 256; ++i) {
            first[i] = second[i] = third[i] = Entry(0, 0, 0);
        }
        for (PALETTEENTRY* p : {first, second, third}) {
            p[0] = p[1] = Entry(255, 0, 0);
            p[2] = Entry(0, 255, 0);
        }
        third[255] = Entry(1, 2, 3);
    }
    PALETTEENTRY first[256];
    PALETTEENTRY second[256];  // equal to first
    PALETTEENTRY third[256];   // differs from first in entry 255
};
const Palettes kPalettes;

class ImageFilterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
    }
    void TearDown() override { SetDebugOutputCapture({}); }

    bool Reported(const std::string& message) const {
        return std::find(messages_.begin(), messages_.end(), "D3DX: " + message + "\r\n") !=
               messages_.end();
    }

    std::vector<std::string> messages_;
};

struct StrategyCase {
    const char* name;
    D3DFORMAT source;
    D3DFORMAT destination;
    DWORD flags;  // added to D3DX_FILTER_NONE
    DWORD key;
    const PALETTEENTRY* sourcePalette;
    const PALETTEENTRY* destinationPalette;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> expected;
};

void PrintTo(const StrategyCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr D3DFORMAT kX8 = D3DFMT_X8R8G8B8;
constexpr D3DFORMAT kA8 = D3DFMT_A8R8G8B8;

// clang-format off
const StrategyCase kStrategies[] = {
    {"UnkeyedIsByteCopy", kA8, kA8, 0, 0, nullptr, nullptr,
     {0xFFFFFFFF, 0x12345678, 0x00FFFFFF}, {0xFFFFFFFF, 0x12345678, 0x00FFFFFF}},
    {"KeyedPixelsBecomeZero", kA8, kA8, 0, 0xFFFFFFFF, nullptr, nullptr,
     {0xFFFFFFFF, 0x12345678, 0x00FFFFFF}, {0x00000000, 0x12345678, 0x00FFFFFF}},
    // Only a byte copy keeps what the X byte holds.
    {"UnkeyedKeepsXByte", kX8, kX8, 0, 0, nullptr, nullptr,
     {0xAB123456, 0xFFFFFFFF}, {0xAB123456, 0xFFFFFFFF}},
    // A key converts through ColorF: X written 0, the key's alpha irrelevant.
    {"KeyedConvertsAndIgnoresKeyAlpha", kX8, kX8, 0, 0x00FFFFFF, nullptr, nullptr,
     {0xAB123456, 0xFFFFFFFF}, {0x00123456, 0x00000000}},
    {"BothGammaFlagsCopyBytes", kA8, kA8, D3DX_FILTER_SRGB, 0, nullptr, nullptr,
     {0x80808080, 0x40102030}, {0x80808080, 0x40102030}},
    {"GammaInDecodes", kA8, kA8, D3DX_FILTER_SRGB_IN, 0, nullptr, nullptr,
     {0xFF000000, 0x80FFFFFF, 0xFF808080}, {0xFF000000, 0x80FFFFFF, 0xFF383838}},
    {"BothGammaFlagsConvertUnchanged", kA8, kX8, D3DX_FILTER_SRGB, 0, nullptr, nullptr,
     {0x80808080, 0x40102030}, {0x00808080, 0x00102030}},
    // Unsigned red and green become signed U and V: 2v - 1.
    {"OtherClassConverts", kA8, D3DFMT_V8U8, 0, 0, nullptr, nullptr,
     {0xFFFF0080, 0xFF80FF00}, {0x817F, 0x7F00}},
    {"EqualPalettesCopyIndices", D3DFMT_P8, D3DFMT_P8, 0, 0, kPalettes.first, kPalettes.second,
     {1, 2, 0}, {1, 2, 0}},
    // Another palette: colours are matched, the duplicate red maps to 0.
    {"OtherPaletteMatchesColours", D3DFMT_P8, D3DFMT_P8, 0, 0, kPalettes.first, kPalettes.third,
     {1, 2, 0}, {0, 2, 0}},
};
// clang-format on

class StrategyTest : public ImageFilterTest, public ::testing::WithParamInterface<StrategyCase> {};

TEST_P(StrategyTest, WritesExpectedPixels) {
    const StrategyCase& c = GetParam();
    const UINT count = static_cast<UINT>(c.pixels.size());
    TestSurface source(BytesOf(c.source), count, 1);
    TestSurface destination(BytesOf(c.destination), count, 1);
    for (UINT x = 0; x < count; ++x) {
        PutWord(source.Pixel(x, 0), c.pixels[x], BytesOf(c.source));
        PutWord<std::uint32_t>(destination.Pixel(x, 0), 0xCDCDCDCD, BytesOf(c.destination));
    }
    SurfaceDesc from = source.Desc(c.source);
    from.colorKey = c.key;
    from.palette = c.sourcePalette;
    SurfaceDesc to = destination.Desc(c.destination);
    to.palette = c.destinationPalette;

    ASSERT_EQ(RunImageFilter(from, to, D3DX_FILTER_NONE | c.flags), S_OK);
    for (UINT x = 0; x < count; ++x) {
        EXPECT_EQ(GetWord<std::uint32_t>(destination.Pixel(x, 0), BytesOf(c.destination)),
                  c.expected[x])
            << "pixel " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(Strategies, StrategyTest, ::testing::ValuesIn(kStrategies),
                         [](const auto& info) { return std::string(info.param.name); });

// Block images of 12 x 8 texels: 3 x 2 blocks, each block's bytes holding
// its own number.
struct BlockImage {
    BlockImage(D3DFORMAT f, BYTE seed)
        : format(f), blockBytes(f == D3DFMT_DXT1 ? 8 : 16), bytes(6 * blockBytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<BYTE>(seed + i / blockBytes);
        }
    }
    SurfaceDesc Desc(PixelBox box) {
        SurfaceDesc desc = {};
        desc.data = bytes.data();
        desc.format = format;
        desc.rowPitch = 3 * blockBytes;
        desc.extent = PixelBox{0, 0, 12, 8, 0, 1};
        desc.box = box;
        return desc;
    }
    BYTE Block(UINT column, UINT row) const { return bytes[(row * 3 + column) * blockBytes]; }

    D3DFORMAT format;
    UINT blockBytes;
    std::vector<BYTE> bytes;
};

TEST_F(ImageFilterTest, BlockFormatsCopyAlignedBoxesBlockByBlock) {
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
        BlockImage source(format, 10);
        BlockImage destination(format, 100);
        // Source blocks (0..1, 1) into destination blocks (1..2, 0).
        ASSERT_EQ(RunImageFilter(source.Desc({0, 4, 8, 8, 0, 1}),
                                 destination.Desc({4, 0, 12, 4, 0, 1}), D3DX_FILTER_POINT),
                  S_OK);
        const BYTE expected[2][3] = {{100, 13, 14}, {103, 104, 105}};
        for (UINT row = 0; row < 2; ++row) {
            for (UINT column = 0; column < 3; ++column) {
                EXPECT_EQ(destination.Block(column, row), expected[row][column])
                    << column << ", " << row;
            }
        }
    }
}

// The last block of a surface whose size is not a multiple of 4 is stored
// whole and copied whole, byte for byte, without a decode and re-encode.
TEST_F(ImageFilterTest, BlockFormatsCopyTheEdgeBlockOfAnOddSizedSurface) {
    BlockImage source(D3DFMT_DXT5, 10);
    BlockImage destination(D3DFMT_DXT5, 100);
    SurfaceDesc from = source.Desc({8, 4, 10, 6, 0, 1});
    SurfaceDesc to = destination.Desc({8, 4, 10, 6, 0, 1});
    from.extent = PixelBox{0, 0, 10, 6, 0, 1};
    to.extent = PixelBox{0, 0, 10, 6, 0, 1};
    ASSERT_EQ(RunImageFilter(from, to, D3DX_FILTER_POINT), S_OK);
    const auto block = [](const BlockImage& image, std::size_t index) {
        const auto first = image.bytes.begin() + static_cast<std::ptrdiff_t>(index * 16);
        return std::vector<BYTE>(first, first + 16);
    };
    EXPECT_EQ(block(destination, 5), block(source, 5));
    EXPECT_EQ(block(destination, 4), std::vector<BYTE>(16, 104));
}

struct FailureCase {
    const char* name;
    D3DFORMAT source;
    D3DFORMAT destination;
    PixelBox sourceBox;
    PixelBox destinationBox;
    DWORD filter;
    DWORD key;
    HRESULT expected;
    const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr PixelBox kBox = {0, 0, 4, 4, 0, 1};
constexpr PixelBox kEmpty = {0, 0, 0, 0, 0, 1};

// clang-format off
const FailureCase kFailures[] = {
    {"FilterSix", kA8, kA8, kBox, kBox, 6, 0, D3DERR_INVALIDCALL, "Invalid image filter"},
    {"FilterBit23", kA8, kA8, kBox, kBox, 0x800001, 0, D3DERR_INVALIDCALL,
     "Invalid image filter"},
    {"FilterZero", kA8, kA8, kBox, kBox, 0, 0, D3DERR_INVALIDCALL, "Invalid image filter"},
    {"FlagsWithoutKind", kA8, kA8, kBox, kBox, 0x10000, 0, D3DERR_INVALIDCALL,
     "Invalid image filter"},
    // The loads replace D3DX_DEFAULT before the driver sees the word.
    {"DefaultWord", kA8, kA8, kBox, kBox, D3DX_DEFAULT, 0, D3DERR_INVALIDCALL,
     "Invalid image filter"},
    {"DepthStencilSource", D3DFMT_D24S8, kA8, kBox, kBox, 1, 0, E_FAIL,
     "Unsupported image format"},
    {"UnknownDestination", kA8, D3DFMT_UNKNOWN, kBox, kBox, 1, 0, E_FAIL,
     "Unsupported image format"},
    // Nothing to sample from: every filter but none declines.
    {"EmptySource", kA8, kA8, kEmpty, kBox, D3DX_FILTER_TRIANGLE, 0, E_FAIL,
     "No suitable image filter found"},
};
// clang-format on

class FailureTest : public ImageFilterTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, ReportsAndFails) {
    const FailureCase& c = GetParam();
    std::vector<BYTE> source(1024, 0x5A);
    std::vector<BYTE> destination(1024, 0xC3);
    SurfaceDesc from = {};
    from.data = source.data();
    from.format = c.source;
    from.rowPitch = 64;
    from.extent = PixelBox{0, 0, 8, 8, 0, 1};
    from.box = c.sourceBox;
    from.colorKey = c.key;
    SurfaceDesc to = from;
    to.data = destination.data();
    to.format = c.destination;
    to.box = c.destinationBox;
    to.colorKey = 0;

    EXPECT_EQ(RunImageFilter(from, to, c.filter), c.expected);
    EXPECT_TRUE(Reported(c.message));
    EXPECT_EQ(destination, std::vector<BYTE>(1024, 0xC3));
}

INSTANTIATE_TEST_SUITE_P(Failures, FailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
