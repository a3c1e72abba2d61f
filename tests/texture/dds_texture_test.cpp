// Textures from DDS files: the file's levels loaded one for one, levels the
// file lacks made from its smallest level, levels it has beyond the texture
// left out, the first face of a cube and the first slice of each volume
// level, block data copied as it is, and the file's palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "texture/dds_writer.h"
#include "texture_load_fixture.h"

namespace {

constexpr std::array<std::uint32_t, 4> kArgbMasks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

// The colour of texel (x, y) of slice z of level l of face f.
using TexelColour = std::function<std::uint32_t(UINT f, UINT l, UINT z, UINT x, UINT y)>;

// An A8R8G8B8 file of width x height (x depth for a volume), levels levels
// and faces faces (1 or 6).
std::vector<BYTE> ArgbDds(UINT width, UINT height, UINT depth, UINT levels, UINT faces,
                          const TexelColour& colour) {
    DdsDescription d;
    d.pixelFlags = 0x41;
    d.bitCount = 32;
    d.masks = kArgbMasks;
    d.width = width;
    d.height = height;
    d.mipCount = levels;
    if (depth > 1) {
        d.headerFlags |= kDdsVolumeFlag;
        d.depth = depth;
    }
    if (faces == 6) {
        d.caps2 = 0x200 | kDdsAllCubeFaces;
    }
    for (UINT f = 0; f < faces; ++f) {
        UINT w = width;
        UINT h = height;
        UINT z = depth;
        for (UINT l = 0; l < levels; ++l) {
            for (UINT s = 0; s < z; ++s) {
                for (UINT y = 0; y < h; ++y) {
                    for (UINT x = 0; x < w; ++x) {
                        const std::uint32_t c = colour(f, l, s, x, y);
                        d.pixels.insert(d.pixels.end(),
                                        {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8),
                                         static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 24)});
                    }
                }
            }
            w = std::max(w / 2, 1u);
            h = std::max(h / 2, 1u);
            z = std::max(z / 2, 1u);
        }
    }
    return BuildDds(d);
}

// A distinct opaque colour for every face, level and slice.
std::uint32_t Uniform(UINT f, UINT l, UINT z, UINT, UINT) {
    return 0xFF000000 | (f * 40 + 10) << 16 | (l * 25 + 5) << 8 | (z * 60 + 3);
}

class DdsTextureTest : public TextureLoadTest {
  protected:
    // Every texel of level of texture equals colour.
    void ExpectUniform(IDirect3DTexture9* texture, UINT level, std::uint32_t colour) {
        const std::vector<std::uint32_t> texels = Texels(texture, level);
        ASSERT_FALSE(texels.empty());
        EXPECT_EQ(std::count(texels.begin(), texels.end(), colour),
                  static_cast<std::ptrdiff_t>(texels.size()))
            << "level " << level << " first texel " << std::hex << texels[0];
    }
};

struct MissingLevelsCase {
    const char* name;
    DWORD filter;
    DWORD mipFilter;
};

class DdsMissingLevelsTest : public DdsTextureTest,
                             public testing::WithParamInterface<MissingLevelsCase> {};

// A 64 x 64 file of 3 levels into a full chain of 7: levels 0-2 from the
// file, 3-6 made from level 2, whether the mip filter runs over the texture
// or every level is resampled from the file's smallest.
TEST_P(DdsMissingLevelsTest, FileLevelsThenLevelsFromTheSmallest) {
    LoadCall call;
    call.filter = GetParam().filter;
    call.mipFilter = GetParam().mipFilter;
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(ArgbDds(64, 64, 1, 3, 1, Uniform), call, &texture), S_OK);
    ASSERT_EQ(texture->GetLevelCount(), 7u);
    for (UINT level = 0; level < 7; ++level) {
        ExpectUniform(texture.Get(), level, Uniform(0, std::min(level, 2u), 0, 0, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, DdsMissingLevelsTest,
    testing::Values(MissingLevelsCase{"BoxMipFilter", D3DX_FILTER_POINT, D3DX_FILTER_BOX},
                    MissingLevelsCase{"ResampledFromSmallest", D3DX_FILTER_POINT,
                                      D3DX_FILTER_TRIANGLE}),
    [](const auto& info) { return std::string(info.param.name); });

// Levels the texture has no room for are not loaded; the ones it has are
// the file's, texel for texel.
TEST_F(DdsTextureTest, MoreFileLevelsThanTextureLevels) {
    const TexelColour pattern = [](UINT, UINT l, UINT, UINT x, UINT y) {
        return 0xFF000000 | (l * 31 + x * 7 + y * 13) % 0x1000000;
    };
    const std::vector<BYTE> file = ArgbDds(32, 16, 1, 6, 1, pattern);
    LoadCall call;
    call.levels = 3;
    call.filter = D3DX_FILTER_NONE;
    D3DXIMAGE_INFO info{};
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(file, call, &texture, nullptr, &info), S_OK);
    EXPECT_EQ(info.MipLevels, 6u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    for (UINT level = 0; level < 3; ++level) {
        const UINT w = 32 >> level;
        const UINT h = 16 >> level;
        std::vector<std::uint32_t> expected;
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                expected.push_back(pattern(0, level, 0, x, y));
            }
        }
        EXPECT_EQ(Texels(texture.Get(), level), expected) << "level " << level;
    }
}

