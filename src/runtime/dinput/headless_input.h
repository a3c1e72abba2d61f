// Test control of the headless input backend: scripted key states and
// controllers. Headless devices obey the same rules as the SDL ones; in
// particular a foreground device delivers nothing while its window is not in
// front (see HeadlessActivate in runtime/win32/headless_window.h).
#pragma once

#include <string>

#include "vellorn/dinput.h"

// Sets the state of one key (by DIK code), or of all 256 at once (non-zero =
// down).
void HeadlessSetKey(BYTE dikCode, bool down);
void HeadlessSetKeys(const BYTE (&keys)[256]);

struct HeadlessControllerOptions {
    std::string name = "Headless Controller";
    int axisCount = 2;    // 0..8, filling X, Y, Z, Rx, Ry, Rz, slider 0, slider 1
    int buttonCount = 4;  // 0..32
    bool gamepad = true;
    // CreateDevice on this controller fails with this code when it is a
    // failure code.
    HRESULT createResult = DI_OK;
    // GetCapabilities fails with this code when it is a failure code.
    HRESULT capabilitiesResult = DI_OK;
};

// Attaches a controller after those already attached, every axis centred
// (raw 0), and returns its index.
int HeadlessAttachController(const HeadlessControllerOptions& options);

// Sets an axis (slot order) to a raw position, clamped to -32768..32767, and
// a button.
void HeadlessSetControllerAxis(int controller, int axis, int raw);
void HeadlessSetControllerButton(int controller, int button, bool pressed);

// From now on GetCapabilities on this controller answers code.
void HeadlessSetCapabilitiesResult(int controller, HRESULT code);

// Failures of the headless backend's own objects: DirectInput8Create and
// CreateDevice on the keyboard fail with these codes when they are failure
// codes.
struct HeadlessInputFailures {
    HRESULT directInputCreate = DI_OK;
    HRESULT keyboardCreate = DI_OK;
};
void SetHeadlessInputFailures(const HeadlessInputFailures& failures);
// Whether DirectInput8Create is to fail, and with which code (DI_OK: not).
HRESULT HeadlessDirectInputCreateResult();

// Detaches every controller, clears the failures and releases every key.
// Devices already created keep reading the state they were created on.
void ResetHeadlessInput();

// DirectInput objects and devices currently alive, in either backend.
int LiveInputObjectCount();
