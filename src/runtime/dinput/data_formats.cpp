// The two standard data formats. Every object is optional: a device without
// a given axis, button or key simply leaves its bytes at their rest value.
#include <array>
#include <cstddef>

#include "vellorn/dinput.h"

namespace {

constexpr std::array<DIOBJECTDATAFORMAT, 256> KeyboardObjects() {
    std::array<DIOBJECTDATAFORMAT, 256> objects{};
    for (DWORD key = 0; key < 256; ++key) {
        objects[key] = {&GUID_Key, key, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(key), 0};
    }
    return objects;
}

constexpr std::array<DIOBJECTDATAFORMAT, 44> JoystickObjects() {
    std::array<DIOBJECTDATAFORMAT, 44> objects{};
    const GUID* const axes[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                 &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    std::size_t next = 0;
    for (DWORD axis = 0; axis < 8; ++axis) {
        objects[next++] = {axes[axis], static_cast<DWORD>(offsetof(DIJOYSTATE, lX)) + 4 * axis,
                           DIDFT_AXIS | DIDFT_OPTIONAL | DIDFT_ANYINSTANCE, DIDOI_ASPECTPOSITION};
    }
    for (DWORD pov = 0; pov < 4; ++pov) {
        objects[next++] = {&GUID_POV, static_cast<DWORD>(offsetof(DIJOYSTATE, rgdwPOV)) + 4 * pov,
                           DIDFT_POV | DIDFT_OPTIONAL | DIDFT_ANYINSTANCE, 0};
    }
    for (DWORD button = 0; button < 32; ++button) {
        objects[next++] = {nullptr, static_cast<DWORD>(offsetof(DIJOYSTATE, rgbButtons)) + button,
                           DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_ANYINSTANCE, 0};
    }
    return objects;
}

constexpr std::array<DIOBJECTDATAFORMAT, 256> kKeyboardObjects = KeyboardObjects();
constexpr std::array<DIOBJECTDATAFORMAT, 44> kJoystickObjects = JoystickObjects();

}  // namespace

const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT),    sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256,
    kKeyboardObjects.size(), kKeyboardObjects.data(),
};

const DIDATAFORMAT c_dfDIJoystick = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
    sizeof(DIJOYSTATE),   kJoystickObjects.size(),    kJoystickObjects.data(),
};
