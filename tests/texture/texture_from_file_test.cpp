// Textures from image files: the size, level count and format chosen from
// the caller's wishes, the image and the device's caps, and the texels every
// level receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "texture_load_fixture.h"

namespace {

constexpr DWORD kPow2 = D3DPTEXTURECAPS_POW2;
constexpr DWORD kConditional = D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
constexpr DWORD kMipmaps = D3DPTEXTURECAPS_MIPMAP;
constexpr UINT kNonPow2 = D3DX_DEFAULT_NONPOW2;
constexpr UINT kFromFile = D3DX_FROM_FILE;
constexpr D3DCOLOR kWhiteKey = 0xFFFFFFFF;

enum class Image { Rgb300x200, Rgb64, GreyRamp, Ramp332, OpaquePalette };

struct ShapeCase {
    const char* name;
    DeviceCaps caps;
    Image image;
    LoadCall call;
    bool paletteOutput;
    HRESULT expected;
    UINT width = 0;
    UINT height = 0;
    UINT levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    const char* message = nullptr;
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
    *os << c.name;
}

class TextureShapeTest : public TextureLoadTest, public testing::WithParamInterface<ShapeCase> {
  protected:
    static std::vector<BYTE> File(Image image) {
        std::array<PALETTEENTRY, 256> palette = GreyRamp();
        switch (image) {
            case Image::Rgb300x200: return Bmp24(300, 200, Colours(300, 200));
            case Image::Rgb64: return Bmp24(64, 64, Colours(64, 64));
            case Image::GreyRamp: break;
            case Image::Ramp332:
                for (UINT i = 0; i < 256; ++i) {
                    static constexpr BYTE kThree[] = {0, 36, 73, 109, 146, 182, 219, 255};
                    static constexpr BYTE kTwo[] = {0, 85, 170, 255};
                    palette[i] = {kThree[i >> 5], kThree[(i >> 2) & 7], kTwo[i & 3], 0xFF};
                }
                break;
            case Image::OpaquePalette: palette[17] = {1, 2, 3, 0xFF}; break;
        }
        return Bmp8(16, 16, palette, AllIndices());
    }
};

TEST_P(TextureShapeTest, ChoosesSizeLevelsAndFormat) {
    const ShapeCase& c = GetParam();
    UseCaps(c.caps);
    const ULONG references = DeviceReferences();
    ComPtr<IDirect3DTexture9> texture;
    PALETTEENTRY palette[256];
    const HRESULT hr =
        Load(File(c.image), c.call, &texture, c.paletteOutput ? palette : nullptr, nullptr);
    EXPECT_EQ(hr, c.expected);
    if (FAILED(c.expected)) {
        EXPECT_FALSE(texture);
        EXPECT_EQ(DeviceReferences(), references);
        const std::vector<std::string> expected =
            c.message != nullptr
                ? std::vector<std::string>{"D3DX: " + std::string(c.message) + "\r\n"}
                : std::vector<std::string>{};
        EXPECT_EQ(messages_, expected);
        return;
    }
    ASSERT_TRUE(texture);
    EXPECT_FALSE(LibraryReported());
    const D3DSURFACE_DESC desc = Desc(texture.Get());
    EXPECT_EQ(desc.Width, c.width);
    EXPECT_EQ(desc.Height, c.height);
    EXPECT_EQ(desc.Format, c.format);
    EXPECT_EQ(desc.Pool, c.call.pool);
    EXPECT_EQ(texture->GetLevelCount(), c.levels);
}

const LoadCall kDefaults{};
constexpr LoadCall WithSizes(UINT width, UINT height, UINT levels = 0) {
    LoadCall call;
    call.width = width;
    call.height = height;
    call.levels = levels;
    return call;
}
constexpr LoadCall WithKey(D3DCOLOR key) {
    LoadCall call;
    call.colorKey = key;
    return call;
}
constexpr LoadCall WithFormat(D3DFORMAT format) {
    LoadCall call;
    call.format = format;
    return call;
}
constexpr LoadCall InPool(D3DPOOL pool, DWORD usage = 0) {
    LoadCall call;
    call.pool = pool;
    call.usage = usage;
    return call;
}

constexpr D3DFORMAT kXrgb = D3DFMT_X8R8G8B8;
constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr DeviceCaps kNonPow2Device{kMipmaps};
const char* const kPaletteFromFile =
    "D3DFMT_FROM_FILE specified for palettized files without providing memory to return palette";

INSTANTIATE_TEST_SUITE_P(
    Cases, TextureShapeTest,
    testing::Values(
        ShapeCase{"DefaultSizesRoundUp",
                  {},
                  Image::Rgb300x200,
                  kDefaults,
                  false,
                  S_OK,
                  512,
                  256,
                  10,
                  kXrgb},
        ShapeCase{"DefaultSizesRoundUpOnNonPow2Device", kNonPow2Device, Image::Rgb300x200,
                  kDefaults, false, S_OK, 512, 256, 10, kXrgb},
        ShapeCase{"NonPow2StaysOnFullNonPow2Device", kNonPow2Device, Image::Rgb300x200,
                  WithSizes(kNonPow2, kNonPow2), false, S_OK, 300, 200, 9, kXrgb},
        ShapeCase{"NonPow2RoundsOnPow2Device",
                  {},
                  Image::Rgb300x200,
                  WithSizes(kNonPow2, kNonPow2),
                  false,
                  S_OK,
                  512,
                  256,
                  10,
                  kXrgb},
        ShapeCase{"ConditionalNonPow2WithOneLevel",
                  {},
                  Image::Rgb300x200,
                  WithSizes(kNonPow2, kNonPow2, 1),
                  false,
                  S_OK,
                  300,
                  200,
                  1,
                  kXrgb},
        ShapeCase{"FromFileSizesRefusedOnPow2Device",
                  {},
                  Image::Rgb300x200,
                  WithSizes(kFromFile, kFromFile),
                  false,
                  D3DERR_NOTAVAILABLE},
        ShapeCase{"FromFileSizesOnNonPow2Device", kNonPow2Device, Image::Rgb300x200,
                  WithSizes(kFromFile, kFromFile), false, S_OK, 300, 200, 9, kXrgb},
        ShapeCase{"FromFileLevels",
                  {},
                  Image::Rgb64,
                  WithSizes(64, 64, kFromFile),
                  false,
                  S_OK,
                  64,
                  64,
                  1,
                  kXrgb},
        ShapeCase{"FromFileLevelsOnConditionalDevice",
                  {kPow2 | kConditional},
                  Image::Rgb300x200,
                  WithSizes(kNonPow2, kNonPow2, kFromFile),
                  false,
                  S_OK,
                  300,
                  200,
                  1,
                  kXrgb},
        ShapeCase{"ThreeLevelsKept",
                  {},
                  Image::Rgb64,
                  WithSizes(64, 64, 3),
                  false,
                  S_OK,
                  64,
                  64,
                  3,
                  kXrgb},
        ShapeCase{"TwentyLevelsBecomeTheChain",
                  {},
                  Image::Rgb64,
                  WithSizes(64, 64, 20),
                  false,
                  S_OK,
                  64,
                  64,
                  7,
                  kXrgb},
        ShapeCase{"SquareOnly",
                  {kPow2 | kMipmaps | D3DPTEXTURECAPS_SQUAREONLY},
                  Image::Rgb300x200,
                  kDefaults,
                  false,
                  S_OK,
                  256,
                  256,
                  9,
                  kXrgb},
        ShapeCase{"MaximumSize",
                  {kPow2 | kMipmaps, 128, 64},
                  Image::Rgb300x200,
                  kDefaults,
                  false,
                  S_OK,
                  128,
                  64,
                  8,
                  kXrgb},
        ShapeCase{
            "NoMipmaps", {kPow2}, Image::Rgb300x200, kDefaults, false, S_OK, 512, 256, 1, kXrgb},
        ShapeCase{
            "KeyAddsAlpha", {}, Image::Rgb64, WithKey(kWhiteKey), false, S_OK, 64, 64, 7, kArgb},
        ShapeCase{
            "ExplicitFormat", {}, Image::Rgb64, WithFormat(kArgb), false, S_OK, 64, 64, 7, kArgb},
        ShapeCase{"FromFileFormat",
                  {},
                  Image::Rgb64,
                  WithFormat(D3DFMT_FROM_FILE),
                  false,
                  S_OK,
                  64,
                  64,
                  7,
                  kXrgb},
        ShapeCase{"GreyRampIsLuminance",
                  {},
                  Image::GreyRamp,
                  kDefaults,
                  false,
                  S_OK,
                  16,
                  16,
                  5,
                  D3DFMT_L8},
        ShapeCase{"KeyedGreyRampIsColour",
                  {},
                  Image::GreyRamp,
                  WithKey(kWhiteKey),
                  false,
                  S_OK,
                  16,
                  16,
                  5,
                  kArgb},
        ShapeCase{"ThreeThreeTwoRamp",
                  {},
                  Image::Ramp332,
                  kDefaults,
                  false,
                  S_OK,
                  16,
                  16,
                  5,
                  D3DFMT_R3G3B2},
        ShapeCase{"OpaquePaletteIsX8R8G8B8",
                  {},
                  Image::OpaquePalette,
                  kDefaults,
                  false,
                  S_OK,
                  16,
                  16,
                  5,
                  kXrgb},
        ShapeCase{"FromFilePaletteWithoutOutput",
                  {},
                  Image::OpaquePalette,
                  WithFormat(D3DFMT_FROM_FILE),
                  false,
                  D3DERR_INVALIDCALL,
                  0,
                  0,
                  0,
                  kXrgb,
                  kPaletteFromFile},
        ShapeCase{"FromFilePaletteOnPaletteDevice",
                  {.offerP8 = true},
                  Image::OpaquePalette,
                  WithFormat(D3DFMT_FROM_FILE),
                  true,
                  S_OK,
                  16,
                  16,
                  5,
                  D3DFMT_P8},
        ShapeCase{"FromFilePaletteWithoutPaletteTextures",
                  {},
                  Image::OpaquePalette,
                  WithFormat(D3DFMT_FROM_FILE),
                  true,
                  D3DERR_NOTAVAILABLE},
        ShapeCase{"ScratchKeepsThreeByteRgb",
                  {kPow2, 128, 128},
                  Image::Rgb300x200,
                  InPool(D3DPOOL_SCRATCH),
                  false,
                  S_OK,
                  512,
                  256,
                  10,
                  D3DFMT_R8G8B8},
        ShapeCase{"DefaultPool",
                  {},
                  Image::Rgb64,
                  InPool(D3DPOOL_DEFAULT),
                  false,
                  S_OK,
                  64,
                  64,
                  7,
                  kXrgb},
        ShapeCase{"DefaultUsageIsNone",
                  {},
                  Image::Rgb64,
                  InPool(D3DPOOL_DEFAULT, D3DX_DEFAULT),
                  false,
                  S_OK,
                  64,
                  64,
                  7,
                  kXrgb},
        ShapeCase{"AutomaticMipmapsKeepOneLevel",
                  {},
                  Image::Rgb64,
                  InPool(D3DPOOL_MANAGED, D3DUSAGE_AUTOGENMIPMAP),
                  false,
                  S_OK,
                  64,
                  64,
                  1,
                  kXrgb},
        ShapeCase{"BadUsage",
                  {},
                  Image::Rgb64,
                  InPool(D3DPOOL_MANAGED, D3DUSAGE_WRITEONLY),
                  false,
                  D3DERR_INVALIDCALL,
                  0,
                  0,
                  0,
                  kXrgb,
                  "Usage parameter is invalid"},
        ShapeCase{"BadPool",
                  {},
                  Image::Rgb64,
                  InPool(static_cast<D3DPOOL>(5)),
                  false,
                  D3DERR_INVALIDCALL,
                  0,
                  0,
                  0,
                  kXrgb,
                  "Pool parameter is invalid"}),
    [](const testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

// The texels a truecolour image becomes, 0xAARRGGBB: pixels equal to the key
// (a key of 0 is none) are transparent black, the rest opaque.
std::vector<std::uint32_t> Keyed(const std::vector<std::uint32_t>& pixels, D3DCOLOR key) {
    std::vector<std::uint32_t> texels;
    for (const std::uint32_t p : pixels) {
        texels.push_back(key != 0 && (0xFF000000 | p) == key ? 0 : 0xFF000000 | p);
    }
    return texels;
}

// Only the exact key colour becomes transparent, at the image's own size and
// with the default filter.
TEST_F(TextureLoadTest, ColourKeyOnTruecolourImage) {
    std::vector<std::uint32_t> pixels = Colours(8, 8);
    pixels[0] = 0xFFFFFF;
    pixels[9] = 0xFEFFFF;
    pixels[18] = 0xFFFFFE;
    pixels[27] = 0xFFFFFF;
    pixels[36] = 0x000000;
    struct KeyCase {
        D3DCOLOR key;
        D3DFORMAT format;
    };
    for (const KeyCase c : {KeyCase{kWhiteKey, D3DFMT_A8R8G8B8}, KeyCase{0xFFFEFFFF, kArgb},
                            KeyCase{0xFF000000, kArgb}, KeyCase{0, D3DFMT_X8R8G8B8}}) {
        SCOPED_TRACE(c.key);
        ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(Load(Bmp24(8, 8, pixels), WithKey(c.key), &texture), S_OK);
        EXPECT_EQ(Desc(texture.Get()).Format, c.format);
        std::vector<std::uint32_t> texels = Texels(texture.Get());
        if (c.format == D3DFMT_X8R8G8B8) {
            for (std::uint32_t& t : texels) {
                t |= 0xFF000000;
            }
        }
        EXPECT_EQ(texels, Keyed(pixels, c.key));
    }
}

// The key is spent on the palette: the keyed entry's pixels are transparent
// black and the palette handed out has the entry blanked. Keys are ARGB,
// entries red, green, blue: a key of 1, 2, 3 blanks that entry, not 3, 2, 1.
TEST_F(TextureLoadTest, ColourKeyOnPalettes) {
    const std::vector<BYTE> grey = Bmp8(16, 16, GreyRamp(), AllIndices());
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(grey, kDefaults, &texture), S_OK);
    EXPECT_EQ(ReadBytes(Level(texture.Get()).Get(), 16, 16), AllIndices());

    std::array<PALETTEENTRY, 256> coloured = GreyRamp();
    coloured[17] = {1, 2, 3, 0xFF};
    coloured[18] = {3, 2, 1, 0xFF};
    struct PaletteCase {
        std::array<PALETTEENTRY, 256> palette;
        D3DCOLOR key;
        UINT blanked;
    };
    for (const PaletteCase& c :
         {PaletteCase{GreyRamp(), kWhiteKey, 255}, PaletteCase{coloured, 0xFF010203, 17}}) {
        SCOPED_TRACE(c.key);
        PALETTEENTRY palette[256];
        ASSERT_EQ(Load(Bmp8(16, 16, c.palette, AllIndices()), WithKey(c.key), &texture, palette),
                  S_OK);
        EXPECT_EQ(Desc(texture.Get()).Format, D3DFMT_A8R8G8B8);
        std::vector<std::uint32_t> expected;
        for (UINT i = 0; i < 256; ++i) {
            const PALETTEENTRY entry = i == c.blanked ? PALETTEENTRY{0, 0, 0, 0} : c.palette[i];
            expected.push_back(i == c.blanked ? 0
                                              : 0xFF000000 | entry.peRed << 16 |
                                                    entry.peGreen << 8 | entry.peBlue);
            EXPECT_EQ(std::memcmp(&palette[i], &entry, sizeof entry), 0) << i;
        }
        EXPECT_EQ(Texels(texture.Get()), expected);
    }
}

// The game's call on an atlas shaped like its "bitmap.png": 512 x 64 RGB on
// an opaque white background, default sizes, a full chain, the default
// filters and white as the key; as a PNG and as a BMP.
class AtlasTest : public TextureLoadTest,
                  public testing::WithParamInterface<D3DXIMAGE_FILEFORMAT> {};

TEST_P(AtlasTest, WhiteBackgroundBecomesTransparent) {
    constexpr UINT kWidth = 512;
    constexpr UINT kHeight = 64;
    std::vector<std::uint32_t> pixels(kWidth * kHeight, 0xFFFFFF);
    const std::vector<std::uint32_t> colours = Colours(kWidth / 16, kHeight / 16);
    // Opaque 16 x 16 tiles on every other tile, and near-white strays.
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const UINT tile = (y / 16) * (kWidth / 16) + x / 16;
            if ((x / 16 + y / 16) % 2 == 0) {
                pixels[y * kWidth + x] = colours[tile];
            }
        }
    }
    pixels[16] = 0xFEFFFF;
    pixels[kWidth * 17 + 3] = 0xFFFEFF;
    const bool png = GetParam() == D3DXIFF_PNG;
    const std::vector<BYTE> file =
        png ? Png24(kWidth, kHeight, pixels) : Bmp24(kWidth, kHeight, pixels);
    ASSERT_FALSE(file.empty());
    TemporaryDirectory directory;
    const std::string path = directory.Write(png ? "bitmap.png" : "bitmap.bmp", file);
    D3DXIMAGE_INFO info{};
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(
        D3DXCreateTextureFromFileExA(device_.Get(), path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                     D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                     kWhiteKey, &info, nullptr, texture.ReleaseAndGetAddressOf()),
        S_OK);
    EXPECT_EQ(info.ImageFileFormat, GetParam());
    ASSERT_EQ(texture->GetLevelCount(), 10u);
    for (UINT level = 0; level < 10; ++level) {
        const D3DSURFACE_DESC desc = Desc(texture.Get(), level);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(desc.Width, std::max(kWidth >> level, 1u));
        EXPECT_EQ(desc.Height, std::max(kHeight >> level, 1u));
    }
    EXPECT_EQ(Texels(texture.Get()), Keyed(pixels, kWhiteKey));
    // The box filter of level 1 keeps whole tiles: 8 x 8 texels of the tile's
    // colour, transparent black where the background was.
    const std::vector<std::uint32_t> level1 = Texels(texture.Get(), 1);
    for (UINT y = 4; y < kHeight / 2; y += 8) {
        for (UINT x = 4; x < kWidth / 2; x += 8) {
            const UINT tile = (y / 8) * (kWidth / 16) + x / 8;
            const bool opaque = (x / 8 + y / 8) % 2 == 0;
            EXPECT_EQ(level1[y * (kWidth / 2) + x], opaque ? 0xFF000000 | colours[tile] : 0u)
                << x << "," << y;
        }
    }
    EXPECT_FALSE(LibraryReported());
}

