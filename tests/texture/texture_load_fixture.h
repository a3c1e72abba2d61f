// A headless device for the texture-from-file tests, with profiles that
// change its texture caps and formats, the call as the public entry takes
// it, the images the tests load and the device's reference count that tells
// whether a load left anything behind.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pixel/load_test_support.h"
#include "texture_file_support.h"
#include "vellorn/d3dx_texture.h"

// The arguments of D3DXCreateTextureFromFileInMemoryEx after the file.
struct LoadCall {
    UINT width = D3DX_DEFAULT;
    UINT height = D3DX_DEFAULT;
    UINT levels = 0;
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_MANAGED;
    DWORD filter = D3DX_DEFAULT;
    DWORD mipFilter = D3DX_DEFAULT;
    D3DCOLOR colorKey = 0;
};

// What a test changes of the default profile (power-of-two-conditional
// textures up to 4096 x 4096 with mipmaps).
struct DeviceCaps {
    DWORD textureCaps =
        D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL | D3DPTEXTURECAPS_MIPMAP;
    UINT maxWidth = 4096;
    UINT maxHeight = 4096;
    bool offerP8 = false;
};

class TextureLoadTest : public LoadTest {
  protected:
    void UseCaps(const DeviceCaps& caps) {
        DeviceProfile profile = DefaultDeviceProfile();
        profile.caps.TextureCaps = caps.textureCaps;
        profile.caps.MaxTextureWidth = caps.maxWidth;
        profile.caps.MaxTextureHeight = caps.maxHeight;
        if (caps.offerP8) {
            FormatSupport p8{};
            p8.format = D3DFMT_P8;
            p8.texture = true;
            profile.formats.push_back(p8);
        }
        device_.Reset();
        UseProfile(profile);
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
        messages_.clear();
        ClearCallLog();
    }

    HRESULT Load(const std::vector<BYTE>& file, const LoadCall& call,
                 ComPtr<IDirect3DTexture9>* texture, PALETTEENTRY* palette = nullptr,
                 D3DXIMAGE_INFO* info = nullptr) {
        return D3DXCreateTextureFromFileInMemoryEx(
            device_.Get(), file.data(), static_cast<UINT>(file.size()), call.width, call.height,
            call.levels, call.usage, call.format, call.pool, call.filter, call.mipFilter,
            call.colorKey, info, palette, texture->ReleaseAndGetAddressOf());
    }

    ULONG DeviceReferences() const {
        device_->AddRef();
        return device_->Release();
    }

    // The texels of a level of a 32-bit format, or of D3DFMT_R8G8B8 with an
    // alpha of 0xFF, row after row as 0xAARRGGBB.
    std::vector<std::uint32_t> Texels(IDirect3DTexture9* texture, UINT level = 0) {
        const ComPtr<IDirect3DSurface9> surface = Level(texture, level);
        const D3DSURFACE_DESC desc = Desc(texture, level);
        if (desc.Format != D3DFMT_R8G8B8) {
            return Read(surface.Get());
        }
        const std::vector<BYTE> bytes = ReadBytes(surface.Get(), desc.Width * 3, desc.Height);
        std::vector<std::uint32_t> texels;
        for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
            texels.push_back(0xFF000000 | bytes[i + 2] << 16 | bytes[i + 1] << 8 | bytes[i]);
        }
        return texels;
    }

    static D3DSURFACE_DESC Desc(IDirect3DTexture9* texture, UINT level = 0) {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), S_OK);
        return desc;
    }

    // Distinct opaque colours, none of them white: 0xRRGGBB.
    static std::vector<std::uint32_t> Colours(UINT width, UINT height) {
        std::vector<std::uint32_t> pixels = Pattern(width * height, 7);
        for (std::uint32_t& p : pixels) {
            p &= 0x00FFFFFE;
        }
        return pixels;
    }

    static std::array<PALETTEENTRY, 256> GreyRamp() {
        std::array<PALETTEENTRY, 256> palette{};
        for (UINT i = 0; i < 256; ++i) {
            const auto grey = static_cast<BYTE>(i);
            palette[i] = {grey, grey, grey, 0xFF};
        }
        return palette;
    }

    // Every index once, row after row.
    static std::vector<BYTE> AllIndices() {
        std::vector<BYTE> indices(256);
        for (UINT i = 0; i < 256; ++i) {
            indices[i] = static_cast<BYTE>(i);
        }
        return indices;
    }
};
