// Row reading and writing of the per-pixel codecs on 4096-pixel rows: plain
// writes, ordered dither and error diffusion.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pixel/pixel_codec.h"

namespace {

constexpr UINT kWidth = 4096;
constexpr UINT kRows = 4;

enum class Dither { None, Ordered, Diffusion };

struct Bench {
    Bench(D3DFORMAT format, UINT bytesPerPixel, Dither dither)
        : memory(std::size_t{kWidth} * bytesPerPixel * kRows), row(kWidth) {
        for (std::size_t i = 0; i < memory.size(); ++i) {
            memory[i] = static_cast<BYTE>(i * 2654435761u >> 13);
        }
        SurfaceDesc desc = {};
        desc.data = memory.data();
        desc.format = format;
        desc.rowPitch = kWidth * bytesPerPixel;
        desc.extent = PixelBox{0, 0, kWidth, kRows, 0, 1};
        desc.box = desc.extent;
        desc.dither = dither == Dither::Ordered;
        desc.diffusion = dither == Dither::Diffusion;
        codec = CreatePixelCodec(desc);
        for (UINT x = 0; x < kWidth; ++x) {
            const float t = static_cast<float>(x) / kWidth;
            row[x] = ColorF{t, 1.0f - t, t * t, 0.5f + 0.25f * t};
        }
    }
    std::vector<BYTE> memory;
    std::vector<ColorF> row;
    std::unique_ptr<PixelCodec> codec;
};

void ReadRows(benchmark::State& state, D3DFORMAT format, UINT bytesPerPixel) {
    Bench b(format, bytesPerPixel, Dither::None);
    UINT y = 0;
    for (auto _ : state) {
        b.codec->ReadRow(y, 0, b.row.data());
        benchmark::DoNotOptimize(b.row.data());
        y = (y + 1) % kRows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth);
}

void WriteRows(benchmark::State& state, D3DFORMAT format, UINT bytesPerPixel, Dither dither) {
    Bench b(format, bytesPerPixel, dither);
    UINT y = 0;
    for (auto _ : state) {
        b.codec->WriteRow(y, 0, b.row.data());
        benchmark::DoNotOptimize(b.memory.data());
        y = (y + 1) % kRows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth);
}

BENCHMARK_CAPTURE(ReadRows, A8R8G8B8, D3DFMT_A8R8G8B8, 4);
BENCHMARK_CAPTURE(WriteRows, A8R8G8B8_plain, D3DFMT_A8R8G8B8, 4, Dither::None);
BENCHMARK_CAPTURE(WriteRows, A8R8G8B8_ordered, D3DFMT_A8R8G8B8, 4, Dither::Ordered);
BENCHMARK_CAPTURE(WriteRows, A8R8G8B8_diffusion, D3DFMT_A8R8G8B8, 4, Dither::Diffusion);

BENCHMARK_CAPTURE(ReadRows, R5G6B5, D3DFMT_R5G6B5, 2);
BENCHMARK_CAPTURE(WriteRows, R5G6B5_plain, D3DFMT_R5G6B5, 2, Dither::None);
BENCHMARK_CAPTURE(WriteRows, R5G6B5_ordered, D3DFMT_R5G6B5, 2, Dither::Ordered);
BENCHMARK_CAPTURE(WriteRows, R5G6B5_diffusion, D3DFMT_R5G6B5, 2, Dither::Diffusion);

BENCHMARK_CAPTURE(ReadRows, A16B16G16R16F, D3DFMT_A16B16G16R16F, 8);
BENCHMARK_CAPTURE(WriteRows, A16B16G16R16F_plain, D3DFMT_A16B16G16R16F, 8, Dither::None);
BENCHMARK_CAPTURE(WriteRows, A16B16G16R16F_ordered, D3DFMT_A16B16G16R16F, 8, Dither::Ordered);
BENCHMARK_CAPTURE(WriteRows, A16B16G16R16F_diffusion, D3DFMT_A16B16G16R16F, 8, Dither::Diffusion);

}  // namespace
