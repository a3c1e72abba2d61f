// A lost device comes back as the game brings it back: a batch drawn with the
// batcher's own states, the window minimised and restored, then the sprite
// batcher's OnLostDevice, the device's Reset and OnResetDevice, on both
// vertex-processing modes and through a second loss.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/d3d9/device_test_support.h"
#include "vellorn/d3dx_sprite.h"

namespace {

class SpriteDeviceLossTest : public DeviceTest, public ::testing::WithParamInterface<DWORD> {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(D3DDEVTYPE_HAL, GetParam(), &device_, &parameters_), S_OK);
        ASSERT_EQ(D3DXCreateSprite(device_.Get(), sprite_.ReleaseAndGetAddressOf()), S_OK);
        ASSERT_EQ(device_->CreateTexture(64, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         atlas_.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        for (DWORD level = 0; level < atlas_->GetLevelCount(); ++level) {
            FillLevel(level);
        }
    }
    void TearDown() override {
        sprite_.Reset();
        atlas_.Reset();
        device_.Reset();
        DeviceTest::TearDown();
    }

    // Opaque colours with a transparent border around each 16 x 16 tile.
    void FillLevel(DWORD level) {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(atlas_->GetLevelDesc(level, &desc), S_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(atlas_->LockRect(level, &locked, nullptr, 0), S_OK);
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                         y * locked.Pitch);
            for (UINT x = 0; x < desc.Width; ++x) {
                const bool border = x % 16 == 0 || y % 16 == 0;
                row[x] = border ? 0u : 0xFF000000u | (x * 4u << 16) | (y * 8u << 8) | level * 60u;
            }
        }
        ASSERT_EQ(atlas_->UnlockRect(level), S_OK);
    }

    // One frame as the game draws it: clear, a batch of tiles and figures at
    // whole and fractional positions with alpha blending and the batcher's
    // states left on the device, present; the presented pixels.
    std::vector<std::uint32_t> DrawFrame() {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        if (SUCCEEDED(device_->BeginScene())) {
            sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
            const RECT tile = {0, 0, 32, 32};
            const RECT figure = {32, 0, 64, 32};
            for (int i = 0; i < 120; ++i) {
                const D3DXVECTOR3 at = {static_cast<float>(i % 16 * 40),
                                        static_cast<float>(i / 16 * 40), 0.0f};
                sprite_->Draw(atlas_.Get(), &tile, nullptr, &at, 0xFFFFFFFF);
            }
            const D3DXVECTOR3 moving = {123.25f, 77.5f, 0.0f};
            sprite_->Draw(atlas_.Get(), &figure, nullptr, &moving, 0xFFFFFFFF);
            sprite_->End();
            device_->EndScene();
        }
        device_->Present(nullptr, nullptr, nullptr, nullptr);
        std::vector<std::uint32_t> frame;
        UINT width = 0;
        UINT height = 0;
        ReadPresentedFrame(device_.Get(), &frame, &width, &height);
        return frame;
    }

    // The game's end-of-frame check: a device that is not ready has the
    // batcher let go of its device objects, is reset and the batcher picks
    // the device up again.
    void CheckDeviceLost() {
        if (device_->TestCooperativeLevel() >= 0) {
            return;
        }
        sprite_->OnLostDevice();
        device_->Reset(&parameters_);
        sprite_->OnResetDevice();
    }

    D3DPRESENT_PARAMETERS parameters_ = GameParameters();
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<ID3DXSprite> sprite_;
    ComPtr<IDirect3DTexture9> atlas_;
};

TEST_P(SpriteDeviceLossTest, FramesAfterEachRecoveryEqualTheFrameBeforeTheLoss) {
    const std::vector<std::uint32_t> before = DrawFrame();
    ASSERT_EQ(before.size(), 640u * 480u);
    ASSERT_NE(std::count(before.begin(), before.end(), 0xFF0000FFu),
              static_cast<std::ptrdiff_t>(before.size()))
        << "the batch drew nothing";

    for (int loss = 0; loss < 2; ++loss) {
        SCOPED_TRACE(loss);
        HeadlessMinimise(window_, true);
        for (int frame = 0; frame < 3; ++frame) {
            DrawFrame();
            CheckDeviceLost();
            EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
        }
        HeadlessMinimise(window_, false);
        EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
        DrawFrame();
        CheckDeviceLost();
        ASSERT_EQ(device_->TestCooperativeLevel(), S_OK);
        EXPECT_EQ(parameters_.BackBufferWidth, 640u);
        EXPECT_TRUE(DrawFrame() == before);
    }
}

TEST_P(SpriteDeviceLossTest, ResetHeldUpByTheApplicationLeavesTheDeviceNeedingReset) {
    DrawFrame();
    ComPtr<IDirect3DVertexBuffer9> held;
    ASSERT_EQ(device_->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                          held.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    sprite_->OnLostDevice();
    EXPECT_EQ(device_->Reset(&parameters_), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    held.Reset();
    CheckDeviceLost();
    EXPECT_EQ(device_->TestCooperativeLevel(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(VertexProcessing, SpriteDeviceLossTest,
                         ::testing::Values(D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING),
                         [](const ::testing::TestParamInfo<DWORD>& info) {
                             return info.param == D3DCREATE_HARDWARE_VERTEXPROCESSING ? "Hardware"
                                                                                      : "Software";
                         });

}  // namespace
