// A headless window of the game's size (646 x 512, a 640 x 480 client area)
// and a Direct3D object, for the device tests.
#pragma once

#include <gtest/gtest.h>

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/headless_window.h"
#include "runtime/win32/module_table.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/win32_window.h"

inline LRESULT TestWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        ResetModuleTable();
        ResetDeviceControl();
        EnableCallLog(true);
        window_ = MakeWindow(646, 512);
        ASSERT_NE(window_, nullptr);
        direct3D_ = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
        ASSERT_TRUE(direct3D_);
    }

    void TearDown() override {
        direct3D_.Reset();
        ResetDeviceControl();
        ResetHeadlessWindowing();
        ResetModuleTable();
    }

    // Installs profile and makes the Direct3D object again, so that it and
    // the devices it creates answer from profile.
    void UseProfile(const DeviceProfile& profile) {
        InstallDeviceProfile(profile);
        direct3D_ = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
        ASSERT_TRUE(direct3D_);
    }

    static HWND MakeWindow(int width, int height) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = TestWindowProcedure;
        windowClass.lpszClassName = "DeviceTestWindow";
        RegisterClassExA(&windowClass);
        return CreateWindowExA(0, "DeviceTestWindow", "device test", WS_OVERLAPPEDWINDOW, 0, 0,
                               width, height, nullptr, nullptr, nullptr, nullptr);
    }

    static D3DPRESENT_PARAMETERS GameParameters() {
        D3DPRESENT_PARAMETERS parameters{};
        parameters.Windowed = TRUE;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.BackBufferFormat = D3DFMT_UNKNOWN;
        parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return parameters;
    }

    HRESULT CreateDevice(D3DDEVTYPE type, DWORD behaviour, ComPtr<IDirect3DDevice9>* device,
                         D3DPRESENT_PARAMETERS* parameters = nullptr) {
        D3DPRESENT_PARAMETERS local = GameParameters();
        D3DPRESENT_PARAMETERS* used = parameters != nullptr ? parameters : &local;
        return direct3D_->CreateDevice(D3DADAPTER_DEFAULT, type, window_, behaviour, used,
                                       device->ReleaseAndGetAddressOf());
    }

    ComPtr<IDirect3DDevice9> MakeDevice() {
        ComPtr<IDirect3DDevice9> device;
        EXPECT_EQ(CreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), S_OK);
        return device;
    }

    HWND window_ = nullptr;
    ComPtr<IDirect3D9> direct3D_;
};
