// Presenting through SDL: the back buffer appears in the window's client
// area. Needs a display (CI runs under Xvfb); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/window_system.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/win32_window.h"

namespace {

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(DeviceSdlPresent, ShowsThePresentedFrameInTheWindow) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "no display";
    }
    SelectBackend(RuntimeBackend::Sdl);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "DeviceSdlTest";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "DeviceSdlTest", "present", WS_OVERLAPPEDWINDOW, 0, 0, 646,
                                  512, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) {
        GTEST_SKIP() << "SDL cannot open a window";
    }
    ShowWindow(window, SW_SHOWNORMAL);

    ComPtr<IDirect3D9> direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(direct3D);
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     device.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_EQ(parameters.BackBufferWidth, 640u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF3366CC, 1.0f, 0), S_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);

    const Window* record = FindWindowRecord(window);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->sdlWindow, nullptr);
    SDL_Renderer* renderer = SDL_GetRenderer(record->sdlWindow);
    ASSERT_NE(renderer, nullptr);
    std::vector<std::uint32_t> pixels(640 * 480);
    ASSERT_EQ(
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), 640 * 4),
        0)
        << SDL_GetError();
    for (std::size_t i : {std::size_t{0}, std::size_t{320 + 240 * 640}, pixels.size() - 1}) {
        EXPECT_EQ(pixels[i] & 0xFFFFFFu, 0x3366CCu) << i;
    }
    device.Reset();
    direct3D.Reset();
    DestroyWindow(window);
}

}  // namespace
