#include "shell/shutdown.h"

#include "platform/graphics.h"
#include "platform/input_devices.h"
#include "platform/sound.h"
#include "vellorn/win32_window.h"

namespace {

template <class T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

void ReleaseInputDevice(IDirectInputDevice8*& inputDevice) {
    if (inputDevice != nullptr) {
        inputDevice->Unacquire();
        ReleaseAndClear(inputDevice);
    }
}

}  // namespace

void ShutDown(HINSTANCE instance) {
    ShutdownSound();

    ReleaseInputDevice(controllerDevice);
    ReleaseInputDevice(keyboardDevice);
    ReleaseAndClear(directInput);

    if (spriteBatcher != nullptr) {
        spriteBatcher->OnLostDevice();
        ReleaseAndClear(spriteBatcher);
    }
    ReleaseAndClear(atlasTexture);
    ReleaseAndClear(device);
    ReleaseAndClear(direct3D);

    UnregisterClassA("MainClass", instance);
}
