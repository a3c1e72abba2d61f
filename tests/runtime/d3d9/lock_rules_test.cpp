// The lock rules of every lockable kind, pool and usage, for each lock flag
// combination, through real resources: texture levels, stand-alone surfaces,
// volumes and buffers follow one table.
#include <gtest/gtest.h>

#include <string>

#include "fake_device_context.h"
#include "runtime/d3d9/resources.h"
#include "vellorn/com_ptr.h"

namespace {

enum class Kind { TextureLevel, Surface, RenderTarget, Volume, Buffer };

constexpr DWORD kRO = D3DLOCK_READONLY;
constexpr DWORD kDiscard = D3DLOCK_DISCARD;
constexpr DWORD kNoOverwrite = D3DLOCK_NOOVERWRITE;

// The flag combinations each row answers, in the order of its answer string.
constexpr DWORD kFlags[] = {0,
                            kRO,
                            kDiscard,
                            kNoOverwrite,
                            kDiscard | kRO,
                            kNoOverwrite | kRO,
                            kDiscard | kNoOverwrite,
                            D3DLOCK_NOSYSLOCK | D3DLOCK_DONOTWAIT | D3DLOCK_NO_DIRTY_UPDATE,
                            0x1};

struct LockRow {
    const char* name;
    Kind kind;
    D3DPOOL pool;
    DWORD usage;
    bool lockable;        // stand-alone surfaces: created lockable
    const char* answers;  // per kFlags entry: Y allowed, N refused
    bool nests;           // a second lock while the first is held is allowed
};

// A resource of one kind with Lock and Unlock of its first level.
class Lockable {
  public:
    Lockable(FakeDeviceContext& device, const LockRow& row) : kind_(row.kind) {
        switch (row.kind) {
            case Kind::TextureLevel: {
                IDirect3DTexture9* raw = nullptr;
                created_ = CreateTextureResource(device, 8, 8, 1, row.usage, D3DFMT_A8R8G8B8,
                                                 row.pool, &raw);
                texture_ = ComPtr<IDirect3DTexture9>::Adopt(raw);
                break;
            }
            case Kind::Surface:
            case Kind::RenderTarget: {
                IDirect3DSurface9* raw = nullptr;
                created_ = CreateSurfaceResource(device, 8, 8, D3DFMT_A8R8G8B8, row.pool, row.usage,
                                                 row.lockable, &raw);
                surface_ = ComPtr<IDirect3DSurface9>::Adopt(raw);
                break;
            }
            case Kind::Volume: {
                IDirect3DVolumeTexture9* raw = nullptr;
                created_ = CreateVolumeTextureResource(device, 4, 4, 4, 1, row.usage,
                                                       D3DFMT_A8R8G8B8, row.pool, &raw);
                volume_ = ComPtr<IDirect3DVolumeTexture9>::Adopt(raw);
                break;
            }
            case Kind::Buffer: {
                IDirect3DVertexBuffer9* raw = nullptr;
                created_ = CreateVertexBufferResource(device, 64, row.usage, 0, row.pool, &raw);
                buffer_ = ComPtr<IDirect3DVertexBuffer9>::Adopt(raw);
                break;
            }
        }
    }

    HRESULT Created() const { return created_; }

    HRESULT Lock(DWORD flags) {
        D3DLOCKED_RECT rect{};
        D3DLOCKED_BOX box{};
        void* data = nullptr;
        switch (kind_) {
            case Kind::TextureLevel: return texture_->LockRect(0, &rect, nullptr, flags);
            case Kind::Surface:
            case Kind::RenderTarget: return surface_->LockRect(&rect, nullptr, flags);
            case Kind::Volume: return volume_->LockBox(0, &box, nullptr, flags);
            case Kind::Buffer: return buffer_->Lock(0, 0, &data, flags);
        }
        return E_FAIL;
    }

    HRESULT Unlock() {
        switch (kind_) {
            case Kind::TextureLevel: return texture_->UnlockRect(0);
            case Kind::Surface:
            case Kind::RenderTarget: return surface_->UnlockRect();
            case Kind::Volume: return volume_->UnlockBox(0);
            case Kind::Buffer: return buffer_->Unlock();
        }
        return E_FAIL;
    }

