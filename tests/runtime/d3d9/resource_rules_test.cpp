// Creation, lock and lifetime rules of textures, surfaces, buffers and vertex
// declarations, checked against a fake device context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "fake_device_context.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_ptr.h"

namespace {

// ---- texture creation ----

struct CreateCase {
    const char* name;
    UINT width, height, levels;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
    std::function<void(DeviceProfile&)> adjust;
    HRESULT expected;
    UINT expectedLevels;
};

class TextureCreation : public ::testing::TestWithParam<CreateCase> {};

TEST_P(TextureCreation, FollowsTheProfile) {
    const CreateCase& c = GetParam();
    FakeDeviceContext device;
    if (c.adjust) {
        c.adjust(device.profile);
    }
    IDirect3DTexture9* raw = nullptr;
    EXPECT_EQ(
        CreateTextureResource(device, c.width, c.height, c.levels, c.usage, c.format, c.pool, &raw),
        c.expected);
    ComPtr<IDirect3DTexture9> texture = ComPtr<IDirect3DTexture9>::Adopt(raw);
    if (SUCCEEDED(c.expected)) {
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->GetLevelCount(), c.expectedLevels);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(c.expectedLevels - 1, &desc), S_OK);
        EXPECT_EQ(desc.Width, std::max(1u, c.width >> (c.expectedLevels - 1)));
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, c.pool);
        EXPECT_EQ(texture->GetLevelDesc(c.expectedLevels, &desc), D3DERR_INVALIDCALL);
    } else {
        EXPECT_EQ(raw, nullptr);
    }
}

void SquareOnly(DeviceProfile& p) {
    p.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
}
void StrictPow2(DeviceProfile& p) {
    p.caps.TextureCaps &= ~D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
}
void AspectTwo(DeviceProfile& p) {
    p.caps.MaxTextureAspectRatio = 2;
}
void NoMipmaps(DeviceProfile& p) {
    p.caps.TextureCaps &= ~D3DPTEXTURECAPS_MIPMAP;
}

constexpr DWORD kRT = D3DUSAGE_RENDERTARGET;
constexpr DWORD kDyn = D3DUSAGE_DYNAMIC;
constexpr DWORD kAuto = D3DUSAGE_AUTOGENMIPMAP;
constexpr HRESULT kBad = D3DERR_INVALIDCALL;

INSTANTIATE_TEST_SUITE_P(
    Rules, TextureCreation,
    ::testing::Values(
        CreateCase{"FullChain", 256, 128, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, {}, S_OK, 9},
        CreateCase{"SomeLevels", 64, 64, 3, 0, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM, {}, S_OK, 3},
        CreateCase{"ZeroWidth", 0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"TooManyLevels", 16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"NonPow2OneLevel", 300, 200, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, {}, S_OK, 1},
        CreateCase{"NonPow2Mipmapped", 300, 200, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"NonPow2Strict", 300, 200, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, StrictPow2,
                   kBad, 0},
        CreateCase{"TooWide", 8192, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"SquareOnly", 16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, SquareOnly, kBad,
                   0},
        CreateCase{"Aspect", 64, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, AspectTwo, kBad, 0},
        CreateCase{"NoMipmapsFull", 16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, NoMipmaps, S_OK,
                   1},
        CreateCase{"NoMipmapsTwo", 16, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, NoMipmaps, kBad,
                   0},
        CreateCase{"NotOffered", 16, 16, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"ScratchAnyFormat", 16, 16, 1, 0, D3DFMT_P8, D3DPOOL_SCRATCH, {}, S_OK, 1},
        CreateCase{"ScratchIgnoresCaps", 300, 200, 0, 0, D3DFMT_R8G8B8, D3DPOOL_SCRATCH, StrictPow2,
                   S_OK, 9},
        CreateCase{"UnknownFormat", 16, 16, 1, 0, D3DFMT_D24S8, D3DPOOL_SCRATCH, {}, kBad, 0},
        CreateCase{"BadPool", 16, 16, 1, 0, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(4), {}, kBad, 0},
        CreateCase{"RenderTarget", 64, 64, 1, kRT, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, {}, S_OK, 1},
        CreateCase{
            "RenderTargetManaged", 64, 64, 1, kRT, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"RenderTargetDxt", 64, 64, 1, kRT, D3DFMT_DXT1, D3DPOOL_DEFAULT, {}, kBad, 0},
        CreateCase{"DynamicDefault", 64, 64, 1, kDyn, D3DFMT_L8, D3DPOOL_DEFAULT, {}, S_OK, 1},
        CreateCase{"DynamicManaged", 64, 64, 1, kDyn, D3DFMT_L8, D3DPOOL_MANAGED, {}, kBad, 0},
        CreateCase{"AutoGenKeepsOneLevel",
                   64,
                   64,
                   0,
                   kAuto,
                   D3DFMT_A8R8G8B8,
                   D3DPOOL_DEFAULT,
                   {},
                   S_OK,
                   1},
        CreateCase{"AutoGenSystemMemory",
                   64,
                   64,
                   0,
                   kAuto,
                   D3DFMT_A8R8G8B8,
                   D3DPOOL_SYSTEMMEM,
                   {},
                   kBad,
                   0},
        CreateCase{"DepthUsage",
                   64,
                   64,
                   1,
                   D3DUSAGE_DEPTHSTENCIL,
                   D3DFMT_A8R8G8B8,
                   D3DPOOL_DEFAULT,
                   {},
                   kBad,
                   0}),
    [](const auto& info) { return info.param.name; });

