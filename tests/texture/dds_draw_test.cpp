// A DDS file with a full DXT5 chain, loaded from disk, on the device: every
// level holds the file's blocks, and drawing it at every level's size gives
// the frame that an A8R8G8B8 texture of the same blocks decoded by hand
// gives; loaded into an A8R8G8B8 texture its levels are that hand decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "texture/dds_writer.h"
#include "texture_load_fixture.h"

namespace {

constexpr UINT kSize = 16;
constexpr UINT kLevels = 5;

// A 5-bit or 6-bit channel as a byte: the same fraction of full scale,
// rounded to nearest.
UINT Widen(UINT value, UINT bits) {
    const UINT maximum = (1u << bits) - 1;
    return (value * 255 + maximum / 2) / maximum;
}

UINT Blend(UINT a, UINT b, UINT weightA, UINT weightB) {
    const UINT sum = weightA + weightB;
    return (a * weightA + b * weightB + sum / 2) / sum;
}

// The 16 texels of one DXT5 block as 0xAARRGGBB, row after row. The colour
// half is read in four-colour mode, the only mode of the alpha formats.
std::array<std::uint32_t, 16> DecodeDxt5Block(const BYTE* block) {
    UINT alphas[8] = {block[0], block[1]};
    if (alphas[0] > alphas[1]) {
        for (UINT i = 1; i <= 6; ++i) {
            alphas[i + 1] = Blend(alphas[0], alphas[1], 7 - i, i);
        }
    } else {
        for (UINT i = 1; i <= 4; ++i) {
            alphas[i + 1] = Blend(alphas[0], alphas[1], 5 - i, i);
        }
        alphas[6] = 0;
        alphas[7] = 255;
    }
    UINT channels[4][3];
    for (UINT e = 0; e < 2; ++e) {
        const UINT word = block[8 + 2 * e] | block[9 + 2 * e] << 8;
        channels[e][0] = Widen(word >> 11, 5);
        channels[e][1] = Widen((word >> 5) & 63, 6);
        channels[e][2] = Widen(word & 31, 5);
    }
    for (UINT c = 0; c < 3; ++c) {
        channels[2][c] = Blend(channels[0][c], channels[1][c], 2, 1);
        channels[3][c] = Blend(channels[0][c], channels[1][c], 1, 2);
    }
    std::array<std::uint32_t, 16> texels{};
    for (UINT i = 0; i < 16; ++i) {
        const UINT bit = 3 * i;
        const UINT alphaIndex =
            ((block[2 + bit / 8] | (bit % 8 > 5 ? block[3 + bit / 8] << 8 : 0)) >> (bit % 8)) & 7;
        const UINT colourIndex = (block[12 + i / 4] >> (2 * (i % 4))) & 3;
        const UINT* c = channels[colourIndex];
        texels[i] = alphas[alphaIndex] << 24 | c[0] << 16 | c[1] << 8 | c[2];
    }
    return texels;
}

// A w x h level of blocks decoded into texels, row after row.
std::vector<std::uint32_t> DecodeDxt5Level(const BYTE* blocks, UINT w, UINT h) {
    const UINT across = (w + 3) / 4;
    std::vector<std::uint32_t> texels(std::size_t{w} * h);
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
            const BYTE* block = blocks + (std::size_t{y / 4} * across + x / 4) * 16;
            texels[std::size_t{y} * w + x] = DecodeDxt5Block(block)[(y % 4) * 4 + x % 4];
        }
    }
    return texels;
}

