// Row reading and writing of the per-pixel codecs on 4096-pixel rows: plain
// writes, ordered dither and error diffusion, and palette writes, which search
// a 256-entry palette for the nearest entry of every pixel.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pixel/pixel_codec.h"
#include "vellorn/result_codes.h"

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
        CreatePixelCodec(desc, &codec);
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
    if (!b.codec) {
        state.SkipWithError("no codec");
        return;
    }
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
    if (!b.codec) {
        state.SkipWithError("no codec");
        return;
    }
    UINT y = 0;
    for (auto _ : state) {
        b.codec->WriteRow(y, 0, b.row.data());
        benchmark::DoNotOptimize(b.memory.data());
        y = (y + 1) % kRows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth);
}

// A palette of 256 distinct opaque colours and kRows rows of pseudo-random
// opaque colours, so that neighbouring pixels are unrelated: the palette
// search gets no help from repeated or similar inputs within a row.
struct PaletteBench {
    explicit PaletteBench(D3DFORMAT format)
        : memory(std::size_t{kWidth} * kRows * (format == D3DFMT_A8P8 ? 2 : 1)),
          palette(256),
          rows(std::size_t{kWidth} * kRows) {
        std::uint32_t state = 12345;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 8;
        };
        for (PALETTEENTRY& e : palette) {
            const std::uint32_t bits = next();
            e = PALETTEENTRY{static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                             static_cast<BYTE>(bits >> 16), 255};
        }
        for (ColorF& c : rows) {
            const auto unit = [&] { return static_cast<float>(next() & 0xFFFF) / 65535.0f; };
            c = ColorF{unit(), unit(), unit(), 1.0f};
        }
        desc.data = memory.data();
        desc.format = format;
        desc.rowPitch = kWidth * (format == D3DFMT_A8P8 ? 2 : 1);
        desc.extent = PixelBox{0, 0, kWidth, kRows, 0, 1};
        desc.box = desc.extent;
        desc.palette = palette.data();
    }
    const ColorF* Row(UINT y) const { return rows.data() + std::size_t{y} * kWidth; }

    std::vector<BYTE> memory;
    std::vector<PALETTEENTRY> palette;
    std::vector<ColorF> rows;
    SurfaceDesc desc = {};
};

// Rows written through one codec, as in the conversion of a large image.
void WritePaletteRows(benchmark::State& state, D3DFORMAT format) {
    PaletteBench b(format);
    std::unique_ptr<PixelCodec> codec;
    if (FAILED(CreatePixelCodec(b.desc, &codec))) {
        state.SkipWithError("no codec");
        return;
    }
    UINT y = 0;
    for (auto _ : state) {
        codec->WriteRow(y, 0, b.Row(y));
        benchmark::DoNotOptimize(b.memory.data());
        y = (y + 1) % kRows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth);
}

// One row through a codec made for it: the cost of a small conversion,
// codec creation included.
void WritePaletteRowNewCodec(benchmark::State& state, D3DFORMAT format) {
    PaletteBench b(format);
    UINT y = 0;
    for (auto _ : state) {
        std::unique_ptr<PixelCodec> codec;
        if (FAILED(CreatePixelCodec(b.desc, &codec))) {
            state.SkipWithError("no codec");
            break;
        }
        codec->WriteRow(y, 0, b.Row(y));
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

BENCHMARK_CAPTURE(WritePaletteRows, P8_random_colours, D3DFMT_P8);
BENCHMARK_CAPTURE(WritePaletteRows, A8P8_random_colours, D3DFMT_A8P8);
BENCHMARK_CAPTURE(WritePaletteRowNewCodec, P8_random_colours, D3DFMT_P8);

}  // namespace