INSTANTIATE_TEST_SUITE_P(Files, AtlasTest, testing::Values(D3DXIFF_PNG, D3DXIFF_BMP),
                         [](const testing::TestParamInfo<D3DXIMAGE_FILEFORMAT>& info) {
                             return info.param == D3DXIFF_PNG ? "Png" : "Bmp";
                         });

// Default-pool textures are filled through a system-memory twin and one
// update; dynamic, managed, system-memory and scratch ones directly. Every
// pool gets the same levels. (The default-pool texture is a render target
// only so that the test can read it back.)
TEST_F(TextureLoadTest, PoolsAndStaging) {
    const std::vector<std::uint32_t> pixels = Colours(16, 16);
    std::vector<std::vector<std::uint32_t>> reference;
    struct PoolCase {
        D3DPOOL pool;
        DWORD usage;
        int creations;
        int updates;
    };
    for (const PoolCase c :
         {PoolCase{D3DPOOL_MANAGED, 0, 1, 0},
          PoolCase{D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, 2, 1},
          PoolCase{D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, 1, 0}, PoolCase{D3DPOOL_SYSTEMMEM, 0, 1, 0},
          PoolCase{D3DPOOL_SCRATCH, 0, 1, 0}}) {
        SCOPED_TRACE(testing::Message() << c.pool << " " << c.usage);
        ClearCallLog();
        ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(Load(Bmp24(16, 16, pixels), InPool(c.pool, c.usage), &texture), S_OK);
        EXPECT_EQ(Calls("CreateTexture"), c.creations);
        EXPECT_EQ(Calls("UpdateTexture"), c.updates);
        EXPECT_EQ(Desc(texture.Get()).Pool, c.pool);
        EXPECT_EQ(Desc(texture.Get()).Usage, c.usage);
        ASSERT_EQ(texture->GetLevelCount(), 5u);
        std::vector<std::vector<std::uint32_t>> levels;
        for (UINT level = 0; level < 5; ++level) {
            std::vector<std::uint32_t> texels = Texels(texture.Get(), level);
            for (std::uint32_t& t : texels) {
                t |= 0xFF000000;
            }
            levels.push_back(texels);
        }
        EXPECT_EQ(levels[0], Keyed(pixels, 0));
        if (reference.empty()) {
            reference = levels;
        }
        EXPECT_EQ(levels, reference);
    }
}