// A cube gives its first face, a volume the first slice of each level; the
// mip levels of both come from the file.
TEST_F(DdsTextureTest, FirstFaceAndFirstSlice) {
    struct Case {
        const char* name;
        UINT depth;
        UINT faces;
    };
    for (const Case& c : {Case{"cube", 1, 6}, Case{"volume", 4, 1}}) {
        SCOPED_TRACE(c.name);
        LoadCall call;
        call.levels = D3DX_FROM_FILE;
        ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(Load(ArgbDds(8, 8, c.depth, 4, c.faces, Uniform), call, &texture), S_OK);
        ASSERT_EQ(texture->GetLevelCount(), 4u);
        for (UINT level = 0; level < 4; ++level) {
            ExpectUniform(texture.Get(), level, Uniform(0, level, 0, 0, 0));
        }
    }
}

// A DXT5 chain down to 1 x 1 goes into a DXT5 texture block for block,
// the 2 x 2 and 1 x 1 levels (one partly used block each) included.
TEST_F(DdsTextureTest, BlockChainCopiedAsItIs) {
    DdsDescription d = FourCCDds(MAKEFOURCC('D', 'X', 'T', '5'), 16, 16, 5);
    const UINT blockCounts[] = {16, 4, 1, 1, 1};
    for (UINT level = 0; level < 5; ++level) {
        const std::vector<std::uint8_t> bytes = PatternBytes(blockCounts[level] * 16, level);
        d.pixels.insert(d.pixels.end(), bytes.begin(), bytes.end());
    }
    LoadCall call;
    call.levels = D3DX_FROM_FILE;
    call.format = D3DFMT_FROM_FILE;
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(BuildDds(d), call, &texture), S_OK);
    ASSERT_EQ(texture->GetLevelCount(), 5u);
    EXPECT_EQ(Desc(texture.Get()).Format, D3DFMT_DXT5);
    std::size_t offset = 0;
    for (UINT level = 0; level < 5; ++level) {
        const UINT across = std::max(4u >> level, 1u);
        const std::vector<BYTE> bytes =
            ReadBytes(Level(texture.Get(), level).Get(), across * 16, across);
        const std::vector<BYTE> expected(
            d.pixels.begin() + static_cast<std::ptrdiff_t>(offset),
            d.pixels.begin() + static_cast<std::ptrdiff_t>(offset + bytes.size()));
        EXPECT_EQ(bytes, expected) << "level " << level;
        offset += bytes.size();
    }
}

// The 1,024 bytes after the header are the palette of every level.
TEST_F(DdsTextureTest, PaletteOfTheFile) {
    DdsDescription d;
    d.pixelFlags = 0x20;
    d.bitCount = 8;
    d.width = 4;
    d.height = 2;
    d.mipCount = 2;
    for (UINT i = 0; i < 256; ++i) {
        d.palette.insert(d.palette.end(), {static_cast<BYTE>(i), static_cast<BYTE>(255 - i),
                                           static_cast<BYTE>(i / 2), 0xFF});
    }
    d.pixels = {0, 1, 2, 3, 4, 5, 6, 7, 200, 201};
    LoadCall call;
    call.levels = D3DX_FROM_FILE;
    call.filter = D3DX_FILTER_NONE;
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(BuildDds(d), call, &texture), S_OK);
    EXPECT_EQ(Desc(texture.Get()).Format, D3DFMT_X8R8G8B8);
    // The unused top byte of an X8R8G8B8 texel is not compared.
    const auto entry = [](UINT i) { return i << 16 | (255 - i) << 8 | i / 2; };
    const auto colours = [this, &texture](UINT level) {
        std::vector<std::uint32_t> texels = Texels(texture.Get(), level);
        for (std::uint32_t& texel : texels) {
            texel &= 0xFFFFFF;
        }
        return texels;
    };
    EXPECT_EQ(colours(0), (std::vector<std::uint32_t>{entry(0), entry(1), entry(2), entry(3),
                                                      entry(4), entry(5), entry(6), entry(7)}));
    EXPECT_EQ(colours(1), (std::vector<std::uint32_t>{entry(200), entry(201)}));
}

}  // namespace
