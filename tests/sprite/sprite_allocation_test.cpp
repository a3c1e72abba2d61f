// The batcher allocates nothing per sprite: its arrays grow geometrically and
// are reused by later batches; and the device allocates nothing per draw or
// per frame. Counted with a replaced global operator new, which is why this
// test is a program of its own.
#include <atomic>
#include <cstdlib>
#include <new>

#include "sprite/sprite_fixture.h"
#include "support/replaced_operator_new.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* TestAllocate(std::size_t size) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}

namespace {

class SpriteAllocationTest : public SpriteTest {
  protected:
    // A device that checks draws without rasterising, so only the batcher's
    // own work and the device's bookkeeping are counted.
    void BeforeDevice() override {
        DeviceProfile profile = DefaultDeviceProfile();
        profile.rasterize = false;
        UseProfile(profile);
    }

    // One frame of sprites alternating between the two textures, sorted by
    // texture; returns the allocations it made.
    long Frame(int sprites) {
        const long before = allocations.load();
        device_->BeginScene();
        EXPECT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE), S_OK);
        for (int i = 0; i < sprites; ++i) {
            const D3DXVECTOR3 at = {static_cast<float>(i % 600), static_cast<float>(i % 400), 0.0f};
            IDirect3DTexture9* texture = (i % 2) ? other_.Get() : texture_.Get();
            EXPECT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
        }
        EXPECT_EQ(sprite_->End(), S_OK);
        device_->EndScene();
        return allocations.load() - before;
    }
};

TEST_F(SpriteAllocationTest, GrowthIsGeometricAndLaterFramesAllocateNothing) {
    EnableCallLog(false);
    // 64 doubled to 131,072 is 11 growths of the four arrays; Begin's buffers
    // and state blocks come on top once.
    const long first = Frame(100000);
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 200);
    EXPECT_EQ(Frame(100000), 0);
    EXPECT_EQ(Frame(860), 0);
}

// On a device that rasterises: once the first frame has decoded the texture
// for sampling and sized the device's buffers, a whole frame from Clear to
// Present allocates nothing either.
class RasterisedFrameAllocationTest : public SpriteTest {
  protected:
    long Frame() {
        const long before = allocations.load();
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
        device_->BeginScene();
        EXPECT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE), S_OK);
        const RECT source = {0, 0, 36, 36};
        for (int i = 0; i < 860; ++i) {
            const D3DXVECTOR3 at = {static_cast<float>(i % 16 * 40),
                                    static_cast<float>(i / 16 % 12 * 40), 0.0f};
            EXPECT_EQ(sprite_->Draw(texture_.Get(), &source, nullptr, &at, 0xFFFFFFFF), S_OK);
        }
        EXPECT_EQ(sprite_->End(), S_OK);
        device_->EndScene();
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        return allocations.load() - before;
    }
};

TEST_F(RasterisedFrameAllocationTest, FramesAfterTheFirstAllocateNothing) {
    EnableCallLog(false);
    Frame();
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(Frame(), 0);
    // The sprites were drawn: white texels cover the blue clear colour.
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame[640 * 10 + 10], 0xFFFFFFFFu);
}

}  // namespace
