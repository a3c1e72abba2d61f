// The game's frame on the headless software device: DrawFrame itself, with
// the committed atlas loaded by the texture loader and the sprite batcher,
// both set up as the game sets them up. One iteration is Clear,
// BeginScene, Begin(ALPHABLEND | DONOTSAVESTATE), the 860 draws, End,
// EndScene and Present into a 640 x 480 back buffer.
//
// Two variants: the figures at rest on whole pixels, and half-way through a
// step at fractional positions, as they are while walking. Each reports the
// median and the fastest of ten repetitions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "game/game_state.h"
#include "game/new_game.h"
#include "game/random.h"
#include "game/scene.h"
#include "platform/graphics.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/headless_device.h"
#include "support/atlas_texture.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3dx_sprite.h"

namespace {

// A seeded new game; walking moves both figures part of the way into a
// step, off whole pixels.
void SetUpGame(bool walking) {
    gameState = InitialGameState();
    SeedRandom(20240607u);
    StartNewGame();
    gameState.clock.animPhase = 0.3f;
    if (walking) {
        gameState.actors[kPlayer].x += 13.37f;
        gameState.actors[kEnemy].y -= 21.75f;
    }
}

void BM_DrawFrame(benchmark::State& state, bool walking) {
    HeadlessDevice headless;
    ComPtr<IDirect3DTexture9> atlas;
    ComPtr<ID3DXSprite> sprite;
    if (!headless ||
        FAILED(LoadAtlasTexture(headless.Get(), VELLORN_ASSET_DIR "/bitmap.png",
                                atlas.ReleaseAndGetAddressOf())) ||
        FAILED(D3DXCreateSprite(headless.Get(), sprite.ReleaseAndGetAddressOf()))) {
        state.SkipWithError("no device, atlas or sprite batcher");
        return;
    }
    sprite->OnResetDevice();
    device = headless.Get();
    atlasTexture = atlas.Get();
    spriteBatcher = sprite.Get();
    SetUpGame(walking);

    DrawFrame();
    std::vector<std::uint32_t> frame;
    UINT width = 0;
    UINT height = 0;
    if (!ReadPresentedFrame(headless.Get(), &frame, &width, &height) || width != 640 ||
        height != 480) {
        state.SkipWithError("the frame was not presented");
    } else {
        for (auto _ : state) {
            DrawFrame();
        }
    }
    spriteBatcher = nullptr;
    atlasTexture = nullptr;
    device = nullptr;
}

// The fastest repetition beside the median: on a machine shared with other
// work, noise only ever adds time.
double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

BENCHMARK_CAPTURE(BM_DrawFrame, figures_at_rest, false)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_DrawFrame, figures_walking, true)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);

}  // namespace
