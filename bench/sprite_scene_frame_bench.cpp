// One frame of the game's scene on the headless software device, through the
// sprite batcher with the game's flags: Clear, BeginScene, Begin(ALPHABLEND |
// DONOTSAVESTATE), the 860 draws of the scene (frame tiles, floors, edge
// strips, posts, goal marker and the two figures) from one managed,
// mipmapped 512 x 64 A8R8G8B8 atlas, End, EndScene and Present into a
// 640 x 480 back buffer.
//
// Two variants: the figures at whole pixels, and at fractional positions as
// they are while walking. Each reports the median and the fastest of ten
// repetitions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"

namespace {

constexpr UINT kAtlasWidth = 512;
constexpr UINT kAtlasHeight = 64;

// Atlas regions, (left, top)-(right, bottom) with right and bottom exclusive.
constexpr RECT kFrameTile = {418, 0, 438, 20};
constexpr RECT kFloor = {440, 0, 476, 36};
constexpr RECT kVerticalWall = {478, 0, 482, 36};
constexpr RECT kVerticalOpen = {484, 0, 488, 36};
constexpr RECT kHorizontalWall = {440, 38, 476, 42};
constexpr RECT kHorizontalOpen = {440, 44, 476, 48};
constexpr RECT kPost = {478, 38, 484, 44};
constexpr RECT kGoal = {384, 0, 416, 32};

// A figure cell: row 0 holds the player, row 1 the enemy; direction d and
// walking frame f select the column.
RECT FigureCell(int row, int direction, int frame) {
    const LONG left = 96 * direction + 32 * frame;
    return {left, 32 * row, left + 32, 32 * row + 32};
}

bool Inside(const RECT& r, UINT x, UINT y) {
    return static_cast<LONG>(x) >= r.left && static_cast<LONG>(x) < r.right &&
           static_cast<LONG>(y) >= r.top && static_cast<LONG>(y) < r.bottom;
}

// The atlas picture: opaque tiles and strips, figures and the goal marker as
// opaque discs with a translucent rim on a fully transparent background.
// Colours vary a little from texel to texel, as drawn pictures do.
std::uint32_t AtlasTexel(UINT x, UINT y) {
    struct Region {
        RECT rect;
        std::uint32_t colour;
    };
    static constexpr Region kTiles[] = {
        {kFrameTile, 0x707888u},    {kFloor, 0xC0A880u},          {kVerticalWall, 0x402818u},
        {kVerticalOpen, 0xB09870u}, {kHorizontalWall, 0x402818u}, {kHorizontalOpen, 0xB09870u},
        {kPost, 0x282828u},
    };
    const std::uint32_t shade = ((x * 3 + y * 5) & 15u) * 0x010101u;
    for (const Region& tile : kTiles) {
        if (Inside(tile.rect, x, y)) {
            return 0xFF000000u | (tile.colour + shade);
        }
    }
    if (y < 64 && x < 416) {
        // A disc of radius 13 around the centre of the 32 x 32 cell, with a
        // rim of translucent texels one texel wide.
        const std::uint32_t colour = x >= 384 ? 0x20B040u : (y < 32 ? 0x2050D0u : 0xD03020u);
        const int dx = 2 * static_cast<int>(x % 32) + 1 - 32;
        const int dy = 2 * static_cast<int>(y % 32) + 1 - 32;
        const int d2 = dx * dx + dy * dy;
        if (d2 <= 26 * 26) {
            return 0xFF000000u | (colour + shade);
        }
        if (d2 <= 28 * 28) {
            return 0x80000000u | (colour + shade);
        }
    }
    return 0x00000000u;
}

// Each lower level averages 2 x 2 texels of the level above, per channel,
// rounding to nearest.
std::vector<std::uint32_t> Downsample(const std::vector<std::uint32_t>& above, UINT width,
                                      UINT height) {
    const UINT w = width > 1 ? width / 2 : 1;
    const UINT h = height > 1 ? height / 2 : 1;
    std::vector<std::uint32_t> level(static_cast<std::size_t>(w) * h);
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
            const UINT x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            const UINT y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
            const std::uint32_t texels[4] = {above[y0 * width + x0], above[y0 * width + x1],
                                             above[y1 * width + x0], above[y1 * width + x1]};
            std::uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                std::uint32_t sum = 2;
                for (std::uint32_t t : texels) {
                    sum += (t >> shift) & 0xFFu;
                }
                out |= (sum / 4) << shift;
            }
            level[static_cast<std::size_t>(y) * w + x] = out;
        }
    }
    return level;
}

