#include "platform/input_devices.h"

#include "shell/window.h"

IDirectInput8* directInput = nullptr;
IDirectInputDevice8* keyboardDevice = nullptr;
IDirectInputDevice8* controllerDevice = nullptr;
DIDEVCAPS controllerCaps = {};

namespace {

// Both devices are shared with other programs and read only while the game
// window is in front.
constexpr DWORD kCooperation = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

constexpr LONG kAxisMin = -1000;
constexpr LONG kAxisMax = 1000;

}  // namespace

HRESULT InitKeyboard(HINSTANCE instance) {
    void* created = nullptr;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created,
                                  nullptr))) {
        return E_FAIL;
    }
    directInput = static_cast<IDirectInput8*>(created);
    if (FAILED(directInput->CreateDevice(GUID_SysKeyboard, &keyboardDevice, nullptr))) {
        return E_FAIL;
    }
    if (FAILED(keyboardDevice->SetDataFormat(&c_dfDIKeyboard))) {
        return E_FAIL;
    }
    if (FAILED(keyboardDevice->SetCooperativeLevel(mainWindow, kCooperation))) {
        return E_FAIL;
    }
    // Fails while the window is in the background; the poll acquires again
    // whenever a read fails.
    keyboardDevice->Acquire();
    return 1;
}

HRESULT InitController(HINSTANCE /*instance*/) {
    // Without the DirectInput object there is nothing to enumerate with.
    if (directInput == nullptr) {
        return E_FAIL;
    }
    if (FAILED(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumControllerCallback, nullptr,
                                        DIEDFL_ATTACHEDONLY)) ||
        controllerDevice == nullptr) {
        return E_FAIL;
    }
    if (FAILED(controllerDevice->SetDataFormat(&c_dfDIJoystick))) {
        return E_FAIL;
    }
    if (FAILED(controllerDevice->SetCooperativeLevel(mainWindow, kCooperation))) {
        return E_FAIL;
    }
    if (FAILED(controllerDevice->EnumObjects(EnumAxisCallback, nullptr, DIDFT_AXIS))) {
        return E_FAIL;
    }
    DIPROPDWORD axisMode = {};
    axisMode.diph.dwSize = sizeof(DIPROPDWORD);
    axisMode.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    axisMode.diph.dwObj = 0;
    axisMode.diph.dwHow = DIPH_DEVICE;
    axisMode.dwData = DIPROPAXISMODE_ABS;
    if (FAILED(controllerDevice->SetProperty(DIPROP_AXISMODE, &axisMode.diph))) {
        return E_FAIL;
    }
    controllerDevice->Acquire();
    return 1;
}

BOOL EnumControllerCallback(LPCDIDEVICEINSTANCEA device, LPVOID /*context*/) {
    if (FAILED(directInput->CreateDevice(device->guidInstance, &controllerDevice, nullptr))) {
        return DIENUM_CONTINUE;
    }
    controllerCaps.dwSize = sizeof(DIDEVCAPS);
    if (SUCCEEDED(controllerDevice->GetCapabilities(&controllerCaps))) {
        return DIENUM_STOP;
    }
    controllerDevice->Release();
    controllerDevice = nullptr;
    return DIENUM_CONTINUE;
}

BOOL EnumAxisCallback(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID /*context*/) {
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = object->dwType;
    range.diph.dwHow = DIPH_BYID;
    range.lMin = kAxisMin;
    range.lMax = kAxisMax;
    if (FAILED(controllerDevice->SetProperty(DIPROP_RANGE, &range.diph))) {
        return DIENUM_STOP;
    }
    return DIENUM_CONTINUE;
}
