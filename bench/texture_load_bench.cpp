// Texture loads from image files in memory through
// D3DXCreateTextureFromFileInMemoryEx on the headless software device, beside
// stb_image decoding the same bytes and stb_image_resize building the same
// mip chain (a benchmark-only peer), in the same run:
//
// - a 2048 x 2048 RGBA PNG (a photograph-like picture, libpng's default
//   compression) into an A8R8G8B8 managed texture with its 12-level chain,
//   with the loader's own defaults (D3DX_DEFAULT sizes, levels and filters:
//   level 0 with the triangle filter and dither, the chain with the box
//   filter);
// - the same picture as a 24-bit BMP into an X8R8G8B8 texture with its chain;
// - the game's atlas call: a 512 x 64 RGB PNG with D3DX_DEFAULT sizes, mip
//   levels 0, usage 0, D3DFMT_UNKNOWN, the managed pool, default filters and
//   the colour key 0xFFFFFFFF.
//
// The stb rows decode to four 8-bit channels and halve level by level with
// the box filter, every channel on its own (no premultiplied alpha), which
// is the arithmetic of the box chain. Compare the Vellorn and Stb rows of one
// file for the ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "photo_picture.h"
#include "runtime/headless_device.h"
#include "stb_chain.h"
#include "texture/bmp_writer.h"
#include "texture/png_writer.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr UINT kSize = 2048;

IDirect3DDevice9* Device() {
    static const HeadlessDevice device;
    return device.Get();
}

const Bytes& Photo() {
    static const Bytes pixels = PhotoRgba(kSize, kSize);
    return pixels;
}

Bytes EncodePng(const Bytes& rgba, UINT width, UINT height, bool alpha) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        layout.rows.insert(layout.rows.end(), &rgba[i], &rgba[i] + (alpha ? 4 : 3));
    }
    return WritePng(layout);
}

const Bytes& PhotoPng() {
    static const Bytes file = EncodePng(Photo(), kSize, kSize, true);
    return file;
}

const Bytes& PhotoBmp() {
    static const Bytes file = [] {
        BmpDescription bmp;
        bmp.width = kSize;
        bmp.height = kSize;
        for (UINT y = 0; y < kSize; ++y) {
            Bytes row;
            for (UINT x = 0; x < kSize; ++x) {
                const std::uint8_t* p = &Photo()[(std::size_t{y} * kSize + x) * 4];
                row.insert(row.end(), {p[2], p[1], p[0]});
            }
            bmp.rows.push_back(std::move(row));
        }
        return BuildBmpFile(bmp);
    }();
    return file;
}

// The game's atlas shape: 512 x 64 RGB, 32 x 32 cells of the picture framed
// by white lines that the colour key turns transparent.
const Bytes& AtlasPng() {
    static const Bytes file = [] {
        constexpr UINT kWidth = 512;
        constexpr UINT kHeight = 64;
        Bytes rgba = PhotoRgba(kWidth, kHeight);
        for (UINT y = 0; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                if ((x % 32 < 4) || (y % 32 < 4)) {
                    std::fill_n(&rgba[(std::size_t{y} * kWidth + x) * 4], 3, 0xFF);
                }
            }
        }
        return EncodePng(rgba, kWidth, kHeight, false);
    }();
    return file;
}

void LoadWithDefaults(benchmark::State& state, const Bytes& file) {
    if (Device() == nullptr || file.empty()) {
        state.SkipWithError("no device or no file");
        return;
    }
    for (auto _ : state) {
        ComPtr<IDirect3DTexture9> texture;
        const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
            Device(), file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT,
            D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
            nullptr, nullptr, texture.ReleaseAndGetAddressOf());
        if (FAILED(hr) || texture->GetLevelCount() != 12) {
            state.SkipWithError("load failed");
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) * 1e-6;
}

// stb_image's decode and stb_image_resize's box chain from the decoded
// picture.
void DecodeAndHalve(benchmark::State& state, const Bytes& file) {
    std::vector<StbBytes> levels;
    for (auto _ : state) {
        if (!StbDecodeAndHalve(file, 0, &levels)) {
            state.SkipWithError("stb cannot decode");
            return;
        }
        benchmark::DoNotOptimize(levels.back().data());
    }
}

void BM_PngRgba2048ToTextureWithMipChain_Vellorn(benchmark::State& state) {
    LoadWithDefaults(state, PhotoPng());
}
BENCHMARK(BM_PngRgba2048ToTextureWithMipChain_Vellorn)->Unit(benchmark::kMillisecond);

void BM_PngRgba2048ToTextureWithMipChain_StbImageAndResize(benchmark::State& state) {
    DecodeAndHalve(state, PhotoPng());
}
BENCHMARK(BM_PngRgba2048ToTextureWithMipChain_StbImageAndResize)->Unit(benchmark::kMillisecond);

void BM_Bmp24Bit2048ToTextureWithMipChain_Vellorn(benchmark::State& state) {
    LoadWithDefaults(state, PhotoBmp());
}
BENCHMARK(BM_Bmp24Bit2048ToTextureWithMipChain_Vellorn)->Unit(benchmark::kMillisecond);

void BM_Bmp24Bit2048ToTextureWithMipChain_StbImageAndResize(benchmark::State& state) {
    DecodeAndHalve(state, PhotoBmp());
}
BENCHMARK(BM_Bmp24Bit2048ToTextureWithMipChain_StbImageAndResize)->Unit(benchmark::kMillisecond);

// The game's own call on its atlas shape.
void BM_AtlasPng512x64Rgb_GameArguments(benchmark::State& state) {
    const Bytes& file = AtlasPng();
    for (auto _ : state) {
        ComPtr<IDirect3DTexture9> texture;
        const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
            Device(), file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
            D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFFFFFF, nullptr,
            nullptr, texture.ReleaseAndGetAddressOf());
        if (FAILED(hr)) {
            state.SkipWithError("load failed");
            return;
        }
    }
}
BENCHMARK(BM_AtlasPng512x64Rgb_GameArguments)->Unit(benchmark::kMicrosecond);

}  // namespace
