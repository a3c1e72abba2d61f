// How a flush hands the batch to the device: the heap sort against a stable
// sort, the order of sprites in the vertex buffer for each sort, one draw per
// run of equal texture, and the buffer's wrap with its lock flags.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <ostream>
#include <random>
#include <vector>

#include "sprite/sprite_fixture.h"
#include "sprite/sprite_sort.h"

namespace {

// The heap sort with index tie-breaks must give exactly what a stable sort
// by the value alone gives: equal values keep their queue order.
TEST(SpriteSort, MatchesAStableSortWithTiesInQueueOrder) {
    std::mt19937 random(7);
    for (std::uint32_t count : {0u, 1u, 2u, 3u, 7u, 64u, 65u, 200u, 1000u}) {
        for (int distinct : {1, 2, 5, 1000}) {
            std::vector<float> keys(count);
            std::vector<IDirect3DTexture9*> textures(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const int value = static_cast<int>(random() % static_cast<unsigned>(distinct));
                keys[i] = static_cast<float>(value) * 0.25f;
                textures[i] = reinterpret_cast<IDirect3DTexture9*>(std::uintptr_t{0x1000} +
                                                                   std::uintptr_t(value) * 16);
            }
            std::vector<std::uint32_t> expected(count);
            std::vector<std::uint32_t> order(count);

            std::iota(expected.begin(), expected.end(), 0u);
            std::stable_sort(expected.begin(), expected.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
            SortSprites(order.data(), count, AscendingDepthOrder{keys.data()});
            EXPECT_EQ(order, expected) << "ascending, " << count << " sprites";

            std::iota(expected.begin(), expected.end(), 0u);
            std::stable_sort(expected.begin(), expected.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return keys[a] > keys[b]; });
            SortSprites(order.data(), count, DescendingDepthOrder{keys.data()});
            EXPECT_EQ(order, expected) << "descending, " << count << " sprites";

            // Textures: the greater pointer first.
            std::iota(expected.begin(), expected.end(), 0u);
            std::stable_sort(expected.begin(), expected.end(),
                             [&](std::uint32_t a, std::uint32_t b) {
                                 return reinterpret_cast<std::uintptr_t>(textures[a]) >
                                        reinterpret_cast<std::uintptr_t>(textures[b]);
                             });
            SortSprites(order.data(), count, TextureOrder{textures.data()});
            EXPECT_EQ(order, expected) << "texture, " << count << " sprites";
        }
    }
}

class SpriteOrderTest : public SpriteTest {
  protected:
    // Queues sprite i at x = 10 i with the given depth and texture.
    void Queue(int index, float z, IDirect3DTexture9* texture) {
        const RECT rect = {0, 0, 4, 4};
        const D3DXVECTOR3 at = {10.0f * static_cast<float>(index), 0.0f, z};
        ASSERT_EQ(sprite_->Draw(texture, &rect, nullptr, &at, 0xFFFFFFFF), S_OK);
    }

    // The sprites of each draw of the last flush, in vertex-buffer order,
    // each known by its x position.
    std::vector<std::vector<int>> SubmittedRuns() {
        const std::vector<DrawRecord> draws = DrawLog();
        ComPtr<IDirect3DVertexBuffer9> buffer;
        UINT offset = 0;
        UINT stride = 0;
        EXPECT_EQ(device_->GetStreamSource(0, buffer.ReleaseAndGetAddressOf(), &offset, &stride),
                  S_OK);
        void* data = nullptr;
        EXPECT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), S_OK);
        std::vector<std::vector<int>> runs;
        for (const DrawRecord& draw : draws) {
            std::vector<int> run;
            for (UINT vertex = draw.minVertexIndex; vertex < draw.minVertexIndex + draw.numVertices;
                 vertex += 4) {
                float x;
                std::memcpy(&x, static_cast<const char*>(data) + vertex * stride, sizeof x);
                run.push_back(static_cast<int>(std::lround(x / 10.0f)));
            }
            runs.push_back(run);
        }
        buffer->Unlock();
        return runs;
    }
};

struct DepthCase {
    const char* name;
    DWORD flags;
    float z[4];
    std::vector<int> order;
    bool leftHandedView = false;  // SetWorldViewLH(identity): viewing direction +z
};

void PrintTo(const DepthCase& c, std::ostream* os) {
    *os << c.name;
}

