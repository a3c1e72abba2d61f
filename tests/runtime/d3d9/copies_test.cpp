// Copies between resources (UpdateSurface, UpdateTexture) and the decoded
// levels used for sampling. StretchRect has its own tests.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_device_context.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_ptr.h"

namespace {

constexpr HRESULT kBad = D3DERR_INVALIDCALL;

ComPtr<IDirect3DSurface9> MakeSurface(FakeDeviceContext& device, UINT w, UINT h, D3DFORMAT format,
                                      D3DPOOL pool, DWORD usage = 0) {
    IDirect3DSurface9* raw = nullptr;
    EXPECT_EQ(CreateSurfaceResource(device, w, h, format, pool, usage, true, &raw), S_OK);
    return ComPtr<IDirect3DSurface9>::Adopt(raw);
}

ComPtr<IDirect3DTexture9> MakeTexture(FakeDeviceContext& device, UINT w, UINT h, UINT levels,
                                      D3DFORMAT format, D3DPOOL pool) {
    IDirect3DTexture9* raw = nullptr;
    EXPECT_EQ(CreateTextureResource(device, w, h, levels, 0, format, pool, &raw), S_OK);
    return ComPtr<IDirect3DTexture9>::Adopt(raw);
}

// Pixel (x, y) of a 32-bit surface in its storage.
std::uint32_t PixelAt(IDirect3DSurface9* surface, UINT x, UINT y) {
    const SurfaceStorage* storage = StorageOf(surface);
    std::uint32_t value;
    std::memcpy(&value, storage->data + y * storage->pitch + x * 4, 4);
    return value;
}

// Fills a lockable 32-bit surface with (x, y) -> 0xFF000000 | tag << 16 | y << 8 | x.
void Fill(IDirect3DSurface9* surface, UINT tag) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(surface->GetDesc(&desc), S_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), S_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < desc.Width; ++x) {
            row[x] = 0xFF000000u | (tag << 16) | (y << 8) | x;
        }
    }
    ASSERT_EQ(surface->UnlockRect(), S_OK);
}

TEST(UpdateSurface, CopiesARectToAPoint) {
    FakeDeviceContext device;
    ComPtr<IDirect3DSurface9> source =
        MakeSurface(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    ComPtr<IDirect3DSurface9> target =
        MakeSurface(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    Fill(source.Get(), 1);
    const RECT rect{2, 3, 4, 5};
    const POINT point{5, 6};
    ASSERT_EQ(UpdateSurfaceResource(source.Get(), &rect, target.Get(), &point), S_OK);
    for (UINT y = 0; y < 8; ++y) {
        for (UINT x = 0; x < 8; ++x) {
            const bool inside = x >= 5 && x < 7 && y >= 6 && y < 8;
            const std::uint32_t expected = inside ? 0xFF010000u | ((y - 3) << 8) | (x - 3) : 0u;
            EXPECT_EQ(PixelAt(target.Get(), x, y), expected) << x << "," << y;
        }
    }
}

TEST(UpdateSurface, RefusesWrongPoolsFormatsAndPlacements) {
    FakeDeviceContext device;
    ComPtr<IDirect3DSurface9> system =
        MakeSurface(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    ComPtr<IDirect3DSurface9> otherFormat =
        MakeSurface(device, 8, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
    ComPtr<IDirect3DSurface9> target = MakeSurface(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ComPtr<IDirect3DSurface9> scratch = MakeSurface(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
    const POINT outside{7, 0};
    // Point plus size past LONG's range must not wrap around into the surface.
    const POINT far{0x7FFFFFFF, 0x7FFFFFFF};
    const RECT bad{4, 4, 2, 8};
    const RECT pastSource{4, 4, 9, 8};
    const RECT corner{0, 0, 2, 2};
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), &corner, target.Get(), &far), kBad);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), &pastSource, target.Get(), nullptr), kBad);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), nullptr, otherFormat.Get(), nullptr), kBad);
    EXPECT_EQ(UpdateSurfaceResource(target.Get(), nullptr, system.Get(), nullptr), kBad);
    EXPECT_EQ(UpdateSurfaceResource(scratch.Get(), nullptr, target.Get(), nullptr), kBad);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), nullptr, target.Get(), &outside), kBad);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), &bad, target.Get(), nullptr), kBad);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(system->LockRect(&locked, nullptr, 0), S_OK);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), nullptr, target.Get(), nullptr), kBad);
    ASSERT_EQ(system->UnlockRect(), S_OK);
    EXPECT_EQ(UpdateSurfaceResource(system.Get(), nullptr, target.Get(), nullptr), S_OK);
}