bool FillAtlas(IDirect3DTexture9* texture) {
    std::vector<std::uint32_t> texels(static_cast<std::size_t>(kAtlasWidth) * kAtlasHeight);
    for (UINT y = 0; y < kAtlasHeight; ++y) {
        for (UINT x = 0; x < kAtlasWidth; ++x) {
            texels[static_cast<std::size_t>(y) * kAtlasWidth + x] = AtlasTexel(x, y);
        }
    }
    UINT width = kAtlasWidth, height = kAtlasHeight;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) {
            return false;
        }
        for (UINT y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(
                static_cast<char*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch);
            std::copy_n(texels.data() + static_cast<std::size_t>(y) * width, width, row);
        }
        texture->UnlockRect(level);
        texels = Downsample(texels, width, height);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return true;
}

struct Sprite {
    RECT source;
    D3DXVECTOR3 position;
};

// The scene's 860 draws in painting order. Walls follow a fixed
// pseudo-random pattern with the outer boundary closed; the figures stand
// near the middle of the maze, offset by a fraction of a pixel if asked.
std::vector<Sprite> SceneLayout(bool fractionalFigures) {
    std::vector<Sprite> sprites;
    auto add = [&sprites](const RECT& source, float x, float y) {
        sprites.push_back({source, {x, y, 0.0f}});
    };
    for (int i = 0; i < 24; ++i) {
        add(kFrameTile, 0.0f, 20.0f * i);
        add(kFrameTile, 620.0f, 20.0f * i);
    }
    for (int j = 0; j < 32; ++j) {
        add(kFrameTile, 20.0f * j, 0.0f);
        add(kFrameTile, 20.0f * j, 460.0f);
        add(kFrameTile, 20.0f * j, 480.0f);
    }
    for (int x = 0; x < 15; ++x) {
        for (int y = 0; y < 11; ++y) {
            add(kFloor, 40.0f * x + 20, 40.0f * y + 20);
        }
    }
    std::uint32_t seed = 20240607u;
    auto wall = [&seed](bool boundary) {
        seed = seed * 1664525u + 1013904223u;
        return boundary || (seed >> 29) < 3;
    };
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 11; ++y) {
            add(wall(x == 0 || x == 15) ? kVerticalWall : kVerticalOpen, 40.0f * x + 16,
                40.0f * y + 20);
        }
    }
    for (int x = 0; x < 15; ++x) {
        for (int y = 0; y < 12; ++y) {
            add(wall(y == 0 || y == 11) ? kHorizontalWall : kHorizontalOpen, 40.0f * x + 20,
                40.0f * y + 16);
        }
    }
    for (int px = 0; px < 16; ++px) {
        for (int py = 0; py < 12; ++py) {
            add(kPost, 40.0f * px + 15, 40.0f * py + 15);
        }
    }
    // Goal and figure positions in game units: the sprite's top-left corner
    // is (x, y - 44) for the goal and (x, y - 42) for a figure.
    const float fraction = fractionalFigures ? 0.37f : 0.0f;
    add(kGoal, 542.0f, 426.0f - 44.0f);
    add(FigureCell(1, 1, 2), 302.0f - fraction * 2, 226.0f + fraction - 42.0f);
    add(FigureCell(0, 3, 1), 142.0f + fraction, 146.0f + fraction * 3 - 42.0f);
    return sprites;
}

void BM_SpriteSceneFrame(benchmark::State& state, bool fractionalFigures) {
    HeadlessDevice device;
    ComPtr<IDirect3DTexture9> atlas;
    ComPtr<ID3DXSprite> sprite;
    if (!device ||
        FAILED(device->CreateTexture(kAtlasWidth, kAtlasHeight, 0, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, atlas.ReleaseAndGetAddressOf(), nullptr)) ||
        !FillAtlas(atlas.Get()) ||
        FAILED(D3DXCreateSprite(device.Get(), sprite.ReleaseAndGetAddressOf()))) {
        state.SkipWithError("no device, atlas or sprite batcher");
        return;
    }
    const std::vector<Sprite> scene = SceneLayout(fractionalFigures);
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
        if (SUCCEEDED(device->BeginScene())) {
            sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
            for (const Sprite& s : scene) {
                sprite->Draw(atlas.Get(), &s.source, nullptr, &s.position, 0xFFFFFFFFu);
            }
            sprite->End();
            device->EndScene();
        }
        if (FAILED(device->Present(nullptr, nullptr, nullptr, nullptr))) {
            state.SkipWithError("Present failed");
            break;
        }
    }
    state.counters["sprites"] = static_cast<double>(scene.size());
    sprite.Reset();
    atlas.Reset();
}

// The fastest repetition beside the median: on a machine shared with other
// work, noise only ever adds time.
double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

BENCHMARK_CAPTURE(BM_SpriteSceneFrame, whole_pixel_figures, false)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_SpriteSceneFrame, fractional_figures, true)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);

}  // namespace