const DepthCase kDepthCases[] = {
    {"Unsorted", 0, {0.3f, 0.1f, 0.3f, 0.2f}, {0, 1, 2, 3}},
    {"FrontToBack", D3DXSPRITE_SORT_DEPTH_FRONTTOBACK, {0.3f, 0.1f, 0.3f, 0.2f}, {0, 2, 3, 1}},
    {"BackToFront", D3DXSPRITE_SORT_DEPTH_BACKTOFRONT, {0.3f, 0.1f, 0.3f, 0.2f}, {1, 3, 0, 2}},
    {"BothFlagsAscend",
     D3DXSPRITE_SORT_DEPTH_FRONTTOBACK | D3DXSPRITE_SORT_DEPTH_BACKTOFRONT,
     {0.3f, 0.1f, 0.3f, 0.2f},
     {0, 2, 3, 1}},
    {"AllKeysEqual", D3DXSPRITE_SORT_DEPTH_BACKTOFRONT, {0.5f, 0.5f, 0.5f, 0.5f}, {0, 1, 2, 3}},
    {"TextureSortWinsOverDepth",
     D3DXSPRITE_SORT_TEXTURE | D3DXSPRITE_SORT_DEPTH_BACKTOFRONT,
     {0.3f, 0.1f, 0.3f, 0.2f},
     {0, 1, 2, 3}},
    {"ObjectSpaceRightHanded",
     D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_SORT_DEPTH_FRONTTOBACK,
     {0.3f, 0.1f, 0.3f, 0.2f},
     {0, 2, 3, 1}},
    {"ObjectSpaceLeftHanded",
     D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_SORT_DEPTH_FRONTTOBACK,
     {0.3f, 0.1f, 0.3f, 0.2f},
     {1, 3, 0, 2},
     true},
};

class SpriteDepthOrderTest : public SpriteOrderTest,
                             public ::testing::WithParamInterface<DepthCase> {};