// Blocks of every alpha mode, with colour endpoints in four-colour order
// (first above second), varied indices and a different pattern per level.
std::vector<BYTE> Dxt5Chain() {
    std::vector<BYTE> bytes;
    for (UINT level = 0; level < kLevels; ++level) {
        const UINT blocks = std::max((kSize >> level) / 4, 1u);
        for (UINT b = 0; b < blocks * blocks; ++b) {
            const std::vector<std::uint8_t> noise = PatternBytes(16, level * 64 + b);
            const BYTE a0 = noise[0];
            const BYTE a1 = noise[1];
            std::uint16_t c0 = static_cast<std::uint16_t>(noise[8] | noise[9] << 8 | 0x8000);
            std::uint16_t c1 = static_cast<std::uint16_t>((noise[10] | noise[11] << 8) & 0x7FFF);
            bytes.insert(bytes.end(), {a0, a1});
            bytes.insert(bytes.end(), noise.begin() + 2, noise.begin() + 8);
            bytes.insert(bytes.end(), {static_cast<BYTE>(c0), static_cast<BYTE>(c0 >> 8),
                                       static_cast<BYTE>(c1), static_cast<BYTE>(c1 >> 8)});
            bytes.insert(bytes.end(), noise.begin() + 12, noise.end());
        }
    }
    return bytes;
}

struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};

const D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END,
};

class DdsDrawTest : public TextureLoadTest {
  protected:
    // Draws texture as squares of 16, 8, 4, 2 and 1 pixels over a grey
    // background with alpha blending, so that every level and the alpha of
    // every texel reach the frame, with filter for minifying, magnifying and
    // choosing levels.
    std::vector<std::uint32_t> Draw(IDirect3DTexture9* texture, D3DTEXTUREFILTERTYPE filter) {
        std::vector<Vertex> quads;
        float x = 10;
        for (UINT level = 0; level < kLevels; ++level) {
            const float s = static_cast<float>(kSize >> level);
            const Vertex corners[4] = {{x, 20, 0.5f, 0xFFFFFFFF, 0, 0},
                                       {x + s, 20, 0.5f, 0xFFFFFFFF, 1, 0},
                                       {x, 20 + s, 0.5f, 0xFFFFFFFF, 0, 1},
                                       {x + s, 20 + s, 0.5f, 0xFFFFFFFF, 1, 1}};
            for (int corner : {0, 1, 2, 1, 3, 2}) {
                quads.push_back(corners[corner]);
            }
            x += s + 10;
        }
        ComPtr<IDirect3DVertexDeclaration9> declaration;
        ComPtr<IDirect3DVertexBuffer9> vertices;
        EXPECT_EQ(device_->CreateVertexDeclaration(kElements, declaration.ReleaseAndGetAddressOf()),
                  S_OK);
        const UINT bytes = static_cast<UINT>(quads.size() * sizeof(Vertex));
        EXPECT_EQ(device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                              vertices.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        void* data = nullptr;
        EXPECT_EQ(vertices->Lock(0, 0, &data, 0), S_OK);
        std::memcpy(data, quads.data(), bytes);
        vertices->Unlock();

        // Pixel (x, y) to clip space with the half-pixel offset.
        D3DMATRIX projection{};
        projection._11 = 2.0f / 640;
        projection._22 = -2.0f / 480;
        projection._33 = 1;
        projection._41 = -1.0f - 1.0f / 640;
        projection._42 = 1.0f + 1.0f / 480;
        projection._44 = 1;
        device_->SetTransform(D3DTS_PROJECTION, &projection);
        device_->SetVertexDeclaration(declaration.Get());
        device_->SetStreamSource(0, vertices.Get(), 0, sizeof(Vertex));
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetTexture(0, texture);
        for (D3DSAMPLERSTATETYPE state :
             {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER}) {
            device_->SetSamplerState(0, state, filter);
        }
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0), S_OK);
        EXPECT_EQ(device_->BeginScene(), S_OK);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * kLevels), S_OK);
        EXPECT_EQ(device_->EndScene(), S_OK);
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        device_->SetTexture(0, nullptr);
        std::vector<std::uint32_t> frame;
        UINT width = 0;
        UINT height = 0;
        EXPECT_TRUE(ReadPresentedFrame(device_.Get(), &frame, &width, &height));
        return frame;
    }
};