TEST(CubeAndVolumeCreation, FollowTheirOwnCaps) {
    FakeDeviceContext device;
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(CreateCubeTextureResource(device, 16, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &cube),
              S_OK);
    EXPECT_EQ(cube->GetLevelCount(), 5u);
    EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
    cube->Release();
    EXPECT_EQ(CreateCubeTextureResource(device, 12, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &cube),
              kBad);

    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(CreateVolumeTextureResource(device, 8, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                          &volume),
              S_OK);
    EXPECT_EQ(volume->GetLevelCount(), 4u);
    D3DVOLUME_DESC desc{};
    ASSERT_EQ(volume->GetLevelDesc(3, &desc), S_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Depth, 1u);
    D3DLOCKED_BOX box{};
    const D3DBOX part{1, 1, 3, 2, 1, 2};
    ASSERT_EQ(volume->LockBox(0, &box, &part, 0), S_OK);
    EXPECT_EQ(box.RowPitch, 32);
    EXPECT_EQ(box.SlicePitch, 128);
    EXPECT_EQ(volume->LockBox(0, &box, nullptr, 0), kBad);
    EXPECT_EQ(volume->UnlockBox(0), S_OK);
    EXPECT_EQ(volume->UnlockBox(0), kBad);
    volume->Release();
    EXPECT_EQ(
        CreateVolumeTextureResource(device, 8, 8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &volume),
        kBad);
    EXPECT_EQ(
        CreateVolumeTextureResource(device, 512, 1, 1, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &volume),
        kBad);
    for (int count : device.live) {
        EXPECT_EQ(count, 0);
    }
}

// ---- locks ----

TEST(SurfaceLock, RenderTargetsLockOnlyWhenLockable) {
    FakeDeviceContext device;
    for (bool lockable : {false, true}) {
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(CreateSurfaceResource(device, 8, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, kRT,
                                        lockable, &surface),
                  S_OK);
        EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 1);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), lockable ? S_OK : kBad);
        EXPECT_EQ(surface->UnlockRect(), lockable ? S_OK : kBad);
        EXPECT_EQ(surface->Release(), 0u);
        EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 0);
    }
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(CreateSurfaceResource(device, 8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, kRT, true,
                                    &surface),
              kBad);
}

struct RectCase {
    UINT width, height;
    RECT rect;
    HRESULT expected;
    std::ptrdiff_t offset;  // of the returned pointer from the level's start
};

class BlockRectLock : public ::testing::TestWithParam<RectCase> {};