TEST_P(SpriteDepthOrderTest, FlushSubmitsInSortedOrder) {
    const DepthCase& c = GetParam();
    if (c.leftHandedView) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        ASSERT_EQ(sprite_->SetWorldViewLH(nullptr, &identity), S_OK);
    }
    ASSERT_EQ(sprite_->Begin(c.flags), S_OK);
    for (int i = 0; i < 4; ++i) {
        Queue(i, c.z[i], texture_.Get());
    }
    ClearCallLog();
    ASSERT_EQ(sprite_->Flush(), S_OK);
    EXPECT_EQ(SubmittedRuns(), (std::vector<std::vector<int>>{c.order}));
    ASSERT_EQ(sprite_->End(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Sprite, SpriteDepthOrderTest, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Alternating textures: a draw per sprite in queue order, or with the texture
// sort two runs, the greater texture pointer first, each in queue order.
TEST_F(SpriteOrderTest, TextureSortJoinsRunsKeepingQueueOrder) {
    IDirect3DTexture9* textures[2] = {texture_.Get(), other_.Get()};
    for (const DWORD flags : {DWORD{0}, D3DXSPRITE_SORT_TEXTURE}) {
        ASSERT_EQ(sprite_->Begin(flags), S_OK);
        for (int i = 0; i < 6; ++i) {
            Queue(i, 0.0f, textures[i % 2]);
        }
        ClearCallLog();
        ASSERT_EQ(sprite_->Flush(), S_OK);
        const std::vector<DrawRecord> draws = DrawLog();
        const std::vector<std::vector<int>> runs = SubmittedRuns();
        if (flags == 0) {
            ASSERT_EQ(draws.size(), 6u);
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(draws[i].texture, textures[i % 2]) << i;
                EXPECT_EQ(runs[i], std::vector<int>{i});
            }
        } else {
            const int first = reinterpret_cast<std::uintptr_t>(textures[1]) >
                                      reinterpret_cast<std::uintptr_t>(textures[0])
                                  ? 1
                                  : 0;
            ASSERT_EQ(draws.size(), 2u);
            EXPECT_EQ(draws[0].texture, textures[first]);
            EXPECT_EQ(draws[1].texture, textures[1 - first]);
            const std::vector<int> even = {0, 2, 4};
            const std::vector<int> odd = {1, 3, 5};
            EXPECT_EQ(runs[0], first == 0 ? even : odd);
            EXPECT_EQ(runs[1], first == 0 ? odd : even);
        }
        ASSERT_EQ(sprite_->End(), S_OK);
    }
}

// 5,000 sprites from a fresh buffer: a discard lock and 4,096 quads, the
// cursors wrap, a discard lock and 904 quads; the next batch continues behind
// them with a no-overwrite lock.
TEST_F(SpriteOrderTest, FiveThousandSpritesWrapTheBufferOnce) {
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(sprite_->Draw(texture_.Get(), nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    }
    ClearCallLog();
    ASSERT_EQ(sprite_->Flush(), S_OK);
    ASSERT_EQ(DrawLog().size(), 2u);
    EXPECT_EQ(Count("SetTexture"), 1);
    const DrawRecord& full = DrawLog()[0];
    EXPECT_EQ(full.baseVertexIndex, 0);
    EXPECT_EQ(full.minVertexIndex, 0u);
    EXPECT_EQ(full.numVertices, 16384u);
    EXPECT_EQ(full.startIndex, 0u);
    EXPECT_EQ(full.primitiveCount, 8192u);
    const DrawRecord& rest = DrawLog()[1];
    EXPECT_EQ(rest.minVertexIndex, 0u);
    EXPECT_EQ(rest.numVertices, 904u * 4);
    EXPECT_EQ(rest.startIndex, 0u);
    EXPECT_EQ(rest.primitiveCount, 904u * 2);
    ASSERT_EQ(BufferLockLog().size(), 2u);
    for (const BufferLockRecord& lock : BufferLockLog()) {
        EXPECT_EQ(lock.flags, static_cast<DWORD>(D3DLOCK_DISCARD));
        EXPECT_EQ(lock.offset, 0u);
        EXPECT_EQ(lock.size, 0u);
    }

    ASSERT_EQ(sprite_->Draw(texture_.Get(), nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    ClearCallLog();
    ASSERT_EQ(sprite_->Flush(), S_OK);
    ASSERT_EQ(DrawLog().size(), 1u);
    EXPECT_EQ(DrawLog()[0].minVertexIndex, 904u * 4);
    EXPECT_EQ(DrawLog()[0].numVertices, 4u);
    EXPECT_EQ(DrawLog()[0].startIndex, 904u * 6);
    EXPECT_EQ(DrawLog()[0].primitiveCount, 2u);
    ASSERT_EQ(BufferLockLog().size(), 1u);
    EXPECT_EQ(BufferLockLog()[0].flags, static_cast<DWORD>(D3DLOCK_NOOVERWRITE));

    ClearCallLog();
    ASSERT_EQ(sprite_->Flush(), S_OK);  // nothing queued: stream set, nothing drawn
    EXPECT_EQ(Count("SetVertexDeclaration"), 1);
    EXPECT_EQ(Count("SetIndices"), 1);
    EXPECT_EQ(Count("SetStreamSource"), 1);
    EXPECT_TRUE(DrawLog().empty());
    ASSERT_EQ(sprite_->End(), S_OK);
}

TEST_F(SpriteOrderTest, QueuedTexturesHoldNoReference) {
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    for (int i = 0; i < 100; ++i) {
        Queue(i, 0.0f, texture_.Get());
    }
    texture_->AddRef();
    EXPECT_EQ(texture_->Release(), 1u);
    ASSERT_EQ(sprite_->End(), S_OK);
}

// Overlapping opaque sprites without a depth buffer: the one submitted last
// covers the other, so the depth sort decides which colour shows.
TEST_F(SpriteOrderTest, DepthSortDecidesWhichOverlappingSpriteShows) {
    const ComPtr<IDirect3DTexture9> red = MakeTexture(16, 16, 0xFFFF0000);
    const ComPtr<IDirect3DTexture9> green = MakeTexture(16, 16, 0xFF00FF00);
    const struct {
        DWORD flags;
        std::uint32_t shown;
    } cases[] = {
        {0, 0xFF00FF00u},  // queue order: green last
        {D3DXSPRITE_SORT_DEPTH_BACKTOFRONT, 0xFF00FF00u},
        {D3DXSPRITE_SORT_DEPTH_FRONTTOBACK, 0xFFFF0000u},
    };
    for (const auto& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->BeginScene();
        ASSERT_EQ(sprite_->Begin(c.flags | D3DXSPRITE_DONOTSAVESTATE), S_OK);
        const D3DXVECTOR3 front = {20.0f, 20.0f, 0.1f};
        const D3DXVECTOR3 back = {28.0f, 28.0f, 0.9f};
        ASSERT_EQ(sprite_->Draw(red.Get(), nullptr, nullptr, &front, 0xFFFFFFFF), S_OK);
        ASSERT_EQ(sprite_->Draw(green.Get(), nullptr, nullptr, &back, 0xFFFFFFFF), S_OK);
        ASSERT_EQ(sprite_->End(), S_OK);
        device_->EndScene();
        const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
        EXPECT_EQ(frame[22 * 640 + 22], 0xFFFF0000u) << c.flags;
        EXPECT_EQ(frame[32 * 640 + 32], c.shown) << c.flags;
        EXPECT_EQ(frame[40 * 640 + 40], 0xFF00FF00u) << c.flags;
    }
}

}  // namespace
