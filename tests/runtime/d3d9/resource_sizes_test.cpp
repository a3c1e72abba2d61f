// Sizes of resources: pitches and byte counts computed in 64 bits, and
// creation requests past the allocation limit or the profile's sizes refused
// with Direct3D's codes and without an object, beside their neighbours just
// inside the limits.
#include <gtest/gtest.h>

#include <cstdint>

#include "fake_device_context.h"
#include "runtime/d3d9/resource_sizes.h"
#include "runtime/d3d9/resources.h"

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::uint64_t kUnlimited = ~std::uint64_t{0};
constexpr UINT kMaxUint = 0xFFFFFFFFu;

// ---- the arithmetic ----

struct LevelCase {
    D3DFORMAT format;
    UINT width, height, depth;
    std::uint64_t limit;
    bool fits;
    LevelSize size;
};

class LevelSizes : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelSizes, AreExactOrRefused) {
    const LevelCase& c = GetParam();
    FormatLayout layout{};
    ASSERT_TRUE(LayoutOf(c.format, &layout));
    LevelSize size{};
    ASSERT_EQ(LevelSizeOf(layout, c.width, c.height, c.depth, c.limit, &size), c.fits);
    if (c.fits) {
        EXPECT_EQ(size.rowPitch, c.size.rowPitch);
        EXPECT_EQ(size.rows, c.size.rows);
        EXPECT_EQ(size.slicePitch, c.size.slicePitch);
        EXPECT_EQ(size.bytes, c.size.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, LevelSizes,
    ::testing::Values(
        // Block formats count rows of 4 x 4 blocks.
        LevelCase{D3DFMT_DXT1, 6, 5, 1, kGiB, true, {16, 2, 32, 32}},
        LevelCase{D3DFMT_DXT5, 1, 1, 1, kGiB, true, {16, 1, 16, 16}},
        LevelCase{D3DFMT_R5G6B5, 3, 5, 1, kGiB, true, {6, 5, 30, 30}},
        LevelCase{D3DFMT_A8R8G8B8, 8, 4, 3, kGiB, true, {32, 4, 128, 384}},
        // At the default limit, and one pixel past it.
        LevelCase{D3DFMT_A8R8G8B8, 0x10000000, 1, 1, kGiB, true, {kGiB, 1, kGiB, kGiB}},
        LevelCase{D3DFMT_A8R8G8B8, 0x10000001, 1, 1, kGiB, false, {}},
        // Sizes that wrap around in 32 bits (a pitch of 0) or in 64 bits.
        LevelCase{D3DFMT_A8R8G8B8, 0x40000000, 1, 1, kUnlimited, false, {}},
        LevelCase{D3DFMT_A8R8G8B8, 65536, 65536, 1, kUnlimited, false, {}},
        LevelCase{D3DFMT_DXT5, kMaxUint, kMaxUint, 1, kUnlimited, false, {}},
        LevelCase{D3DFMT_A32B32G32R32F, kMaxUint, kMaxUint, kMaxUint, kUnlimited, false, {}},
        // Whatever the limit, pitches stay within INT.
        LevelCase{
            D3DFMT_L8, 0x7FFFFFFF, 1, 1, kUnlimited, true, {0x7FFFFFFF, 1, 0x7FFFFFFF, 0x7FFFFFFF}},
        LevelCase{D3DFMT_L8, 0x80000000u, 1, 1, kUnlimited, false, {}},
        LevelCase{D3DFMT_L8, 0, 1, 1, kGiB, false, {}}));

TEST(FormatLayout, UnknownFormatsHaveNoLayout) {
    FormatLayout layout{};
    EXPECT_FALSE(LayoutOf(D3DFMT_D24S8, &layout));
    EXPECT_FALSE(LayoutOf(D3DFMT_UNKNOWN, &layout));
}

// ---- creation ----

enum class Kind { Texture, Cube, VolumeTexture, Surface, VertexBuffer, IndexBuffer };

struct SizeCase {
    const char* name;
    Kind kind;
    UINT width, height, depth, levels;  // buffers: width is the length
    D3DFORMAT format;
    D3DPOOL pool;
    std::uint64_t limit;  // the profile's allocation limit
    HRESULT expected;
    UINT pitch;       // row pitch of level 0 (buffers: the size) on success
    UINT slicePitch;  // volumes only
};

// What a creation gave: the code, the object (null or not), and the row and
// slice pitches of its first level as a lock reports them.
struct Outcome {
    HRESULT hr;
    bool object;
    UINT pitch = 0;
    UINT slicePitch = 0;
};

template <class T>
Outcome Finish(HRESULT hr, T* object, UINT pitch = 0, UINT slicePitch = 0) {
    if (object != nullptr) {
        object->Release();
    }
    return {hr, object != nullptr, pitch, slicePitch};
}

Outcome Create(FakeDeviceContext& device, const SizeCase& c) {
    D3DLOCKED_RECT rect{};
    switch (c.kind) {
        case Kind::Texture: {
            IDirect3DTexture9* texture = nullptr;
            const HRESULT hr = CreateTextureResource(device, c.width, c.height, c.levels, 0,
                                                     c.format, c.pool, &texture);
            if (texture != nullptr && texture->LockRect(0, &rect, nullptr, D3DLOCK_READONLY) == 0) {
                texture->UnlockRect(0);
            }
            return Finish(hr, texture, static_cast<UINT>(rect.Pitch));
        }
        case Kind::Cube: {
            IDirect3DCubeTexture9* cube = nullptr;
            const HRESULT hr =
                CreateCubeTextureResource(device, c.width, c.levels, 0, c.format, c.pool, &cube);
            if (cube != nullptr && cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &rect, nullptr,
                                                  D3DLOCK_READONLY) == 0) {
                cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0);
            }
            return Finish(hr, cube, static_cast<UINT>(rect.Pitch));
        }
        case Kind::VolumeTexture: {
            IDirect3DVolumeTexture9* volume = nullptr;
            const HRESULT hr = CreateVolumeTextureResource(device, c.width, c.height, c.depth,
                                                           c.levels, 0, c.format, c.pool, &volume);
            D3DLOCKED_BOX box{};
            if (volume != nullptr && volume->LockBox(0, &box, nullptr, D3DLOCK_READONLY) == 0) {
                volume->UnlockBox(0);
            }
            return Finish(hr, volume, static_cast<UINT>(box.RowPitch),
                          static_cast<UINT>(box.SlicePitch));
        }
        case Kind::Surface: {
            IDirect3DSurface9* surface = nullptr;
            const HRESULT hr = CreateSurfaceResource(device, c.width, c.height, c.format, c.pool, 0,
                                                     true, &surface);
            if (surface != nullptr && surface->LockRect(&rect, nullptr, D3DLOCK_READONLY) == 0) {
                surface->UnlockRect();
            }
            return Finish(hr, surface, static_cast<UINT>(rect.Pitch));
        }
        case Kind::VertexBuffer: {
            IDirect3DVertexBuffer9* buffer = nullptr;
            const HRESULT hr = CreateVertexBufferResource(device, c.width, 0, 0, c.pool, &buffer);
            D3DVERTEXBUFFER_DESC desc{};
            if (buffer != nullptr) {
                buffer->GetDesc(&desc);
            }
            return Finish(hr, buffer, desc.Size);
        }
        case Kind::IndexBuffer: {
            IDirect3DIndexBuffer9* buffer = nullptr;
            const HRESULT hr =
                CreateIndexBufferResource(device, c.width, 0, D3DFMT_INDEX16, c.pool, &buffer);
            D3DINDEXBUFFER_DESC desc{};
            if (buffer != nullptr) {
                buffer->GetDesc(&desc);
            }
            return Finish(hr, buffer, desc.Size);
        }
    }
    return {E_FAIL, false};
}

class CreationSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CreationSizes, AreRefusedPastTheLimitsWithoutAnObject) {
    const SizeCase& c = GetParam();
    FakeDeviceContext device;
    device.profile.maxResourceBytes = c.limit;
    const Outcome outcome = Create(device, c);
    EXPECT_EQ(outcome.hr, c.expected);
    EXPECT_EQ(outcome.object, SUCCEEDED(c.expected));
    if (SUCCEEDED(c.expected)) {
        EXPECT_EQ(outcome.pitch, c.pitch);
        EXPECT_EQ(outcome.slicePitch, c.slicePitch);
    }
    for (int count : device.live) {
        EXPECT_EQ(count, 0);
    }
}

constexpr HRESULT kBad = D3DERR_INVALIDCALL;
constexpr HRESULT kNoMemory = E_OUTOFMEMORY;
constexpr HRESULT kNoVideoMemory = D3DERR_OUTOFVIDEOMEMORY;
constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;

INSTANTIATE_TEST_SUITE_P(Limits, CreationSizes,
                         ::testing::Values(
                             // Requests whose sizes used to wrap around into a small allocation.
                             SizeCase{"ScratchTextureRowOf4GiB", Kind::Texture, 0x40000000, 1, 1, 1,
                                      kArgb, D3DPOOL_SCRATCH, kGiB, kNoMemory, 0, 0},
                             SizeCase{"SystemSurfaceOf8GiB", Kind::Surface, 0x40000001, 2, 1, 1,
                                      kArgb, D3DPOOL_SYSTEMMEM, kGiB, kNoMemory, 0, 0},
                             SizeCase{"ScratchVolumeOf16GiB", Kind::VolumeTexture, 65536, 65536, 1,
                                      1, kArgb, D3DPOOL_SCRATCH, kGiB, kNoMemory, 0, 0},
                             SizeCase{"ScratchDxtWrappingIn64Bits", Kind::Texture, kMaxUint,
                                      kMaxUint, 1, 1, D3DFMT_DXT5, D3DPOOL_SCRATCH, kGiB, kNoMemory,
                                      0, 0},
                             SizeCase{"DefaultVertexBufferOf4GiB", Kind::VertexBuffer, kMaxUint, 1,
                                      1, 1, kArgb, D3DPOOL_DEFAULT, kGiB, kNoVideoMemory, 0, 0},
                             SizeCase{"ManagedIndexBufferOf4GiB", Kind::IndexBuffer, kMaxUint, 1, 1,
                                      1, kArgb, D3DPOOL_MANAGED, kGiB, kNoMemory, 0, 0},
                             // The profile's largest texture and volume extents.
                             SizeCase{"TextureAtMaxWidth", Kind::Texture, 4096, 1, 1, 1, kArgb,
                                      D3DPOOL_MANAGED, kGiB, S_OK, 16384, 0},
                             SizeCase{"TexturePastMaxWidth", Kind::Texture, 4097, 1, 1, 1, kArgb,
                                      D3DPOOL_MANAGED, kGiB, kBad, 0, 0},
                             SizeCase{"VolumeAtMaxExtent", Kind::VolumeTexture, 256, 1, 1, 1, kArgb,
                                      D3DPOOL_MANAGED, kGiB, S_OK, 1024, 1024},
                             SizeCase{"VolumePastMaxExtent", Kind::VolumeTexture, 512, 1, 1, 1,
                                      kArgb, D3DPOOL_MANAGED, kGiB, kBad, 0, 0},
                             // Each kind at a 1 MiB limit and just past it: every level and face
                             // counts.
                             SizeCase{"TextureAtLimit", Kind::Texture, 262144, 1, 1, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, S_OK, 1048576, 0},
                             SizeCase{"TexturePastLimit", Kind::Texture, 262145, 1, 1, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, kNoMemory, 0, 0},
                             SizeCase{"TopLevelAtLimit", Kind::Texture, 512, 512, 1, 1, kArgb,
                                      D3DPOOL_MANAGED, kMiB, S_OK, 2048, 0},
                             SizeCase{"ChainPastLimit", Kind::Texture, 512, 512, 1, 0, kArgb,
                                      D3DPOOL_MANAGED, kMiB, kNoMemory, 0, 0},
                             SizeCase{"DefaultChainPastLimit", Kind::Texture, 512, 512, 1, 0, kArgb,
                                      D3DPOOL_DEFAULT, kMiB, kNoVideoMemory, 0, 0},
                             SizeCase{"CubeAtLimit", Kind::Cube, 209, 209, 1, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, S_OK, 836, 0},
                             SizeCase{"CubePastLimit", Kind::Cube, 210, 210, 1, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, kNoMemory, 0, 0},
                             SizeCase{"DefaultCubePastLimit", Kind::Cube, 256, 256, 1, 1, kArgb,
                                      D3DPOOL_DEFAULT, kMiB, kNoVideoMemory, 0, 0},
                             SizeCase{"VolumeAtLimit", Kind::VolumeTexture, 64, 64, 64, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, S_OK, 256, 16384},
                             SizeCase{"VolumePastLimit", Kind::VolumeTexture, 64, 64, 65, 1, kArgb,
                                      D3DPOOL_SCRATCH, kMiB, kNoMemory, 0, 0},
                             SizeCase{"SurfaceAtLimit", Kind::Surface, 512, 512, 1, 1, kArgb,
                                      D3DPOOL_DEFAULT, kMiB, S_OK, 2048, 0},
                             SizeCase{"SurfacePastLimit", Kind::Surface, 512, 513, 1, 1, kArgb,
                                      D3DPOOL_DEFAULT, kMiB, kNoVideoMemory, 0, 0},
                             SizeCase{"VertexBufferAtLimit", Kind::VertexBuffer, 1048576, 1, 1, 1,
                                      kArgb, D3DPOOL_DEFAULT, kMiB, S_OK, 1048576, 0},
                             SizeCase{"VertexBufferPastLimit", Kind::VertexBuffer, 1048577, 1, 1, 1,
                                      kArgb, D3DPOOL_DEFAULT, kMiB, kNoVideoMemory, 0, 0},
                             SizeCase{"IndexBufferPastLimit", Kind::IndexBuffer, 1048577, 1, 1, 1,
                                      kArgb, D3DPOOL_SYSTEMMEM, kMiB, kNoMemory, 0, 0}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
