// Mip-chain regeneration: the default filter by the size of level 0, levels
// made from the level above or all from the source level, every face of a
// cube, volumes, and the level objects released on every path.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "pixel/load_test_support.h"

namespace {

// The 2 x 2 average of each channel of a width x height A8R8G8B8 image,
// rounded as (a + b + c + d + 2) >> 2.
std::vector<std::uint32_t> BoxHalf(const std::vector<std::uint32_t>& pixels, UINT width,
                                   UINT height) {
    std::vector<std::uint32_t> half(std::size_t{width / 2} * (height / 2));
    for (UINT y = 0; y < height / 2; ++y) {
        for (UINT x = 0; x < width / 2; ++x) {
            std::uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const auto channel = [&](UINT sx, UINT sy) {
                    return (pixels[std::size_t{sy} * width + sx] >> shift) & 0xFF;
                };
                const std::uint32_t sum = channel(2 * x, 2 * y) + channel(2 * x + 1, 2 * y) +
                                          channel(2 * x, 2 * y + 1) + channel(2 * x + 1, 2 * y + 1);
                result |= ((sum + 2) >> 2) << shift;
            }
            half[std::size_t{y} * (width / 2) + x] = result;
        }
    }
    return half;
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(LoadTest, DefaultOnPowerOfTwoMakesEachLevelFromTheOneAboveWithTheBox) {
    ComPtr<IDirect3DTexture9> texture = Texture(256, 256, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, 0);
    ASSERT_EQ(texture->GetLevelCount(), 9u);
    Write(Level(texture.Get()).Get(), Pattern(256 * 256));

    ASSERT_EQ(D3DXFilterTexture(texture.Get(), nullptr, 0, D3DX_DEFAULT), S_OK);
    std::vector<std::uint32_t> above = Read(Level(texture.Get()).Get());
    for (UINT level = 1, size = 128; level < 9; ++level, size /= 2) {
        SCOPED_TRACE(level);
        const std::vector<std::uint32_t> pixels = Read(Level(texture.Get(), level).Get());
        ASSERT_EQ(pixels, BoxHalf(above, size * 2, size * 2));
        above = pixels;
    }
}

TEST_F(LoadTest, DefaultOnOtherSizesMakesEveryLevelFromLevelZeroWithTheDitheredTriangle) {
    // A device with mip chains of any size.
    DeviceProfile profile = DefaultDeviceProfile();
    profile.caps.TextureCaps &= ~(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    device_.Reset();
    UseProfile(profile);
    device_ = MakeDevice();
    ComPtr<IDirect3DTexture9> texture = Texture(256, 192, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, 0);
    ComPtr<IDirect3DTexture9> direct = Texture(256, 192, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, 0);
    const UINT levels = texture->GetLevelCount();
    ASSERT_EQ(levels, 9u);
    const std::vector<std::uint32_t> top = Pattern(256 * 192);
    Write(Level(texture.Get()).Get(), top);
    Write(Level(direct.Get()).Get(), top);
    constexpr DWORD kTriangle = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
    for (UINT level = 1; level < levels; ++level) {
        ASSERT_EQ(
            D3DXLoadSurfaceFromSurface(Level(direct.Get(), level).Get(), nullptr, nullptr,
                                       Level(direct.Get()).Get(), nullptr, nullptr, kTriangle, 0),
            S_OK);
    }

    ASSERT_EQ(D3DXFilterTexture(texture.Get(), nullptr, D3DX_DEFAULT, D3DX_DEFAULT), S_OK);
    for (UINT level = 1; level < levels; ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(Read(Level(texture.Get(), level).Get()), Read(Level(direct.Get(), level).Get()));
    }
    // A chain would have made level 2 from level 1, which gives other bytes.
    ComPtr<IDirect3DTexture9> chained = Texture(64, 48, D3DPOOL_MANAGED);
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(Level(chained.Get()).Get(), nullptr, nullptr,
                                   Level(direct.Get(), 1).Get(), nullptr, nullptr, kTriangle, 0),
        S_OK);
    EXPECT_NE(Read(Level(chained.Get()).Get()), Read(Level(direct.Get(), 2).Get()));
}

TEST_F(LoadTest, SourceLevelStaysAndOnlyTheLevelsBelowItAreMade) {
    ComPtr<IDirect3DTexture9> texture = Texture(16, 16, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, 3);
    const std::vector<std::uint32_t> top = Pattern(256, 2);
    const std::vector<std::uint32_t> middle = Pattern(64, 3);
    Write(Level(texture.Get()).Get(), top);
    Write(Level(texture.Get(), 1).Get(), middle);

    ASSERT_EQ(D3DXFilterTexture(texture.Get(), nullptr, 1, D3DX_FILTER_BOX), S_OK);
    EXPECT_EQ(Read(Level(texture.Get()).Get()), top);
    EXPECT_EQ(Read(Level(texture.Get(), 1).Get()), middle);
    EXPECT_EQ(Read(Level(texture.Get(), 2).Get()), BoxHalf(middle, 8, 8));
}

TEST_F(LoadTest, EveryCubeFaceIsFiltered) {
    ComPtr<IDirect3DCubeTexture9> cube;
    ASSERT_EQ(device_->CreateCubeTexture(8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         cube.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    const auto face = [&](UINT f, UINT level) {
        ComPtr<IDirect3DSurface9> surface;
        EXPECT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(f), level,
                                          surface.ReleaseAndGetAddressOf()),
                  S_OK);
        return surface;
    };
    for (UINT f = 0; f < 6; ++f) {
        Write(face(f, 0).Get(), Pattern(64, 10 + f));
    }

    ASSERT_EQ(D3DXFilterTexture(cube.Get(), nullptr, 0, D3DX_DEFAULT), S_OK);
    for (UINT f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(Read(face(f, 1).Get()), BoxHalf(Pattern(64, 10 + f), 8, 8));
    }
}

TEST_F(LoadTest, VolumeLevelsAreMadeFromTheLevelAboveWithTheBox) {
    ComPtr<IDirect3DVolumeTexture9> texture = VolumeTexture(8, 8, 4, D3DPOOL_MANAGED, 0, 3);
    AccessVolume(VolumeLevel(texture.Get()).Get(), true, Pattern(256, 4));

    ASSERT_EQ(D3DXFilterTexture(texture.Get(), nullptr, 0, D3DX_DEFAULT), S_OK);
    for (UINT level = 1; level < 3; ++level) {
        SCOPED_TRACE(level);
        D3DVOLUME_DESC info{};
        texture->GetLevelDesc(level, &info);
        ComPtr<IDirect3DVolumeTexture9> expected =
            VolumeTexture(info.Width, info.Height, info.Depth, D3DPOOL_SYSTEMMEM);
        ASSERT_EQ(D3DXLoadVolumeFromVolume(VolumeLevel(expected.Get()).Get(), nullptr, nullptr,
                                           VolumeLevel(texture.Get(), level - 1).Get(), nullptr,
                                           nullptr, D3DX_FILTER_BOX, 0),
                  S_OK);
        EXPECT_EQ(AccessVolume(VolumeLevel(texture.Get(), level).Get()),
                  AccessVolume(VolumeLevel(expected.Get()).Get()));
    }
}

TEST_F(LoadTest, FailuresAreReturnedAndEveryLevelIsReleased) {
    ComPtr<IDirect3DTexture9> texture = Texture(16, 16, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, 3);
    ComPtr<IDirect3DCubeTexture9> cube;
    ASSERT_EQ(device_->CreateCubeTexture(8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         cube.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ComPtr<IDirect3DVolumeTexture9> volume = VolumeTexture(8, 8, 4, D3DPOOL_MANAGED, 0, 3);
    IDirect3DTexture9* t = texture.Get();
    const struct {
        const char* name;
        IDirect3DBaseTexture9* texture;
        const char* fault;
        int nth;
        UINT sourceLevel;
        DWORD filter;
        HRESULT expected;
        const char* message;  // none when null
    } cases[] = {
        {"no texture", nullptr, nullptr, 0, 0, D3DX_DEFAULT, D3DERR_INVALIDCALL,
         "pBaseTexture pointer is invalid"},
        {"source level out of range", t, nullptr, 0, 3, D3DX_DEFAULT, D3DERR_INVALIDCALL,
         "uSrcLevel larger than num Mip level in the texture"},
        {"invalid filter", t, nullptr, 0, 0, 6, D3DERR_INVALIDCALL, "Invalid image filter"},
        {"source level unavailable", t, "IDirect3DTexture9::GetSurfaceLevel", 1, 0, D3DX_FILTER_BOX,
         D3DERR_NOTAVAILABLE, nullptr},
        {"last level unavailable", t, "IDirect3DTexture9::GetSurfaceLevel", 3, 0,
         D3DX_FILTER_TRIANGLE, D3DERR_NOTAVAILABLE, nullptr},
        {"scratch copy unavailable", t, "CreateTexture", 1, 0, D3DX_FILTER_BOX, D3DERR_NOTAVAILABLE,
         "Failed to create scratch copy of vidmem surface"},
        {"face unavailable", cube.Get(), "IDirect3DCubeTexture9::GetCubeMapSurface", 5, 0,
         D3DX_FILTER_BOX, D3DERR_NOTAVAILABLE, nullptr},
        {"volume level unavailable", volume.Get(), "IDirect3DVolumeTexture9::GetVolumeLevel", 2, 0,
         D3DX_FILTER_BOX, D3DERR_NOTAVAILABLE, nullptr},
        {"volume locked", volume.Get(), "IDirect3DVolume9::LockBox", 3, 0, D3DX_FILTER_BOX,
         D3DERR_NOTAVAILABLE, "Could not lock volume"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        if (c.fault != nullptr) {
            InjectFault(c.fault, c.nth, D3DERR_NOTAVAILABLE);
            if (c.fault == std::string("CreateTexture")) {
                InjectFault("IDirect3DSurface9::LockRect", 1, E_FAIL);
            }
        }
        EXPECT_EQ(D3DXFilterTexture(c.texture, nullptr, c.sourceLevel, c.filter), c.expected);
        if (c.message != nullptr) {
            EXPECT_TRUE(Reported(c.message));
        }
        ResetDeviceControl();
        for (IUnknown* object :
             {static_cast<IUnknown*>(texture.Get()), static_cast<IUnknown*>(cube.Get()),
              static_cast<IUnknown*>(volume.Get())}) {
            EXPECT_EQ(References(object), 1u);
        }
    }
}

}  // namespace
