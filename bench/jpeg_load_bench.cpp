// A 4000 x 3000 baseline JPEG (4:2:0, quality 90, made with libjpeg's
// compressor from a photograph-like picture when the program starts) loaded
// into an A8R8G8B8 managed texture with its full mip chain through
// D3DXCreateTextureFromFileInMemoryEx on the headless software device, with
// the loader's defaults (D3DX_DEFAULT sizes, levels and filters: the device
// wants powers of two for a mipped texture, so level 0 is 4096 x 4096 made
// with the triangle filter and dither, the chain with the box filter);
// beside it, in the same run, stb_image decoding the same bytes and
// stb_image_resize bringing the picture to the same level-0 size and
// halving it level by level with the box filter (a benchmark-only peer).
//
// The Decode rows measure the decoders alone: the library's dispatcher
// (LoadJPG, libjpeg-turbo) against stb_image. Compare the Vellorn and Stb
// rows of one kind for the ratio.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "photo_picture.h"
#include "runtime/headless_device.h"
#include "stb_chain.h"
#include "texture/decoded_image.h"
#include "texture/jpeg_writer.h"
#include "texture/load_image.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_texture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kWidth = 4000;
constexpr unsigned kHeight = 3000;
// The level-0 size the loader picks on the headless device, and its levels.
constexpr int kTopSize = 4096;
constexpr UINT kLevels = 13;

IDirect3DDevice9* Device() {
    static const HeadlessDevice device;
    return device.Get();
}

const Bytes& PhotoJpeg() {
    static const Bytes file = [] {
        const Bytes rgba = PhotoRgba(kWidth, kHeight);
        JpegLayout layout;
        layout.width = kWidth;
        layout.height = kHeight;
        layout.quality = 90;
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            layout.samples.insert(layout.samples.end(), &rgba[i], &rgba[i] + 3);
        }
        return WriteJpeg(layout);
    }();
    return file;
}

void BM_Jpeg4000x3000ToA8R8G8B8TextureWithMipChain_Vellorn(benchmark::State& state) {
    const Bytes& file = PhotoJpeg();
    if (Device() == nullptr || file.empty()) {
        state.SkipWithError("no device or no file");
        return;
    }
    for (auto _ : state) {
        ComPtr<IDirect3DTexture9> texture;
        const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
            Device(), file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT,
            D3DX_DEFAULT, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
            nullptr, nullptr, texture.ReleaseAndGetAddressOf());
        D3DSURFACE_DESC top = {};
        if (FAILED(hr) || texture->GetLevelCount() != kLevels ||
            FAILED(texture->GetLevelDesc(0, &top)) || top.Width != kTopSize ||
            top.Format != D3DFMT_A8R8G8B8) {
            state.SkipWithError("load failed or the texture is not the expected one");
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) * 1e-6;
}
BENCHMARK(BM_Jpeg4000x3000ToA8R8G8B8TextureWithMipChain_Vellorn)->Unit(benchmark::kMillisecond);

void BM_Jpeg4000x3000ToA8R8G8B8TextureWithMipChain_StbImageAndResize(benchmark::State& state) {
    const Bytes& file = PhotoJpeg();
    std::vector<StbBytes> levels;
    for (auto _ : state) {
        if (!StbDecodeAndHalve(file, kTopSize, &levels)) {
            state.SkipWithError("stb cannot decode");
            return;
        }
        benchmark::DoNotOptimize(levels.back().data());
    }
}
BENCHMARK(BM_Jpeg4000x3000ToA8R8G8B8TextureWithMipChain_StbImageAndResize)
    ->Unit(benchmark::kMillisecond);

void BM_Jpeg4000x3000Decode_Vellorn(benchmark::State& state) {
    const Bytes& file = PhotoJpeg();
    for (auto _ : state) {
        DecodedImage image;
        if (FAILED(LoadImageFromMemory(&image, file.data(), static_cast<UINT>(file.size()), nullptr,
                                       true))) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image.pixels);
    }
}
BENCHMARK(BM_Jpeg4000x3000Decode_Vellorn)->Unit(benchmark::kMillisecond);

void BM_Jpeg4000x3000Decode_StbImage(benchmark::State& state) {
    const Bytes& file = PhotoJpeg();
    for (auto _ : state) {
        if (!StbDecode(file)) {
            state.SkipWithError("stb cannot decode");
            return;
        }
    }
}
BENCHMARK(BM_Jpeg4000x3000Decode_StbImage)->Unit(benchmark::kMillisecond);

}  // namespace