  private:
    Kind kind_;
    HRESULT created_ = E_FAIL;
    ComPtr<IDirect3DTexture9> texture_;
    ComPtr<IDirect3DSurface9> surface_;
    ComPtr<IDirect3DVolumeTexture9> volume_;
    ComPtr<IDirect3DVertexBuffer9> buffer_;
};

class LockMatrix : public ::testing::TestWithParam<LockRow> {};

TEST_P(LockMatrix, FollowsTheOneTable) {
    const LockRow& row = GetParam();
    ASSERT_EQ(std::string(row.answers).size(), std::size(kFlags));
    FakeDeviceContext device;
    Lockable resource(device, row);
    ASSERT_EQ(resource.Created(), S_OK);
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
        const bool allowed = row.answers[i] == 'Y';
        EXPECT_EQ(resource.Lock(kFlags[i]), allowed ? S_OK : D3DERR_INVALIDCALL)
            << "flags 0x" << std::hex << kFlags[i];
        if (allowed) {
            EXPECT_EQ(resource.Unlock(), S_OK);
        }
        // A refused lock leaves nothing locked.
        EXPECT_EQ(resource.Unlock(), D3DERR_INVALIDCALL);
    }
    if (row.answers[0] == 'Y') {
        ASSERT_EQ(resource.Lock(0), S_OK);
        EXPECT_EQ(resource.Lock(0), row.nests ? S_OK : D3DERR_INVALIDCALL);
        if (row.nests) {
            EXPECT_EQ(resource.Unlock(), S_OK);
        }
        EXPECT_EQ(resource.Unlock(), S_OK);
    }
}

constexpr DWORD kDyn = D3DUSAGE_DYNAMIC;
constexpr DWORD kRT = D3DUSAGE_RENDERTARGET;

//                               flags: 0 R D O DR OR DO other unknown
INSTANTIATE_TEST_SUITE_P(
    Rules, LockMatrix,
    ::testing::Values(
        LockRow{"LevelManaged", Kind::TextureLevel, D3DPOOL_MANAGED, 0, false, "YYNNNNNYN", false},
        LockRow{"LevelSystem", Kind::TextureLevel, D3DPOOL_SYSTEMMEM, 0, false, "YYNNNNNYN", false},
        LockRow{"LevelSystemDynamic", Kind::TextureLevel, D3DPOOL_SYSTEMMEM, kDyn, false,
                "YYYNNNNYN", false},
        LockRow{"LevelScratch", Kind::TextureLevel, D3DPOOL_SCRATCH, 0, false, "YYNNNNNYN", false},
        LockRow{"LevelDefault", Kind::TextureLevel, D3DPOOL_DEFAULT, 0, false, "NNNNNNNNN", false},
        LockRow{"LevelDefaultRenderTarget", Kind::TextureLevel, D3DPOOL_DEFAULT, kRT, false,
                "NNNNNNNNN", false},
        LockRow{"LevelDefaultDynamic", Kind::TextureLevel, D3DPOOL_DEFAULT, kDyn, false,
                "YYYNNNNYN", false},
        LockRow{"OffscreenDefault", Kind::Surface, D3DPOOL_DEFAULT, 0, true, "YYNNNNNYN", false},
        LockRow{"OffscreenSystem", Kind::Surface, D3DPOOL_SYSTEMMEM, 0, true, "YYNNNNNYN", false},
        LockRow{"RenderTargetLockable", Kind::RenderTarget, D3DPOOL_DEFAULT, kRT, true, "YYNNNNNYN",
                false},
        LockRow{"RenderTargetNotLockable", Kind::RenderTarget, D3DPOOL_DEFAULT, kRT, false,
                "NNNNNNNNN", false},
        LockRow{"VolumeManaged", Kind::Volume, D3DPOOL_MANAGED, 0, false, "YYNNNNNYN", false},
        LockRow{"VolumeDefault", Kind::Volume, D3DPOOL_DEFAULT, 0, false, "NNNNNNNNN", false},
        LockRow{"VolumeDefaultDynamic", Kind::Volume, D3DPOOL_DEFAULT, kDyn, false, "YYYNNNNYN",
                false},
        LockRow{"BufferDefault", Kind::Buffer, D3DPOOL_DEFAULT, 0, false, "YYNNNNNYN", true},
        LockRow{"BufferDefaultDynamic", Kind::Buffer, D3DPOOL_DEFAULT, kDyn, false, "YYYYNNNYN",
                true},
        LockRow{"BufferSystemDynamic", Kind::Buffer, D3DPOOL_SYSTEMMEM, kDyn, false, "YYYYNNNYN",
                true},
        LockRow{"BufferManaged", Kind::Buffer, D3DPOOL_MANAGED, 0, false, "YYNNNNNYN", true}),
    [](const auto& info) { return info.param.name; });