TEST_P(BlockRectLock, TakesWholeBlocks) {
    const RectCase& c = GetParam();
    FakeDeviceContext device;
    IDirect3DTexture9* raw = nullptr;
    ASSERT_EQ(CreateTextureResource(device, c.width, c.height, 1, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM,
                                    &raw),
              S_OK);
    ComPtr<IDirect3DTexture9> texture = ComPtr<IDirect3DTexture9>::Adopt(raw);
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, D3DLOCK_READONLY), S_OK);
    ASSERT_EQ(texture->UnlockRect(0), S_OK);
    EXPECT_EQ(whole.Pitch, static_cast<INT>((c.width + 3) / 4 * 8));
    D3DLOCKED_RECT part{};
    EXPECT_EQ(texture->LockRect(0, &part, &c.rect, 0), c.expected);
    if (SUCCEEDED(c.expected)) {
        EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits), c.offset);
        EXPECT_EQ(part.Pitch, whole.Pitch);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, BlockRectLock,
                         ::testing::Values(RectCase{16, 16, {4, 4, 8, 8}, S_OK, 32 + 8},
                                           RectCase{16, 16, {0, 8, 16, 16}, S_OK, 64},
                                           RectCase{6, 6, {4, 4, 6, 6}, S_OK, 16 + 8},
                                           RectCase{16, 16, {2, 0, 4, 4}, kBad, 0},
                                           RectCase{16, 16, {0, 0, 6, 4}, kBad, 0},
                                           RectCase{16, 16, {0, 0, 20, 4}, kBad, 0},
                                           RectCase{16, 16, {4, 4, 4, 8}, kBad, 0}));

TEST(TextureLock, RectPointsIntoTheLevelAndLocksOnce) {
    FakeDeviceContext device;
    IDirect3DTexture9* raw = nullptr;
    ASSERT_EQ(CreateTextureResource(device, 8, 8, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &raw),
              S_OK);
    ComPtr<IDirect3DTexture9> texture = ComPtr<IDirect3DTexture9>::Adopt(raw);
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(1, &whole, nullptr, 0), S_OK);
    D3DLOCKED_RECT again{};
    EXPECT_EQ(texture->LockRect(1, &again, nullptr, 0), kBad);
    // Other levels lock independently, and through the level's surface the
    // same lock state is seen.
    ComPtr<IDirect3DSurface9> level;
    ASSERT_EQ(texture->GetSurfaceLevel(1, level.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(level->LockRect(&again, nullptr, 0), kBad);
    EXPECT_EQ(texture->UnlockRect(1), S_OK);
    const RECT rect{1, 2, 3, 4};
    ASSERT_EQ(level->LockRect(&again, &rect, 0), S_OK);
    EXPECT_EQ(static_cast<BYTE*>(again.pBits) - static_cast<BYTE*>(whole.pBits), 2 * 8 + 1 * 2);
    EXPECT_EQ(level->UnlockRect(), S_OK);
    EXPECT_EQ(texture->LockRect(4, &whole, nullptr, 0), kBad);
}

TEST(TextureLifetime, LevelsKeepTheirTextureAliveAndReportToTheDevice) {
    FakeDeviceContext device;
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(CreateTextureResource(device, 8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
              S_OK);
    EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 1);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(2, &level), S_OK);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 1);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(level->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Width, 2u);
    IDirect3DTexture9* container = nullptr;
    ASSERT_EQ(level->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)),
              S_OK);
    EXPECT_EQ(container, texture);
    EXPECT_EQ(container->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
    EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 0);
}

TEST(TextureState, LevelOfDetailIsForManagedTexturesOnly) {
    FakeDeviceContext device;
    for (D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM}) {
        IDirect3DTexture9* raw = nullptr;
        ASSERT_EQ(CreateTextureResource(device, 16, 16, 0, 0, D3DFMT_L8, pool, &raw), S_OK);
        ComPtr<IDirect3DTexture9> texture = ComPtr<IDirect3DTexture9>::Adopt(raw);
        EXPECT_EQ(texture->SetLOD(2), 0u);
        EXPECT_EQ(texture->GetLOD(), pool == D3DPOOL_MANAGED ? 2u : 0u);
        texture->SetLOD(99);
        EXPECT_EQ(texture->GetLOD(), pool == D3DPOOL_MANAGED ? 4u : 0u);
        D3DPOOL found = D3DPOOL_SCRATCH;
        ASSERT_TRUE(PoolOf(texture.Get(), &found));
        EXPECT_EQ(found, pool);
    }
}

