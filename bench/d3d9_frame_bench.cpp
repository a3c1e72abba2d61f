// A game-like frame on the software rasteriser: the 15 x 11 floor of 40 x 40
// tiles plus walls and posts, 860 textured quads in all, alpha-blended with
// linear filtering from one 512 x 256 A8R8G8B8 texture with a full mip chain,
// drawn into a 640 x 480 target as the sprite batcher submits them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/d3d9/rasterizer.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kQuads = 860;

struct MipChain {
    std::vector<std::vector<std::uint32_t>> storage;
    std::vector<SampledLevel> levels;
};

MipChain MakeTexture() {
    MipChain chain;
    UINT w = 512, h = 256;
    std::uint32_t seed = 12345;
    while (true) {
        std::vector<std::uint32_t> texels(static_cast<std::size_t>(w) * h);
        for (auto& t : texels) {
            seed = seed * 1664525u + 1013904223u;
            // mostly opaque with some transparent and translucent texels
            const std::uint32_t alpha = (seed >> 28) < 2 ? 0u : ((seed >> 28) < 4 ? 0x80u : 0xFFu);
            t = (alpha << 24) | (seed & 0x00FFFFFFu);
        }
        chain.storage.push_back(std::move(texels));
        if (w == 1 && h == 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    w = 512;
    h = 256;
    for (const auto& level : chain.storage) {
        chain.levels.push_back({level.data(), w, h});
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return chain;
}

// The sprite batcher's projection: pixel (x, y) to clip space, with the
// half-pixel offset that puts pixel centres at integer coordinates.
RasterVertex PixelVertex(float x, float y, float u, float v) {
    return {(x - 0.5f) * 2.0f / kWidth - 1.0f,
            1.0f - (y - 0.5f) * 2.0f / kHeight,
            0.5f,
            1.0f,
            1.0f,
            1.0f,
            1.0f,
            1.0f,
            u,
            v};
}

void AddQuad(std::vector<RasterVertex>& out, int x, int y, int w, int h, int tx, int ty) {
    const float u0 = tx / 512.0f, v0 = ty / 256.0f;
    const float u1 = (tx + w) / 512.0f, v1 = (ty + h) / 256.0f;
    const RasterVertex a = PixelVertex(x, y, u0, v0);
    const RasterVertex b = PixelVertex(x + w, y, u1, v0);
    const RasterVertex c = PixelVertex(x, y + h, u0, v1);
    const RasterVertex d = PixelVertex(x + w, y + h, u1, v1);
    // clockwise on screen, as the batcher emits them
    out.insert(out.end(), {a, b, c, c, b, d});
}

std::vector<RasterVertex> MakeFrame() {
    std::vector<RasterVertex> vertices;
    for (int cy = 0; cy < 11; ++cy) {
        for (int cx = 0; cx < 15; ++cx) {
            AddQuad(vertices, 20 + cx * 40, 20 + cy * 40, 40, 40, (cx % 12) * 40, (cy % 6) * 40);
        }
    }
    std::uint32_t seed = 777;
    while (vertices.size() < static_cast<std::size_t>(kQuads) * 6) {
        seed = seed * 1664525u + 1013904223u;
        const int size = 32 + static_cast<int>((seed >> 8) % 9);
        const int x = static_cast<int>((seed >> 12) % (kWidth - size));
        const int y = static_cast<int>((seed >> 20) % (kHeight - size));
        AddQuad(vertices, x, y, size, size, static_cast<int>((seed >> 4) % 12) * 40,
                static_cast<int>((seed >> 16) % 5) * 40);
    }
    return vertices;
}

void BM_GameFrame(benchmark::State& bench) {
    const MipChain texture = MakeTexture();
    const std::vector<RasterVertex> vertices = MakeFrame();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    RasterTarget target{pixels.data(), kWidth, kHeight, kWidth};
    RasterState state;
    state.viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
    state.cullMode = D3DCULL_NONE;
    state.alphaBlendEnable = true;
    state.srcBlend = D3DBLEND_SRCALPHA;
    state.destBlend = D3DBLEND_INVSRCALPHA;
    state.stages[0] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
                       D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};
    state.samplers[0].addressU = D3DTADDRESS_CLAMP;
    state.samplers[0].addressV = D3DTADDRESS_CLAMP;
    state.samplers[0].minFilter = D3DTEXF_LINEAR;
    state.samplers[0].magFilter = D3DTEXF_LINEAR;
    state.samplers[0].mipFilter = D3DTEXF_POINT;
    state.textureLevels[0] = texture.levels.data();
    state.textureLevelCount[0] = static_cast<UINT>(texture.levels.size());
    for (auto _ : bench) {
        std::fill(pixels.begin(), pixels.end(), 0xFF203040u);
        DrawTriangles(state, vertices.data(), vertices.size() / 3, target);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    bench.counters["triangles"] = static_cast<double>(vertices.size() / 3);
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
