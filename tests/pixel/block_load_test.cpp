// The block formats through the public entry points: loads into and out of
// "DXT1", "DXT3" and "DXT5" surfaces, and mip-chain regeneration of a block
// texture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "pixel/block_decoding.h"
#include "pixel/format_groups.h"
#include "pixel/load_test_support.h"

namespace {

// The A8R8G8B8 pixel of a 5:6:5 word with alpha byte a, each channel the
// nearest byte to its 5- or 6-bit value.
std::uint32_t Expand565(unsigned word, std::uint32_t a) {
    const auto channel = [](unsigned v, double top) {
        return static_cast<std::uint32_t>(v * 255.0 / top + 0.5);
    };
    return a << 24 | channel(word >> 11, 31) << 16 | channel((word >> 5) & 63, 63) << 8 |
           channel(word & 31, 31);
}

// An 8 x 8 image: the left half one colour, the right half another.
std::vector<std::uint32_t> Halves(std::uint32_t left, std::uint32_t right) {
    std::vector<std::uint32_t> pixels(64);
    for (UINT i = 0; i < 64; ++i) {
        pixels[i] = i % 8 < 4 ? left : right;
    }
    return pixels;
}

struct BlockLoadTest : LoadTest {
    // The texels of a lockable block surface, decoded.
    std::vector<ColorF> Decode(IDirect3DSurface9* surface) {
        D3DSURFACE_DESC info{};
        surface->GetDesc(&info);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), S_OK);
        std::vector<ColorF> texels(std::size_t{info.Width} * info.Height);
        ColorF block[16];
        for (UINT y = 0; y < info.Height; ++y) {
            for (UINT x = 0; x < info.Width; ++x) {
                BlockDecoderOf(info.Format)(static_cast<const BYTE*>(locked.pBits) +
                                                (y / 4) * locked.Pitch +
                                                (x / 4) * BlockBytes(info.Format),
                                            block);
                texels[std::size_t{y} * info.Width + x] = block[(y % 4) * 4 + x % 4];
            }
        }
        surface->UnlockRect();
        return texels;
    }
};

TEST_F(BlockLoadTest, ColourImagesGoIntoBlockSurfacesAndComeBackOut) {
    const RECT whole = {0, 0, 8, 8};
    // Alphas each format stores exactly.
    const struct {
        D3DFORMAT format;
        std::uint32_t alpha;
    } kCases[] = {{D3DFMT_DXT1, 0xFF}, {D3DFMT_DXT3, 0x99}, {D3DFMT_DXT5, 0x4D}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.format);
        const std::vector<std::uint32_t> image =
            Halves(Expand565(0xF81F, c.alpha), Expand565(0x3A6B, c.alpha));
        ComPtr<IDirect3DTexture9> blocks = Texture(8, 8, D3DPOOL_MANAGED, 0, c.format);
        ASSERT_EQ(
            D3DXLoadSurfaceFromMemory(Level(blocks.Get()).Get(), nullptr, nullptr, image.data(),
                                      D3DFMT_A8R8G8B8, 32, nullptr, &whole, D3DX_DEFAULT, 0),
            S_OK);

        // Out through a surface load and through a load from the blocks in
        // memory.
        ComPtr<IDirect3DSurface9> out = Level(Texture(8, 8, D3DPOOL_MANAGED).Get());
        ASSERT_EQ(D3DXLoadSurfaceFromSurface(out.Get(), nullptr, nullptr, Level(blocks.Get()).Get(),
                                             nullptr, nullptr, D3DX_FILTER_NONE, 0),
                  S_OK);
        EXPECT_EQ(Read(out.Get()), image);

        const UINT pitch = 2 * BlockBytes(c.format);
        const std::vector<BYTE> stored = ReadBytes(Level(blocks.Get()).Get(), pitch, 2);
        ComPtr<IDirect3DSurface9> fromMemory = Level(Texture(8, 8, D3DPOOL_MANAGED).Get());
        ASSERT_EQ(D3DXLoadSurfaceFromMemory(fromMemory.Get(), nullptr, nullptr, stored.data(),
                                            c.format, pitch, nullptr, &whole, D3DX_FILTER_NONE, 0),
                  S_OK);
        EXPECT_EQ(Read(fromMemory.Get()), image);
    }
}

TEST_F(BlockLoadTest, FilterTextureRegeneratesTheLevelsOfABlockTexture) {
    ComPtr<IDirect3DTexture9> texture = Texture(8, 8, D3DPOOL_MANAGED, 0, D3DFMT_DXT1, 0);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    const RECT whole = {0, 0, 8, 8};
    const std::vector<std::uint32_t> image =
        Halves(Expand565(0xF800, 0xFF), Expand565(0x07FF, 0xFF));
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(Level(texture.Get()).Get(), nullptr, nullptr, image.data(),
                                        D3DFMT_A8R8G8B8, 32, nullptr, &whole, D3DX_FILTER_NONE, 0),
              S_OK);

    ASSERT_EQ(D3DXFilterTexture(texture.Get(), nullptr, 0, D3DX_FILTER_BOX), S_OK);
    // Levels 1 and 2 keep the two halves exactly; level 3 is their mean
    // within a 5:6:5 step.
    for (UINT level = 1, size = 4; level < 3; ++level, size /= 2) {
        SCOPED_TRACE(level);
        const std::vector<ColorF> texels = Decode(Level(texture.Get(), level).Get());
        for (UINT i = 0; i < texels.size(); ++i) {
            const bool left = i % size < size / 2;
            EXPECT_FLOAT_EQ(texels[i].r, left ? 1.0f : 0.0f);
            EXPECT_FLOAT_EQ(texels[i].g, left ? 0.0f : 1.0f);
            EXPECT_FLOAT_EQ(texels[i].b, left ? 0.0f : 1.0f);
        }
    }
    const ColorF mean = Decode(Level(texture.Get(), 3).Get())[0];
    EXPECT_NEAR(mean.r, 0.5f, 1 / 31.0f);
    EXPECT_NEAR(mean.g, 0.5f, 1 / 63.0f);
    EXPECT_NEAR(mean.b, 0.5f, 1 / 31.0f);
    EXPECT_FALSE(LibraryReported());
}

}  // namespace
