// Surface loads through the public entry points on the headless software
// device, beside stb_image_resize on the same pixels in the same run:
//
// - a 2048 x 2048 A8R8G8B8 image into a 1024 x 1024 and into a 1000 x 700
//   managed texture level with D3DX_FILTER_TRIANGLE (D3DXLoadSurfaceFromMemory),
//   against stb's default filter on RGBA8;
// - the mip chain of a 2048 x 2048 managed texture with D3DXFilterTexture and
//   D3DX_FILTER_BOX, against stb halving level by level with its box filter;
// - the atlas load's path: a same-size X8R8G8B8 image into an A8R8G8B8 level
//   with the colour key 0xFFFFFFFF and the default filter (keyed, dithered
//   conversion), in pixels per second.
//
// Compare the Triangle and Stb rows of one size, and FilterTextureBox with
// StbHalvingBox, for the ratio.
#include <benchmark/benchmark.h>

#include <stb/stb_image_resize.h>

#include <cstdint>
#include <vector>

#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_texture.h"

namespace {

constexpr UINT kSource = 2048;

// A headless device of the game's window size, made once for the program.
IDirect3DDevice9* Device() {
    static const HeadlessDevice device;
    return device.Get();
}

// A photograph-like picture: smooth gradients with fine texture and a few
// hard edges, every channel used, alpha varying.
std::vector<std::uint32_t> Picture(UINT width, UINT height) {
    std::vector<std::uint32_t> pixels(std::size_t{width} * height);
    std::uint32_t seed = 0x1234567u;
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const std::uint32_t noise = seed >> 29;
            const std::uint32_t r = (x * 255 / width + noise) & 0xFFu;
            const std::uint32_t g = (y * 255 / height + noise) & 0xFFu;
            const std::uint32_t b = ((x / 64 + y / 64) % 2 == 0 ? 200u : 40u) + noise;
            const std::uint32_t a = 255u - ((x ^ y) & 0x3Fu);
            pixels[std::size_t{y} * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return pixels;
}

const std::vector<std::uint32_t>& Source() {
    static const std::vector<std::uint32_t> pixels = Picture(kSource, kSource);
    return pixels;
}

ComPtr<IDirect3DTexture9> ManagedTexture(UINT width, UINT height, UINT levels, D3DFORMAT format) {
    ComPtr<IDirect3DTexture9> texture;
    Device()->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED,
                            texture.ReleaseAndGetAddressOf(), nullptr);
    return texture;
}

void BM_LoadSurfaceFromMemoryTriangle(benchmark::State& state) {
    const UINT width = static_cast<UINT>(state.range(0));
    const UINT height = static_cast<UINT>(state.range(1));
    ComPtr<IDirect3DTexture9> texture = ManagedTexture(width, height, 1, D3DFMT_A8R8G8B8);
    ComPtr<IDirect3DSurface9> level;
    if (!texture || FAILED(texture->GetSurfaceLevel(0, level.ReleaseAndGetAddressOf()))) {
        state.SkipWithError("no destination texture");
        return;
    }
    const RECT whole = {0, 0, static_cast<LONG>(kSource), static_cast<LONG>(kSource)};
    for (auto _ : state) {
        const HRESULT hr = D3DXLoadSurfaceFromMemory(level.Get(), nullptr, nullptr, Source().data(),
                                                     D3DFMT_A8R8G8B8, kSource * 4, nullptr, &whole,
                                                     D3DX_FILTER_TRIANGLE, 0);
        if (FAILED(hr)) {
            state.SkipWithError("load failed");
            return;
        }
    }
    state.counters["source_Mpx/s"] =
        benchmark::Counter(static_cast<double>(kSource) * kSource * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadSurfaceFromMemoryTriangle)
    ->Args({1024, 1024})
    ->Args({1000, 700})
    ->Unit(benchmark::kMillisecond);

void BM_StbResizeDefault(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    for (auto _ : state) {
        stbir_resize_uint8(reinterpret_cast<const unsigned char*>(Source().data()), kSource,
                           kSource, 0, reinterpret_cast<unsigned char*>(out.data()), width, height,
                           0, 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["source_Mpx/s"] =
        benchmark::Counter(static_cast<double>(kSource) * kSource * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StbResizeDefault)
    ->Args({1024, 1024})
    ->Args({1000, 700})
    ->Unit(benchmark::kMillisecond);

void BM_FilterTextureBox(benchmark::State& state) {
    ComPtr<IDirect3DTexture9> texture = ManagedTexture(kSource, kSource, 0, D3DFMT_A8R8G8B8);
    ComPtr<IDirect3DSurface9> top;
    if (!texture || FAILED(texture->GetSurfaceLevel(0, top.ReleaseAndGetAddressOf()))) {
        state.SkipWithError("no texture");
        return;
    }
    const RECT whole = {0, 0, static_cast<LONG>(kSource), static_cast<LONG>(kSource)};
    D3DXLoadSurfaceFromMemory(top.Get(), nullptr, nullptr, Source().data(), D3DFMT_A8R8G8B8,
                              kSource * 4, nullptr, &whole, D3DX_FILTER_NONE, 0);
    for (auto _ : state) {
        if (FAILED(D3DXFilterTexture(texture.Get(), nullptr, 0, D3DX_FILTER_BOX))) {
            state.SkipWithError("filter failed");
            return;
        }
    }
}
BENCHMARK(BM_FilterTextureBox)->Unit(benchmark::kMillisecond);

void BM_StbHalvingBox(benchmark::State& state) {
    std::vector<std::vector<std::uint32_t>> levels;
    for (UINT size = kSource / 2; size >= 1; size /= 2) {
        levels.emplace_back(std::size_t{size} * size);
    }
    for (auto _ : state) {
        const std::uint32_t* from = Source().data();
        int size = static_cast<int>(kSource);
        for (auto& level : levels) {
            stbir_resize_uint8_generic(reinterpret_cast<const unsigned char*>(from), size, size, 0,
                                       reinterpret_cast<unsigned char*>(level.data()), size / 2,
                                       size / 2, 0, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX,
                                       STBIR_COLORSPACE_LINEAR, nullptr);
            from = level.data();
            size /= 2;
        }
        benchmark::DoNotOptimize(levels.back().data());
    }
}
BENCHMARK(BM_StbHalvingBox)->Unit(benchmark::kMillisecond);

// The atlas load's level-0 path, at the atlas's own size and at a large one.
void BM_LoadSurfaceKeyedDitheredConversion(benchmark::State& state) {
    const UINT width = static_cast<UINT>(state.range(0));
    const UINT height = static_cast<UINT>(state.range(1));
    std::vector<std::uint32_t> image = Picture(width, height);
    for (std::size_t i = 0; i < image.size(); i += 7) {
        image[i] = 0xFFFFFFFFu;  // white to be keyed out
    }
    ComPtr<IDirect3DTexture9> texture = ManagedTexture(width, height, 1, D3DFMT_A8R8G8B8);
    ComPtr<IDirect3DSurface9> level;
    if (!texture || FAILED(texture->GetSurfaceLevel(0, level.ReleaseAndGetAddressOf()))) {
        state.SkipWithError("no destination texture");
        return;
    }
    const RECT whole = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    for (auto _ : state) {
        if (FAILED(D3DXLoadSurfaceFromMemory(level.Get(), nullptr, nullptr, image.data(),
                                             D3DFMT_X8R8G8B8, width * 4, nullptr, &whole,
                                             D3DX_DEFAULT, 0xFFFFFFFF))) {
            state.SkipWithError("load failed");
            return;
        }
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(width) * height * 1e-6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadSurfaceKeyedDitheredConversion)
    ->Args({512, 64})
    ->Args({2048, 2048})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