// Rects, boxes and ranges reaching past the resource are refused, however
// large their numbers; the ones just inside are taken.
TEST(LockRanges, PastTheResourceAreRefused) {
    FakeDeviceContext device;
    IDirect3DSurface9* rawSurface = nullptr;
    ASSERT_EQ(CreateSurfaceResource(device, 8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, 0, true,
                                    &rawSurface),
              S_OK);
    ComPtr<IDirect3DSurface9> surface = ComPtr<IDirect3DSurface9>::Adopt(rawSurface);
    constexpr LONG kLongMax = 0x7FFFFFFF;
    const RECT rects[] = {{0, 0, 8, 8},        {0, 0, 9, 8},        {-1, 0, 8, 8},
                          {0, 0, kLongMax, 8}, {7, 7, 8, kLongMax}, {kLongMax - 1, 0, kLongMax, 1}};
    for (std::size_t i = 0; i < std::size(rects); ++i) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(surface->LockRect(&locked, &rects[i], 0), i == 0 ? S_OK : D3DERR_INVALIDCALL)
            << "rect " << i;
        surface->UnlockRect();
    }

    IDirect3DVolumeTexture9* rawVolume = nullptr;
    ASSERT_EQ(CreateVolumeTextureResource(device, 4, 4, 4, 1, 0, D3DFMT_L8, D3DPOOL_SYSTEMMEM,
                                          &rawVolume),
              S_OK);
    ComPtr<IDirect3DVolumeTexture9> volume = ComPtr<IDirect3DVolumeTexture9>::Adopt(rawVolume);
    D3DLOCKED_BOX whole{};
    ASSERT_EQ(volume->LockBox(0, &whole, nullptr, D3DLOCK_READONLY), S_OK);
    ASSERT_EQ(volume->UnlockBox(0), S_OK);
    // The first box is the last texel of the 4 x 4 x 4 L8 volume.
    const D3DBOX boxes[] = {{3, 3, 4, 4, 3, 4},
                            {0, 0, 5, 4, 0, 4},
                            {0, 0, 4, 4, 0, 0xFFFFFFFF},
                            {0xFFFFFFFE, 0, 0xFFFFFFFF, 4, 0, 4}};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        D3DLOCKED_BOX locked{};
        EXPECT_EQ(volume->LockBox(0, &locked, &boxes[i], 0), i == 0 ? S_OK : D3DERR_INVALIDCALL)
            << "box " << i;
        if (i == 0) {
            EXPECT_EQ(static_cast<BYTE*>(locked.pBits) - static_cast<BYTE*>(whole.pBits), 63);
        }
        volume->UnlockBox(0);
    }

    IDirect3DIndexBuffer9* rawBuffer = nullptr;
    ASSERT_EQ(
        CreateIndexBufferResource(device, 64, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &rawBuffer),
        S_OK);
    ComPtr<IDirect3DIndexBuffer9> buffer = ComPtr<IDirect3DIndexBuffer9>::Adopt(rawBuffer);
    const UINT ranges[][2] = {{60, 4}, {60, 5}, {16, 0xFFFFFFF0u}, {0xFFFFFFFFu, 1}, {65, 0}};
    for (std::size_t i = 0; i < std::size(ranges); ++i) {
        void* data = nullptr;
        EXPECT_EQ(buffer->Lock(ranges[i][0], ranges[i][1], &data, 0),
                  i == 0 ? S_OK : D3DERR_INVALIDCALL)
            << "range " << i;
        buffer->Unlock();
    }
}

}  // namespace
