// DirectInput 8: the keyboard and game-controller interfaces, their records,
// identifiers, key codes and result codes, with their published names and
// values. Implemented by the runtime in src/runtime/dinput over SDL2, or
// headless.
#pragma once

#include <cstddef>

#include "vellorn/guid.h"
#include "vellorn/result_codes.h"
#include "vellorn/unknown.h"
#include "vellorn/win32_types.h"

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

// ---- Result codes -----------------------------------------------------------

inline constexpr HRESULT DI_OK = S_OK;
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DI_POLLEDDEVICE = 2;
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
inline constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
inline constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;

// ---- Identifiers ------------------------------------------------------------

// {BF798030-483A-4DA2-AA99-5D64ED369700}
inline constexpr IID IID_IDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
// {54D41080-DC15-4833-A41B-748F73A38179}
inline constexpr IID IID_IDirectInputDevice8A = {
    0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};

// {6F1D2B61-D5A0-11CF-BFC7-444553540000}
inline constexpr GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {6F1D2B60-D5A0-11CF-BFC7-444553540000}
inline constexpr GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Object types, as reported by EnumObjects and named in the data formats.
inline constexpr GUID GUID_XAxis = {
    0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis = {
    0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis = {
    0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis = {
    0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis = {
    0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis = {
    0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider = {
    0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button = {
    0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key = {
    0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV = {
    0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Property identifiers are small integers carried in a GUID pointer
// (MAKEDIPROP). Such an address must never be dereferenced, nor bound to a
// reference, so SetProperty takes the property as a pointer and compares it.
using DIPROPID = const GUID*;
inline DIPROPID MAKEDIPROP(UINT_PTR property) {
    return reinterpret_cast<DIPROPID>(property);
}
inline const DIPROPID DIPROP_AXISMODE = MAKEDIPROP(2);
inline const DIPROPID DIPROP_RANGE = MAKEDIPROP(4);

// ---- Constants --------------------------------------------------------------

// Device classes and types for EnumDevices and the device records.
inline constexpr DWORD DI8DEVCLASS_ALL = 0;
inline constexpr DWORD DI8DEVCLASS_DEVICE = 1;
inline constexpr DWORD DI8DEVCLASS_POINTER = 2;
inline constexpr DWORD DI8DEVCLASS_KEYBOARD = 3;
inline constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
inline constexpr DWORD DI8DEVTYPE_KEYBOARD = 0x13;
inline constexpr DWORD DI8DEVTYPE_JOYSTICK = 0x14;
inline constexpr DWORD DI8DEVTYPE_GAMEPAD = 0x15;

inline constexpr DWORD DIEDFL_ALLDEVICES = 0x00000000;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
inline constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x00000100;

inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

// Cooperative levels.
inline constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
inline constexpr DWORD DISCL_FOREGROUND = 0x00000004;
inline constexpr DWORD DISCL_BACKGROUND = 0x00000008;

// Object type bits: the kind in the low byte, the instance in the next two.
inline constexpr DWORD DIDFT_ALL = 0x00000000;
inline constexpr DWORD DIDFT_RELAXIS = 0x00000001;
inline constexpr DWORD DIDFT_ABSAXIS = 0x00000002;
inline constexpr DWORD DIDFT_AXIS = 0x00000003;
inline constexpr DWORD DIDFT_PSHBUTTON = 0x00000004;
inline constexpr DWORD DIDFT_TGLBUTTON = 0x00000008;
inline constexpr DWORD DIDFT_BUTTON = 0x0000000C;
inline constexpr DWORD DIDFT_POV = 0x00000010;
inline constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
inline constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) {
    return (n & 0xFFFF) << 8;
}
constexpr DWORD DIDFT_GETINSTANCE(DWORD type) {
    return (type >> 8) & 0xFFFF;
}

// Data format flags.
inline constexpr DWORD DIDF_ABSAXIS = 0x00000001;
inline constexpr DWORD DIDF_RELAXIS = 0x00000002;

// Object data format flags.
inline constexpr DWORD DIDOI_ASPECTPOSITION = 0x00000100;

// Capability flags.
inline constexpr DWORD DIDC_ATTACHED = 0x00000001;
inline constexpr DWORD DIDC_POLLEDDEVICE = 0x00000002;

// How a property names its object.
inline constexpr DWORD DIPH_DEVICE = 0;
inline constexpr DWORD DIPH_BYOFFSET = 1;
inline constexpr DWORD DIPH_BYID = 2;

inline constexpr DWORD DIPROPAXISMODE_ABS = 0;
inline constexpr DWORD DIPROPAXISMODE_REL = 1;

// The range an axis reports before DIPROP_RANGE sets one.
inline constexpr LONG DIPROPRANGE_NOMIN = 0;
inline constexpr LONG DIPROPRANGE_NOMAX = 0xFFFF;

// ---- Key codes (indices into the 256-byte keyboard state) ------------------

inline constexpr BYTE DIK_ESCAPE = 0x01;
inline constexpr BYTE DIK_1 = 0x02;
inline constexpr BYTE DIK_2 = 0x03;
inline constexpr BYTE DIK_3 = 0x04;
inline constexpr BYTE DIK_4 = 0x05;
inline constexpr BYTE DIK_5 = 0x06;
inline constexpr BYTE DIK_6 = 0x07;
inline constexpr BYTE DIK_7 = 0x08;
inline constexpr BYTE DIK_8 = 0x09;
inline constexpr BYTE DIK_9 = 0x0A;
inline constexpr BYTE DIK_0 = 0x0B;
inline constexpr BYTE DIK_MINUS = 0x0C;
inline constexpr BYTE DIK_EQUALS = 0x0D;
inline constexpr BYTE DIK_BACK = 0x0E;
inline constexpr BYTE DIK_TAB = 0x0F;
inline constexpr BYTE DIK_Q = 0x10;
inline constexpr BYTE DIK_W = 0x11;
inline constexpr BYTE DIK_E = 0x12;
inline constexpr BYTE DIK_R = 0x13;
inline constexpr BYTE DIK_T = 0x14;
inline constexpr BYTE DIK_Y = 0x15;
inline constexpr BYTE DIK_U = 0x16;
inline constexpr BYTE DIK_I = 0x17;
inline constexpr BYTE DIK_O = 0x18;
inline constexpr BYTE DIK_P = 0x19;
inline constexpr BYTE DIK_LBRACKET = 0x1A;
inline constexpr BYTE DIK_RBRACKET = 0x1B;
inline constexpr BYTE DIK_RETURN = 0x1C;
inline constexpr BYTE DIK_LCONTROL = 0x1D;
inline constexpr BYTE DIK_A = 0x1E;
inline constexpr BYTE DIK_S = 0x1F;
inline constexpr BYTE DIK_D = 0x20;
inline constexpr BYTE DIK_F = 0x21;
inline constexpr BYTE DIK_G = 0x22;
inline constexpr BYTE DIK_H = 0x23;
inline constexpr BYTE DIK_J = 0x24;
inline constexpr BYTE DIK_K = 0x25;
inline constexpr BYTE DIK_L = 0x26;
inline constexpr BYTE DIK_SEMICOLON = 0x27;
inline constexpr BYTE DIK_APOSTROPHE = 0x28;
inline constexpr BYTE DIK_GRAVE = 0x29;
inline constexpr BYTE DIK_LSHIFT = 0x2A;
inline constexpr BYTE DIK_BACKSLASH = 0x2B;
inline constexpr BYTE DIK_Z = 0x2C;
inline constexpr BYTE DIK_X = 0x2D;
inline constexpr BYTE DIK_C = 0x2E;
inline constexpr BYTE DIK_V = 0x2F;
inline constexpr BYTE DIK_B = 0x30;
inline constexpr BYTE DIK_N = 0x31;
inline constexpr BYTE DIK_M = 0x32;
inline constexpr BYTE DIK_COMMA = 0x33;
inline constexpr BYTE DIK_PERIOD = 0x34;
inline constexpr BYTE DIK_SLASH = 0x35;
inline constexpr BYTE DIK_RSHIFT = 0x36;
inline constexpr BYTE DIK_MULTIPLY = 0x37;
inline constexpr BYTE DIK_LMENU = 0x38;
inline constexpr BYTE DIK_SPACE = 0x39;
inline constexpr BYTE DIK_CAPITAL = 0x3A;
inline constexpr BYTE DIK_F1 = 0x3B;
inline constexpr BYTE DIK_F2 = 0x3C;
inline constexpr BYTE DIK_F3 = 0x3D;
inline constexpr BYTE DIK_F4 = 0x3E;
inline constexpr BYTE DIK_F5 = 0x3F;
inline constexpr BYTE DIK_F6 = 0x40;
inline constexpr BYTE DIK_F7 = 0x41;
inline constexpr BYTE DIK_F8 = 0x42;
inline constexpr BYTE DIK_F9 = 0x43;
inline constexpr BYTE DIK_F10 = 0x44;
inline constexpr BYTE DIK_NUMLOCK = 0x45;
inline constexpr BYTE DIK_SCROLL = 0x46;
inline constexpr BYTE DIK_NUMPAD7 = 0x47;
inline constexpr BYTE DIK_NUMPAD8 = 0x48;
inline constexpr BYTE DIK_NUMPAD9 = 0x49;
inline constexpr BYTE DIK_SUBTRACT = 0x4A;
inline constexpr BYTE DIK_NUMPAD4 = 0x4B;
inline constexpr BYTE DIK_NUMPAD5 = 0x4C;
inline constexpr BYTE DIK_NUMPAD6 = 0x4D;
inline constexpr BYTE DIK_ADD = 0x4E;
inline constexpr BYTE DIK_NUMPAD1 = 0x4F;
inline constexpr BYTE DIK_NUMPAD2 = 0x50;
inline constexpr BYTE DIK_NUMPAD3 = 0x51;
inline constexpr BYTE DIK_NUMPAD0 = 0x52;
inline constexpr BYTE DIK_DECIMAL = 0x53;
inline constexpr BYTE DIK_OEM_102 = 0x56;
inline constexpr BYTE DIK_F11 = 0x57;
inline constexpr BYTE DIK_F12 = 0x58;
inline constexpr BYTE DIK_F13 = 0x64;
inline constexpr BYTE DIK_F14 = 0x65;
inline constexpr BYTE DIK_F15 = 0x66;
inline constexpr BYTE DIK_NUMPADEQUALS = 0x8D;
inline constexpr BYTE DIK_NUMPADENTER = 0x9C;
inline constexpr BYTE DIK_RCONTROL = 0x9D;
inline constexpr BYTE DIK_DIVIDE = 0xB5;
inline constexpr BYTE DIK_SYSRQ = 0xB7;
inline constexpr BYTE DIK_RMENU = 0xB8;
inline constexpr BYTE DIK_PAUSE = 0xC5;
inline constexpr BYTE DIK_HOME = 0xC7;
inline constexpr BYTE DIK_UP = 0xC8;
inline constexpr BYTE DIK_PRIOR = 0xC9;
inline constexpr BYTE DIK_LEFT = 0xCB;
inline constexpr BYTE DIK_RIGHT = 0xCD;
inline constexpr BYTE DIK_END = 0xCF;
inline constexpr BYTE DIK_DOWN = 0xD0;
inline constexpr BYTE DIK_NEXT = 0xD1;
inline constexpr BYTE DIK_INSERT = 0xD2;
inline constexpr BYTE DIK_DELETE = 0xD3;
inline constexpr BYTE DIK_LWIN = 0xDB;
inline constexpr BYTE DIK_RWIN = 0xDC;
inline constexpr BYTE DIK_APPS = 0xDD;

// ---- Records ----------------------------------------------------------------

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};
using LPDIDEVCAPS = DIDEVCAPS*;
static_assert(sizeof(DIDEVCAPS) == 44);

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
using LPCDIPROPHEADER = const DIPROPHEADER*;
static_assert(sizeof(DIPROPHEADER) == 16);

struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
static_assert(sizeof(DIPROPDWORD) == 20);

struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24);

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[260];
    CHAR tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;

struct DIDEVICEOBJECTINSTANCEA {
    DWORD dwSize;
    GUID guidType;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
    CHAR tszName[260];
    DWORD dwFFMaxForce;
    DWORD dwFFForceResolution;
    WORD wCollectionNumber;
    WORD wDesignatorIndex;
    WORD wUsagePage;
    WORD wUsage;
    DWORD dwDimension;
    WORD wExponent;
    WORD wReportId;
};
using LPCDIDEVICEOBJECTINSTANCEA = const DIDEVICEOBJECTINSTANCEA*;

// The standard joystick state delivered with c_dfDIJoystick.
struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

// Data formats: where each object's value lands in the caller's buffer.
struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

// The standard formats: 256 one-byte keys indexed by DIK_* code, and the
// 80-byte DIJOYSTATE with absolute axes.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIJoystick;

// ---- Interfaces -------------------------------------------------------------

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(LPCDIDEVICEINSTANCEA device, LPVOID context);
using LPDIENUMDEVICEOBJECTSCALLBACKA = BOOL (*)(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID context);

struct IDirectInputDevice8A : IUnknown {
    virtual HRESULT GetCapabilities(LPDIDEVCAPS caps) = 0;
    virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context,
                                DWORD flags) = 0;
    virtual HRESULT SetProperty(DIPROPID property, LPCDIPROPHEADER header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT Poll() = 0;

  protected:
    ~IDirectInputDevice8A() = default;
};
using IDirectInputDevice8 = IDirectInputDevice8A;
using LPDIRECTINPUTDEVICE8A = IDirectInputDevice8A*;
using LPDIRECTINPUTDEVICE8 = IDirectInputDevice8*;

struct IDirectInput8A : IUnknown {
    virtual HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8A* device,
                                 IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                DWORD flags) = 0;

  protected:
    ~IDirectInput8A() = default;
};
using IDirectInput8 = IDirectInput8A;
using LPDIRECTINPUT8A = IDirectInput8A*;
using LPDIRECTINPUT8 = IDirectInput8*;

// Creates the DirectInput object. version must be DIRECTINPUT_VERSION and iid
// IID_IDirectInput8A; outer must be null (no aggregation). *object is null on
// failure.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* object,
                           IUnknown* outer);
