#include "runtime/headless_device.h"

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "vellorn/win32_window.h"

namespace {

LRESULT HeadlessWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HeadlessDevice::HeadlessDevice(const DeviceProfile& profile) {
    SelectBackend(RuntimeBackend::Headless);
    ResetDeviceControl();
    InstallDeviceProfile(profile);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HeadlessWindowProcedure;
    windowClass.lpszClassName = "HeadlessDeviceWindow";
    RegisterClassExA(&windowClass);
    window_ = CreateWindowExA(0, "HeadlessDeviceWindow", "headless", WS_OVERLAPPEDWINDOW, 0, 0, 646,
                              512, nullptr, nullptr, nullptr, nullptr);
    auto direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.BackBufferFormat = D3DFMT_UNKNOWN;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (window_ != nullptr && direct3D) {
        direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                               D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                               device_.ReleaseAndGetAddressOf());
    }
}

HeadlessDevice::~HeadlessDevice() {
    device_.Reset();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    ResetDeviceControl();
}