TEST(UpdateTexture, CopiesLevelsMatchedBySize) {
    FakeDeviceContext device;
    ComPtr<IDirect3DTexture9> source =
        MakeTexture(device, 16, 16, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    ComPtr<IDirect3DTexture9> target =
        MakeTexture(device, 8, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    for (UINT level = 0; level < 5; ++level) {
        ComPtr<IDirect3DSurface9> surface;
        ASSERT_EQ(source->GetSurfaceLevel(level, surface.ReleaseAndGetAddressOf()), S_OK);
        Fill(surface.Get(), level);
    }
    ASSERT_EQ(UpdateTextureResource(source.Get(), target.Get()), S_OK);
    for (UINT level = 0; level < 4; ++level) {
        ComPtr<IDirect3DSurface9> surface;
        ASSERT_EQ(target->GetSurfaceLevel(level, surface.ReleaseAndGetAddressOf()), S_OK);
        const UINT last = (8u >> level) - 1;
        EXPECT_EQ(PixelAt(surface.Get(), last, last),
                  0xFF000000u | ((level + 1) << 16) | (last << 8) | last)
            << "level " << level;
    }
    // The other way round, from a smaller source, between wrong pools or
    // formats, it is refused.
    ComPtr<IDirect3DTexture9> big =
        MakeTexture(device, 32, 32, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ComPtr<IDirect3DTexture9> managed =
        MakeTexture(device, 16, 16, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ComPtr<IDirect3DTexture9> otherFormat =
        MakeTexture(device, 8, 8, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
    EXPECT_EQ(UpdateTextureResource(source.Get(), big.Get()), kBad);
    EXPECT_EQ(UpdateTextureResource(managed.Get(), target.Get()), kBad);
    EXPECT_EQ(UpdateTextureResource(source.Get(), managed.Get()), kBad);
    EXPECT_EQ(UpdateTextureResource(source.Get(), otherFormat.Get()), kBad);
    // A destination with more levels than the source has left is refused.
    ComPtr<IDirect3DTexture9> shortSource =
        MakeTexture(device, 8, 8, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(UpdateTextureResource(shortSource.Get(), target.Get()), kBad);
}

TEST(UpdateTexture, CopiesCubeFaces) {
    FakeDeviceContext device;
    IDirect3DCubeTexture9* rawSource = nullptr;
    IDirect3DCubeTexture9* rawTarget = nullptr;
    ASSERT_EQ(
        CreateCubeTextureResource(device, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &rawSource),
        S_OK);
    ASSERT_EQ(
        CreateCubeTextureResource(device, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &rawTarget),
        S_OK);
    ComPtr<IDirect3DCubeTexture9> source = ComPtr<IDirect3DCubeTexture9>::Adopt(rawSource);
    ComPtr<IDirect3DCubeTexture9> target = ComPtr<IDirect3DCubeTexture9>::Adopt(rawTarget);
    ComPtr<IDirect3DSurface9> face;
    ASSERT_EQ(
        source->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, face.ReleaseAndGetAddressOf()),
        S_OK);
    Fill(face.Get(), 5);
    ASSERT_EQ(UpdateTextureResource(source.Get(), target.Get()), S_OK);
    ASSERT_EQ(
        target->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, face.ReleaseAndGetAddressOf()),
        S_OK);
    EXPECT_EQ(PixelAt(face.Get(), 3, 2), 0xFF050203u);
}

TEST(SamplingLevels, DecodeOnDemandAndFollowWrites) {
    FakeDeviceContext device;
    ComPtr<IDirect3DTexture9> texture = MakeTexture(device, 4, 2, 0, D3DFMT_L8, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), S_OK);
    static_cast<BYTE*>(locked.pBits)[1] = 0x40;
    ASSERT_EQ(texture->UnlockRect(0), S_OK);

    std::vector<SampledLevel> levels = SamplingLevels(texture.Get());
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].width, 4u);
    EXPECT_EQ(levels[2].width, 1u);
    EXPECT_EQ(levels[0].texels[1], 0xFF404040u);

    // A read-only lock promises no change: the decoded copy is kept.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
    static_cast<BYTE*>(locked.pBits)[1] = 0x80;
    ASSERT_EQ(texture->UnlockRect(0), S_OK);
    EXPECT_EQ(SamplingLevels(texture.Get())[0].texels[1], 0xFF404040u);

    // A writing lock makes it stale.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), S_OK);
    ASSERT_EQ(texture->UnlockRect(0), S_OK);
    EXPECT_EQ(SamplingLevels(texture.Get())[0].texels[1], 0xFF808080u);
}

TEST(SamplingLevels, FollowCopiesAndSkipScratch) {
    FakeDeviceContext device;
    ComPtr<IDirect3DTexture9> source =
        MakeTexture(device, 2, 2, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    ComPtr<IDirect3DTexture9> target =
        MakeTexture(device, 2, 2, 1, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    EXPECT_EQ(SamplingLevels(target.Get())[0].texels[3], 0u);
    ComPtr<IDirect3DSurface9> level;
    ASSERT_EQ(source->GetSurfaceLevel(0, level.ReleaseAndGetAddressOf()), S_OK);
    Fill(level.Get(), 9);
    ASSERT_EQ(UpdateTextureResource(source.Get(), target.Get()), S_OK);
    EXPECT_EQ(SamplingLevels(target.Get())[0].texels[3], 0xFF090101u);

    ComPtr<IDirect3DTexture9> scratch =
        MakeTexture(device, 2, 2, 1, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
    EXPECT_TRUE(SamplingLevels(scratch.Get()).empty());
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(CreateCubeTextureResource(device, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube),
              S_OK);
    EXPECT_TRUE(SamplingLevels(cube).empty());
    cube->Release();
}

}  // namespace
