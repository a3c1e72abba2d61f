// The seam between the DirectInput objects and the backends: a backend lists
// the attached controllers and opens the keyboard or a controller as an
// InputSource, whose live state the device object reads and converts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vellorn/dinput.h"

inline constexpr int kKeyCount = 256;
// Controller axes fill the DIJOYSTATE slots in this order: X, Y, Z, Rx, Ry,
// Rz, slider 0, slider 1.
inline constexpr int kMaxControllerAxes = 8;
inline constexpr int kMaxControllerButtons = 32;
// Raw axis positions span the full signed 16-bit range.
inline constexpr int kRawAxisMin = -32768;
inline constexpr int kRawAxisMax = 32767;

// One attached controller as the backend lists it.
struct ControllerListing {
    GUID instance;
    GUID product;
    std::string name;
    bool gamepad;  // a gamepad rather than a plain joystick
};

// The live state of one opened device.
class InputSource {
  public:
    virtual ~InputSource() = default;

    virtual bool IsKeyboard() const = 0;
    virtual int AxisCount() const { return 0; }
    virtual int ButtonCount() const { return 0; }
    virtual std::string Name() const = 0;
    // The outcome of a capabilities query; a controller that stops answering
    // reports a failure here.
    virtual HRESULT QueryCapabilities() const { return DI_OK; }
    // Brings the state up to date (a controller's Poll).
    virtual void Update() {}
    // The keyboard: 0x80 for each DIK code whose key is down, else 0.
    virtual void ReadKeys(BYTE (&/*keys*/)[kKeyCount]) const {}
    // A controller: raw positions (kRawAxisMin..kRawAxisMax) of its axes in
    // slot order, and its buttons (0x80 when pressed).
    virtual void ReadController(int (&/*axes*/)[kMaxControllerAxes],
                                BYTE (&/*buttons*/)[kMaxControllerButtons]) const {}
};

class InputBackend {
  public:
    virtual ~InputBackend() = default;

    // The controllers attached now, in the order they are to be enumerated.
    virtual std::vector<ControllerListing> Controllers() = 0;
    virtual HRESULT OpenKeyboard(std::unique_ptr<InputSource>* source) = 0;
    // DIERR_DEVICENOTREG when no attached controller has this instance.
    virtual HRESULT OpenController(REFGUID instance, std::unique_ptr<InputSource>* source) = 0;
};

// Null when out of memory.
std::unique_ptr<InputBackend> MakeSdlInputBackend();
std::unique_ptr<InputBackend> MakeHeadlessInputBackend();

// Every DirectInput object and device alive, for leak checks.
void CountInputObject(int delta);