TEST(InjectedFaults, NamedOperationsFailWithTheChosenCode) {
    FakeDeviceContext device;
    IDirect3DTexture9* raw = nullptr;
    ASSERT_EQ(CreateTextureResource(device, 8, 8, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &raw), S_OK);
    ComPtr<IDirect3DTexture9> texture = ComPtr<IDirect3DTexture9>::Adopt(raw);
    device.failingOperation = "IDirect3DTexture9::LockRect";
    device.failureCode = D3DERR_DEVICELOST;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_DEVICELOST);
    EXPECT_EQ(texture->UnlockRect(0), kBad);  // the failed lock left nothing locked
    ASSERT_FALSE(device.log.empty());
    EXPECT_EQ(device.log.back(), "IDirect3DTexture9::LockRect");
}

// ---- buffers ----

struct BufferLockCase {
    const char* name;
    DWORD usage;
    UINT offset, size;
    DWORD flags;
    HRESULT expected;
};

class BufferLock : public ::testing::TestWithParam<BufferLockCase> {};

TEST_P(BufferLock, ChecksRangeAndFlags) {
    const BufferLockCase& c = GetParam();
    FakeDeviceContext device;
    IDirect3DVertexBuffer9* raw = nullptr;
    ASSERT_EQ(CreateVertexBufferResource(device, 64, c.usage | D3DUSAGE_WRITEONLY, 0,
                                         D3DPOOL_DEFAULT, &raw),
              S_OK);
    ComPtr<IDirect3DVertexBuffer9> buffer = ComPtr<IDirect3DVertexBuffer9>::Adopt(raw);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(c.offset, c.size, &data, c.flags), c.expected);
    // Only a lock that succeeded reaches the lock records, with its flags.
    EXPECT_EQ(device.lockFlags,
              SUCCEEDED(c.expected) ? std::vector<DWORD>{c.flags} : std::vector<DWORD>{});
    if (SUCCEEDED(c.expected)) {
        EXPECT_EQ(static_cast<const BYTE*>(data) - StorageOf(buffer.Get())->data,
                  static_cast<std::ptrdiff_t>(c.offset));
        EXPECT_EQ(buffer->Unlock(), S_OK);
    }
    EXPECT_EQ(buffer->Unlock(), kBad);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BufferLock,
    ::testing::Values(BufferLockCase{"Whole", 0, 0, 0, 0, S_OK},
                      BufferLockCase{"ToTheEnd", 0, 16, 0, 0, S_OK},
                      BufferLockCase{"Range", 0, 16, 48, 0, S_OK},
                      BufferLockCase{"PastTheEnd", 0, 16, 49, 0, kBad},
                      BufferLockCase{"OffsetPastTheEnd", 0, 65, 0, 0, kBad},
                      BufferLockCase{"StaticDiscard", 0, 0, 0, D3DLOCK_DISCARD, kBad},
                      BufferLockCase{"StaticNoOverwrite", 0, 0, 0, D3DLOCK_NOOVERWRITE, kBad},
                      BufferLockCase{"DynamicDiscard", kDyn, 0, 0, D3DLOCK_DISCARD, S_OK},
                      BufferLockCase{"DynamicNoOverwrite", kDyn, 32, 16, D3DLOCK_NOOVERWRITE, S_OK},
                      BufferLockCase{"BothFlags", kDyn, 0, 0, D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE,
                                     kBad}),
    [](const auto& info) { return info.param.name; });