TEST_F(DdsDrawTest, Dxt5ChainFromDiskDrawsAsItsHandDecodedBlocks) {
    DdsDescription description = FourCCDds(MAKEFOURCC('D', 'X', 'T', '5'), kSize, kSize, kLevels);
    description.pixels = Dxt5Chain();
    TemporaryDirectory directory;
    const std::string path = directory.Write("chain.dds", BuildDds(description));

    ComPtr<IDirect3DTexture9> loaded;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_.Get(), path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                           D3DX_FROM_FILE, 0, D3DFMT_FROM_FILE, D3DPOOL_MANAGED,
                                           D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr,
                                           loaded.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    EXPECT_EQ(info.MipLevels, kLevels);
    ASSERT_EQ(loaded->GetLevelCount(), kLevels);
    ASSERT_EQ(Desc(loaded.Get()).Format, D3DFMT_DXT5);

    ComPtr<IDirect3DTexture9> decoded =
        Texture(kSize, kSize, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, kLevels);
    ASSERT_TRUE(decoded);
    const BYTE* blocks = description.pixels.data();
    for (UINT level = 0; level < kLevels; ++level) {
        const UINT size = kSize >> level;
        const UINT across = std::max(size / 4, 1u);
        const std::vector<BYTE> expected(blocks, blocks + across * across * 16);
        EXPECT_EQ(ReadBytes(Level(loaded.Get(), level).Get(), across * 16, across), expected)
            << "level " << level;
        Write(Level(decoded.Get(), level).Get(), DecodeDxt5Level(blocks, size, size));
        blocks += expected.size();
    }

    for (D3DTEXTUREFILTERTYPE filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        const std::vector<std::uint32_t> fromFile = Draw(loaded.Get(), filter);
        const std::vector<std::uint32_t> byHand = Draw(decoded.Get(), filter);
        ASSERT_EQ(fromFile.size(), 640u * 480u);
        EXPECT_TRUE(fromFile == byHand) << "filter " << filter;
        // The squares reached the frame in many colours.
        const std::set<std::uint32_t> colours(fromFile.begin(), fromFile.end());
        EXPECT_GT(colours.size(), 100u) << "filter " << filter;
    }
}

// The largest difference between two texels in any channel.
UINT ChannelDistance(std::uint32_t a, std::uint32_t b) {
    UINT largest = 0;
    for (UINT shift = 0; shift < 32; shift += 8) {
        const int difference =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        largest = std::max(largest, static_cast<UINT>(std::abs(difference)));
    }
    return largest;
}

// The library's block decoder, through the loader, gives the hand decode of
// every level. The library mixes the colours in the endpoints' own precision
// and rounds the result, the hand decode mixes the rounded bytes: the two
// may differ by one step in a mixed channel, never more.
TEST_F(DdsDrawTest, Dxt5ChainIntoArgbTextureIsTheHandDecode) {
    DdsDescription description = FourCCDds(MAKEFOURCC('D', 'X', 'T', '5'), kSize, kSize, kLevels);
    description.pixels = Dxt5Chain();
    LoadCall call;
    call.levels = D3DX_FROM_FILE;
    call.format = D3DFMT_A8R8G8B8;
    call.filter = D3DX_FILTER_NONE;
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(Load(BuildDds(description), call, &texture), S_OK);
    ASSERT_EQ(texture->GetLevelCount(), kLevels);
    const BYTE* blocks = description.pixels.data();
    for (UINT level = 0; level < kLevels; ++level) {
        const UINT size = kSize >> level;
        const std::vector<std::uint32_t> loaded = Texels(texture.Get(), level);
        const std::vector<std::uint32_t> expected = DecodeDxt5Level(blocks, size, size);
        ASSERT_EQ(loaded.size(), expected.size());
        for (std::size_t i = 0; i < loaded.size(); ++i) {
            EXPECT_LE(ChannelDistance(loaded[i], expected[i]), 1u)
                << "level " << level << " texel " << i << std::hex << ": " << loaded[i] << " "
                << expected[i];
        }
        const UINT across = std::max(size / 4, 1u);
        blocks += across * across * 16;
    }
}

}  // namespace
