// Draw and Flush of the sprite batcher on a headless software device whose
// profile does not rasterise, so that the batcher's own cost per sprite is
// measured: 860 sprites (a game frame) and 5,000 (a wrap of the buffer).
#include <benchmark/benchmark.h>

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/headless_window.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"
#include "vellorn/win32_window.h"

namespace {

LRESULT BenchWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void SpriteBatch(benchmark::State& state) {
    SelectBackend(RuntimeBackend::Headless);
    ResetDeviceControl();
    DeviceProfile profile = DefaultDeviceProfile();
    profile.rasterize = false;
    InstallDeviceProfile(profile);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = BenchWindowProcedure;
    windowClass.lpszClassName = "SpriteBench";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "SpriteBench", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 646, 512,
                                  nullptr, nullptr, nullptr, nullptr);
    auto direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ComPtr<IDirect3DDevice9> device;
    ComPtr<ID3DXSprite> sprite;
    ComPtr<IDirect3DTexture9> texture;
    if (!direct3D ||
        FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                      device.ReleaseAndGetAddressOf())) ||
        FAILED(D3DXCreateSprite(device.Get(), sprite.ReleaseAndGetAddressOf())) ||
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
    device.Reset();
    ResetDeviceControl();
}

BENCHMARK(SpriteBatch)->Arg(860)->Arg(5000);

}  // namespace
