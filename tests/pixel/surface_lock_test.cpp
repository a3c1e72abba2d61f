// The area a lock takes of block and pair formats, and the description a
// surface lock gives of it, locked in place or through a scratch copy.
#include "pixel/surface_lock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "pixel/load_test_support.h"
#include "pixel/locked_area.h"

inline bool operator==(const PixelBox& a, const PixelBox& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom &&
           a.front == b.front && a.back == b.back;
}

inline std::ostream& operator<<(std::ostream& os, const PixelBox& b) {
    return os << "(" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << ", "
              << b.front << ", " << b.back << ")";
}

namespace {

TEST(LockedAreaTest, WidensToBlocksAndPairsWithinTheSurface) {
    const struct {
        D3DFORMAT format;
        UINT width;
        UINT height;
        PixelBox box;
        PixelBox expected;
    } cases[] = {
        {D3DFMT_DXT1, 12, 8, {5, 1, 7, 3, 0, 1}, {4, 0, 8, 4, 0, 1}},
        {D3DFMT_DXT3, 6, 6, {5, 5, 6, 6, 0, 1}, {4, 4, 6, 6, 0, 1}},
        {D3DFMT_DXT5, 16, 16, {4, 8, 12, 16, 2, 3}, {4, 8, 12, 16, 2, 3}},
        {D3DFMT_YUY2, 5, 3, {3, 1, 4, 2, 0, 1}, {2, 1, 4, 2, 0, 1}},
        {D3DFMT_UYVY, 5, 3, {3, 1, 5, 2, 0, 1}, {2, 1, 5, 2, 0, 1}},
        {D3DFMT_R8G8_B8G8, 8, 1, {1, 0, 6, 1, 0, 1}, {0, 0, 6, 1, 0, 1}},
        {D3DFMT_G8R8_G8B8, 8, 1, {2, 0, 3, 1, 0, 1}, {2, 0, 4, 1, 0, 1}},
        {D3DFMT_A8R8G8B8, 8, 8, {3, 3, 5, 5, 0, 1}, {3, 3, 5, 5, 0, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WidenToStorageUnits(c.format, c.width, c.height, c.box), c.expected) << c.box;
    }
}

// A partial lock of a block surface locks whole blocks and describes the
// caller's rect inside them.
TEST_F(LoadTest, PartialBlockLockStartsAtTheBlockEdge) {
    ComPtr<IDirect3DTexture9> texture = Texture(12, 8, D3DPOOL_MANAGED, 0, D3DFMT_DXT1);
    ComPtr<IDirect3DSurface9> surface = Level(texture.Get());
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(surface->LockRect(&whole, nullptr, D3DLOCK_READONLY), S_OK);
    surface->UnlockRect();
    ClearCallLog();

    SurfaceLock lock;
    SurfaceDesc desc{};
    const RECT rect = {5, 1, 7, 3};
    ASSERT_EQ(lock.Open(surface.Get(), nullptr, &rect, 0, 0, &desc), S_OK);
    EXPECT_EQ(desc.data, static_cast<BYTE*>(whole.pBits) + 8);
    EXPECT_EQ(desc.rowPitch, static_cast<UINT>(whole.Pitch));
    EXPECT_EQ(desc.box, (PixelBox{1, 1, 3, 3, 0, 1}));
    EXPECT_EQ(desc.extent, (PixelBox{0, 0, 4, 4, 0, 1}));
    EXPECT_EQ(desc.format, D3DFMT_DXT1);
    lock.Close();
    EXPECT_EQ(Calls("CreateTexture"), 0);
}

// A 2 x 2 block level is copied at level 1 of a 4 x 4 scratch texture. A rect
// that widens to the whole level still keeps the rest of its block: the old
// contents are copied in, and go back with the new ones.
TEST_F(LoadTest, ScratchCopyOfASmallBlockLevelKeepsTheBlock) {
    ComPtr<IDirect3DTexture9> texture = Texture(8, 8, D3DPOOL_MANAGED, 0, D3DFMT_DXT1, 3);
    ComPtr<IDirect3DSurface9> level = Level(texture.Get(), 2);
    const std::vector<BYTE> before = {1, 2, 3, 4, 5, 6, 7, 8};
    WriteBytes(level.Get(), before, 8);
    InjectFault("IDirect3DSurface9::LockRect", 1, E_FAIL);
    ClearCallLog();

    SurfaceLock lock;
    SurfaceDesc desc{};
    const RECT rect = {1, 1, 2, 2};
    ASSERT_EQ(lock.Open(level.Get(), nullptr, &rect, 0, 0, &desc), S_OK);
    EXPECT_EQ(Calls("CreateTexture"), 1);
    EXPECT_EQ(desc.box, (PixelBox{1, 1, 2, 2, 0, 1}));
    EXPECT_EQ(desc.extent, (PixelBox{0, 0, 2, 2, 0, 1}));
    BYTE* block = static_cast<BYTE*>(desc.data);
    EXPECT_EQ(std::vector<BYTE>(block, block + 8), before);
    block[7] = 80;
    lock.Close();

    EXPECT_EQ(ReadBytes(level.Get(), 8, 1), (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 80}));
    EXPECT_FALSE(LibraryReported());
}

}  // namespace