TEST(Buffers, NoOverwriteKeepsDataAndLocksNest) {
    FakeDeviceContext device;
    IDirect3DIndexBuffer9* raw = nullptr;
    ASSERT_EQ(CreateIndexBufferResource(device, 8, kDyn, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &raw),
              S_OK);
    ComPtr<IDirect3DIndexBuffer9> buffer = ComPtr<IDirect3DIndexBuffer9>::Adopt(raw);
    EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 1);
    void* first = nullptr;
    ASSERT_EQ(buffer->Lock(0, 4, &first, D3DLOCK_DISCARD), S_OK);
    static_cast<WORD*>(first)[0] = 7;
    static_cast<WORD*>(first)[1] = 9;
    void* second = nullptr;
    ASSERT_EQ(buffer->Lock(4, 4, &second, D3DLOCK_NOOVERWRITE), S_OK);
    static_cast<WORD*>(second)[0] = 11;
    EXPECT_EQ(buffer->Unlock(), S_OK);
    EXPECT_EQ(buffer->Unlock(), S_OK);
    EXPECT_EQ(buffer->Unlock(), kBad);
    const BufferStorage* storage = StorageOf(buffer.Get());
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(storage->format, D3DFMT_INDEX16);
    const WORD* words = reinterpret_cast<const WORD*>(storage->data);
    EXPECT_EQ(words[0], 7);
    EXPECT_EQ(words[1], 9);
    EXPECT_EQ(words[2], 11);
    buffer.Reset();
    EXPECT_EQ(device.live[D3DPOOL_DEFAULT], 0);
}

TEST(Buffers, CreationRules) {
    FakeDeviceContext device;
    IDirect3DIndexBuffer9* index = nullptr;
    EXPECT_EQ(CreateIndexBufferResource(device, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &index),
              kBad);
    EXPECT_EQ(CreateIndexBufferResource(device, 0, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &index),
              kBad);
    IDirect3DVertexBuffer9* vertex = nullptr;
    EXPECT_EQ(CreateVertexBufferResource(device, 16, kDyn, 0, D3DPOOL_MANAGED, &vertex), kBad);
    EXPECT_EQ(CreateVertexBufferResource(device, 16, 0, 0, D3DPOOL_SCRATCH, &vertex), kBad);
    EXPECT_EQ(vertex, nullptr);
}

// ---- vertex declarations ----

struct DeclarationCase {
    const char* name;
    std::vector<D3DVERTEXELEMENT9> elements;  // without the end marker
    HRESULT expected;
};

class Declarations : public ::testing::TestWithParam<DeclarationCase> {};

TEST_P(Declarations, AreCheckedAndKept) {
    const DeclarationCase& c = GetParam();
    FakeDeviceContext device;
    std::vector<D3DVERTEXELEMENT9> elements = c.elements;
    elements.push_back(D3DDECL_END);
    IDirect3DVertexDeclaration9* raw = nullptr;
    EXPECT_EQ(CreateVertexDeclarationResource(device, elements.data(), &raw), c.expected);
    ComPtr<IDirect3DVertexDeclaration9> declaration =
        ComPtr<IDirect3DVertexDeclaration9>::Adopt(raw);
    if (FAILED(c.expected)) {
        EXPECT_FALSE(declaration);
        return;
    }
    ASSERT_TRUE(declaration);
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), S_OK);
    EXPECT_EQ(count, elements.size());
    std::vector<D3DVERTEXELEMENT9> back(count);
    ASSERT_EQ(declaration->GetDeclaration(back.data(), &count), S_OK);
    EXPECT_EQ(std::memcmp(back.data(), elements.data(), count * sizeof(D3DVERTEXELEMENT9)), 0);
    ASSERT_NE(ElementsOf(declaration.Get()), nullptr);
    EXPECT_EQ(ElementsOf(declaration.Get())->size(), c.elements.size());
}

constexpr D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index = 0,
                                    WORD stream = 0) {
    return {stream, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Declarations,
    ::testing::Values(
        DeclarationCase{"Sprite",
                        {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                         Element(12, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR),
                         Element(16, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD)},
                        S_OK},
        DeclarationCase{"Empty", {}, kBad},
        DeclarationCase{
            "SecondStream", {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 1)}, kBad},
        DeclarationCase{"Duplicate",
                        {Element(0, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                         Element(8, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD)},
                        kBad},
        DeclarationCase{"Overlap",
                        {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                         Element(8, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR)},
                        kBad},
        DeclarationCase{
            "Misaligned", {Element(2, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION)}, kBad},
        DeclarationCase{"NormalUsage", {Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL)}, kBad},
        DeclarationCase{"UnknownType", {Element(0, 9, D3DDECLUSAGE_POSITION)}, kBad}),
    [](const auto& info) { return info.param.name; });

}  // namespace
