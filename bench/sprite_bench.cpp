// Draw and Flush of the sprite batcher on a headless software device whose
// profile does not rasterise, so that the batcher's own cost per sprite is
// measured: 860 sprites (a game frame) and 5,000 (a wrap of the buffer).
#include <benchmark/benchmark.h>

#include "runtime/headless_device.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"

namespace {

void SpriteBatch(benchmark::State& state) {
    DeviceProfile profile = DefaultDeviceProfile();
    profile.rasterize = false;
    HeadlessDevice device(profile);
    ComPtr<ID3DXSprite> sprite;
    ComPtr<IDirect3DTexture9> texture;
    if (!device || FAILED(D3DXCreateSprite(device.Get(), sprite.ReleaseAndGetAddressOf())) ||
        FAILED(device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     texture.ReleaseAndGetAddressOf(), nullptr))) {
        state.SkipWithError("no device");
        return;
    }
    const int sprites = static_cast<int>(state.range(0));
    const RECT rect = {0, 0, 40, 40};
    for (auto _ : state) {
        device->BeginScene();
        sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE);
        for (int i = 0; i < sprites; ++i) {
            const D3DXVECTOR3 at = {static_cast<float>(i % 16 * 40),
                                    static_cast<float>(i / 16 % 12 * 40), 0.0f};
            sprite->Draw(texture.Get(), &rect, nullptr, &at, 0xFFFFFFFF);
        }
        sprite->End();
        device->EndScene();
    }
    state.SetItemsProcessed(state.iterations() * sprites);
    sprite.Reset();
    texture.Reset();
}

BENCHMARK(SpriteBatch)->Arg(860)->Arg(5000);

}  // namespace