// With automatic mipmaps the device keeps the top level only: it is loaded,
// also through the system-memory twin of the default pool (a render target
// there, for the test to read it back).
TEST_F(TextureLoadTest, AutomaticMipmapsGetTheirTopLevel) {
    const std::vector<std::uint32_t> pixels = Colours(32, 32);
    for (const D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_DEFAULT}) {
        SCOPED_TRACE(pool);
        const DWORD usage =
            D3DUSAGE_AUTOGENMIPMAP | (pool == D3DPOOL_DEFAULT ? D3DUSAGE_RENDERTARGET : 0);
        ComPtr<IDirect3DTexture9> texture;
        LoadCall call = InPool(pool, usage);
        call.colorKey = kWhiteKey;
        ASSERT_EQ(Load(Bmp24(32, 32, pixels), call, &texture), S_OK);
        EXPECT_EQ(Desc(texture.Get()).Usage, usage);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
        EXPECT_EQ(Texels(texture.Get()), Keyed(pixels, kWhiteKey));
    }
}

// A box or point mip filter builds the levels below the file's from the
// level above; any other resamples each of them from the file's smallest
// level with the load filter, as a load at that size would.
TEST_F(TextureLoadTest, LevelsBelowTheFileFollowTheMipFilter) {
    const std::vector<BYTE> file = Bmp24(8, 8, Colours(8, 8));
    std::vector<std::vector<std::uint32_t>> resampled;
    for (const UINT size : {8u, 4u, 2u, 1u}) {
        ComPtr<IDirect3DTexture9> single;
        ASSERT_EQ(Load(file, WithSizes(size, size, 1), &single), S_OK);
        resampled.push_back(Texels(single.Get()));
    }
    ComPtr<IDirect3DTexture9> texture;
    for (const DWORD mipFilter : {D3DX_FILTER_LINEAR, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX}) {
        SCOPED_TRACE(mipFilter);
        LoadCall call;
        call.mipFilter = mipFilter;
        ASSERT_EQ(Load(file, call, &texture), S_OK);
        ASSERT_EQ(texture->GetLevelCount(), 4u);
        std::vector<std::vector<std::uint32_t>> levels;
        for (UINT level = 0; level < 4; ++level) {
            levels.push_back(Texels(texture.Get(), level));
        }
        if (mipFilter == D3DX_FILTER_BOX) {
            EXPECT_NE(levels, resampled);
            EXPECT_EQ(levels[0], resampled[0]);
        } else {
            EXPECT_EQ(levels, resampled);
        }
    }
}

}  // namespace
