// The keyboard and the first game controller: creation and set-up of the
// DirectInput object and its two devices.
#pragma once

#include "vellorn/dinput.h"
#include "vellorn/win32_types.h"

// Process-wide input objects, created here and released once at shutdown.
// controllerDevice stays null when no usable controller is attached.
extern IDirectInput8* directInput;
extern IDirectInputDevice8* keyboardDevice;
extern IDirectInputDevice8* controllerDevice;

// The controller's capabilities record; only the success of the query that
// fills it matters.
extern DIDEVCAPS controllerCaps;

// Creates the DirectInput object and the keyboard (standard 256-key format,
// shared, foreground-only on mainWindow) and tries to acquire it. 1 on
// success, E_FAIL at the first failing step.
HRESULT InitKeyboard(HINSTANCE instance);

// Picks the first attached controller that can be created and answers the
// capabilities query, gives it the standard joystick format, sets every axis
// to the absolute range -1000..+1000 and tries to acquire it. 1 on success,
// E_FAIL when there is none or a set-up step fails (a controller that fails
// after creation stays in controllerDevice). The instance is not used.
HRESULT InitController(HINSTANCE instance);

// Device enumeration: creates the offered controller into controllerDevice
// and stops at the first that answers its capabilities query.
BOOL EnumControllerCallback(LPCDIDEVICEINSTANCEA device, LPVOID context);

// Object enumeration: sets the offered axis's range to -1000..+1000; stops
// the enumeration when that fails.
BOOL EnumAxisCallback(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID context);
