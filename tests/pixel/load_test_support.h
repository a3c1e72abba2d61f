// A headless software device for the load tests, surfaces of every pool
// filled and read back without the loads themselves, and the debug output
// the loads report.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "runtime/d3d9/device_test_support.h"
#include "runtime/win32/debug_output.h"
#include "vellorn/d3dx_texture.h"

class LoadTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        diagnosticChannel = {};
        SetDebugOutputCapture([this](const char* text) { messages_.emplace_back(text); });
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
    }
    void TearDown() override {
        device_.Reset();
        SetDebugOutputCapture({});
        DeviceTest::TearDown();
    }

    ComPtr<IDirect3DTexture9> Texture(UINT width, UINT height, D3DPOOL pool, DWORD usage = 0,
                                      D3DFORMAT format = D3DFMT_A8R8G8B8, UINT levels = 1) {
        ComPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(device_->CreateTexture(width, height, levels, usage, format, pool,
                                         texture.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        return texture;
    }

    static ComPtr<IDirect3DSurface9> Level(IDirect3DTexture9* texture, UINT level = 0) {
        ComPtr<IDirect3DSurface9> surface;
        EXPECT_EQ(texture->GetSurfaceLevel(level, surface.ReleaseAndGetAddressOf()), S_OK);
        return surface;
    }

    // A surface of one level in pool, filled with pixels (32-bit formats).
    ComPtr<IDirect3DSurface9> Surface(UINT width, UINT height, D3DPOOL pool, DWORD usage,
                                      const std::vector<std::uint32_t>& pixels,
                                      D3DFORMAT format = D3DFMT_A8R8G8B8) {
        ComPtr<IDirect3DTexture9> texture = Texture(width, height, pool, usage, format);
        if (!texture) {
            return {};
        }
        ComPtr<IDirect3DSurface9> surface = Level(texture.Get());
        Write(surface.Get(), pixels);
        return surface;
    }

    // Bytes of a surface row by row without padding, through a lock, or for
    // a surface nobody may lock through a stretch copy into a lockable
    // render target.
    std::vector<BYTE> ReadBytes(IDirect3DSurface9* surface, UINT bytesPerRow, UINT rows) {
        D3DSURFACE_DESC info{};
        surface->GetDesc(&info);
        ComPtr<IDirect3DSurface9> readable(surface);
        D3DLOCKED_RECT locked{};
        if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            EXPECT_EQ(device_->CreateRenderTarget(info.Width, info.Height, info.Format,
                                                  D3DMULTISAMPLE_NONE, 0, TRUE,
                                                  readable.ReleaseAndGetAddressOf(), nullptr),
                      S_OK);
            EXPECT_EQ(device_->StretchRect(surface, nullptr, readable.Get(), nullptr, D3DTEXF_NONE),
                      S_OK);
            EXPECT_EQ(readable->LockRect(&locked, nullptr, D3DLOCK_READONLY), S_OK);
        }
        std::vector<BYTE> bytes(std::size_t{bytesPerRow} * rows);
        for (UINT row = 0; row < rows; ++row) {
            std::memcpy(bytes.data() + std::size_t{row} * bytesPerRow,
                        static_cast<const BYTE*>(locked.pBits) + std::size_t{row} * locked.Pitch,
                        bytesPerRow);
        }
        readable->UnlockRect();
        return bytes;
    }

    std::vector<std::uint32_t> Read(IDirect3DSurface9* surface) {
        D3DSURFACE_DESC info{};
        surface->GetDesc(&info);
        const std::vector<BYTE> bytes = ReadBytes(surface, info.Width * 4, info.Height);
        std::vector<std::uint32_t> pixels(bytes.size() / 4);
        std::memcpy(pixels.data(), bytes.data(), bytes.size());
        return pixels;
    }

    // Fills a surface row by row, through a lock or, for a surface nobody may
    // lock, through a surface update from system memory.
    void WriteBytes(IDirect3DSurface9* surface, const std::vector<BYTE>& bytes, UINT bytesPerRow) {
        D3DSURFACE_DESC info{};
        surface->GetDesc(&info);
        ComPtr<IDirect3DSurface9> writable(surface);
        ComPtr<IDirect3DTexture9> staging;
        D3DLOCKED_RECT locked{};
        if (FAILED(surface->LockRect(&locked, nullptr, 0))) {
            staging = Texture(info.Width, info.Height, D3DPOOL_SYSTEMMEM, 0, info.Format);
            writable = Level(staging.Get());
            EXPECT_EQ(writable->LockRect(&locked, nullptr, 0), S_OK);
        }
        const std::size_t rows = bytes.size() / bytesPerRow;
        for (std::size_t row = 0; row < rows; ++row) {
            std::memcpy(static_cast<BYTE*>(locked.pBits) + row * locked.Pitch,
                        bytes.data() + row * bytesPerRow, bytesPerRow);
        }
        writable->UnlockRect();
        if (staging) {
            EXPECT_EQ(device_->UpdateSurface(writable.Get(), nullptr, surface, nullptr), S_OK);
        }
    }

    void Write(IDirect3DSurface9* surface, const std::vector<std::uint32_t>& pixels) {
        D3DSURFACE_DESC info{};
        surface->GetDesc(&info);
        std::vector<BYTE> bytes(pixels.size() * 4);
        std::memcpy(bytes.data(), pixels.data(), bytes.size());
        WriteBytes(surface, bytes, info.Width * 4);
    }

    ComPtr<IDirect3DVolumeTexture9> VolumeTexture(UINT width, UINT height, UINT depth, D3DPOOL pool,
                                                  DWORD usage = 0, UINT levels = 1) {
        ComPtr<IDirect3DVolumeTexture9> texture;
        EXPECT_EQ(device_->CreateVolumeTexture(width, height, depth, levels, usage, D3DFMT_A8R8G8B8,
                                               pool, texture.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        return texture;
    }

    static ComPtr<IDirect3DVolume9> VolumeLevel(IDirect3DVolumeTexture9* texture, UINT level = 0) {
        ComPtr<IDirect3DVolume9> volume;
        EXPECT_EQ(texture->GetVolumeLevel(level, volume.ReleaseAndGetAddressOf()), S_OK);
        return volume;
    }

    // The A8R8G8B8 pixels of a lockable volume, slice after slice, row after
    // row; write true stores pixels instead.
    static std::vector<std::uint32_t> AccessVolume(IDirect3DVolume9* volume, bool write = false,
                                                   std::vector<std::uint32_t> pixels = {}) {
        D3DVOLUME_DESC info{};
        volume->GetDesc(&info);
        D3DLOCKED_BOX locked{};
        EXPECT_EQ(volume->LockBox(&locked, nullptr, write ? 0 : D3DLOCK_READONLY), S_OK);
        pixels.resize(std::size_t{info.Width} * info.Height * info.Depth);
        std::size_t i = 0;
        for (UINT z = 0; z < info.Depth; ++z) {
            for (UINT y = 0; y < info.Height; ++y) {
                auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                             std::size_t{z} * locked.SlicePitch +
                                                             std::size_t{y} * locked.RowPitch);
                for (UINT x = 0; x < info.Width; ++x, ++i) {
                    if (write) {
                        row[x] = pixels[i];
                    } else {
                        pixels[i] = row[x];
                    }
                }
            }
        }
        volume->UnlockBox();
        return pixels;
    }

    // Distinct pixels with every byte value in every channel.
    static std::vector<std::uint32_t> Pattern(UINT count, std::uint32_t seed = 1) {
        std::vector<std::uint32_t> pixels(count);
        std::uint32_t state = seed;
        for (std::uint32_t& p : pixels) {
            state = state * 1664525u + 1013904223u;
            p = state;
        }
        return pixels;
    }

    bool Reported(const std::string& message) const {
        return std::any_of(messages_.begin(), messages_.end(), [&](const std::string& line) {
            return line == "D3DX: " + message + "\r\n";
        });
    }
    bool LibraryReported() const {
        return std::any_of(messages_.begin(), messages_.end(),
                           [](const std::string& line) { return line.rfind("D3DX:", 0) == 0; });
    }
    bool DeviceComplained() const {
        return std::any_of(messages_.begin(), messages_.end(), [](const std::string& line) {
            return line.rfind("Direct3D9:", 0) == 0;
        });
    }
    static int Calls(const char* operation) {
        return static_cast<int>(std::count(CallLog().begin(), CallLog().end(), operation));
    }

    ComPtr<IDirect3DDevice9> device_;
    std::vector<std::string> messages_;
};
