// A sprite batcher on a headless software device of the game's size, two
// textures to draw with, and the debug output it reports.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/d3d9/device_test_support.h"
#include "runtime/win32/debug_output.h"
#include "vellorn/d3dx_sprite.h"

class SpriteTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        BeforeDevice();
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
        ASSERT_EQ(D3DXCreateSprite(device_.Get(), sprite_.ReleaseAndGetAddressOf()), S_OK);
        texture_ = MakeTexture(512, 256, 0xFFFFFFFF);
        other_ = MakeTexture(64, 64, 0xFFFFFFFF);
    }
    void TearDown() override {
        sprite_.Reset();
        texture_.Reset();
        other_.Reset();
        device_.Reset();
        SetDebugOutputCapture({});
        DeviceTest::TearDown();
    }

    ComPtr<IDirect3DTexture9> MakeTexture(UINT width, UINT height, std::uint32_t texel) {
        ComPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         texture.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), S_OK);
        for (UINT y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<char*>(locked.pBits) +
                                                         y * locked.Pitch);
            std::fill(row, row + width, texel);
        }
        texture->UnlockRect(0);
        return texture;
    }

    // Presents the back buffer and returns it as the headless window shows it.
    static std::vector<std::uint32_t> PresentFrame(IDirect3DDevice9* device) {
        EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        std::vector<std::uint32_t> frame;
        UINT width = 0;
        UINT height = 0;
        EXPECT_TRUE(ReadPresentedFrame(device, &frame, &width, &height));
        EXPECT_EQ(width, 640u);
        EXPECT_EQ(height, 480u);
        return frame;
    }

    // Lets a fixture install a device profile before the device is made.
    virtual void BeforeDevice() {}

    int Count(const char* operation) const {
        return static_cast<int>(std::count(CallLog().begin(), CallLog().end(), operation));
    }
    std::string LastMessage() const { return messages_.empty() ? "" : messages_.back(); }

    ComPtr<IDirect3DDevice9> device_;
    ComPtr<ID3DXSprite> sprite_;
    ComPtr<IDirect3DTexture9> texture_;
    ComPtr<IDirect3DTexture9> other_;
    std::vector<std::string> messages_;
};
