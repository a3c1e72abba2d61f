// A device for programs that run without a display (the benchmarks, the fuzz
// targets, the texture tool): the headless runtime, a window of the game's
// size (a 640 x 480 client area) and a hardware-processing device with the
// game's presentation parameters on the given device profile. The window
// goes, and the device controls are reset, when the object goes.
#pragma once

#include "runtime/d3d9/device_profile.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/win32_types.h"

class HeadlessDevice {
  public:
    explicit HeadlessDevice(const DeviceProfile& profile = DefaultDeviceProfile());
    ~HeadlessDevice();
    HeadlessDevice(const HeadlessDevice&) = delete;
    HeadlessDevice& operator=(const HeadlessDevice&) = delete;

    // Empty when any step of the set-up failed.
    IDirect3DDevice9* Get() const { return device_.Get(); }
    IDirect3DDevice9* operator->() const { return device_.Get(); }
    explicit operator bool() const { return static_cast<bool>(device_); }

  private:
    HWND window_ = nullptr;
    ComPtr<IDirect3DDevice9> device_;
};
