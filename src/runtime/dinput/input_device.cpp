#include "runtime/dinput/input_device.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "runtime/call_journal.h"
#include "runtime/dinput/scancode_table.h"
#include "runtime/dinput/scripted_keys.h"
#include "vellorn/com_object.h"
#include "vellorn/win32_window.h"

namespace {

const GUID* const kAxisGuids[kMaxControllerAxes] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,
                                                    &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis,
                                                    &GUID_Slider, &GUID_Slider};
const char* const kAxisNames[kMaxControllerAxes] = {
    "X Axis", "Y Axis", "Z Axis", "X Rotation", "Y Rotation", "Z Rotation", "Slider", "Slider"};

bool SameObject(const DIOBJECTDATAFORMAT& a, const DIOBJECTDATAFORMAT& b) {
    const bool sameGuid =
        (a.pguid == nullptr || b.pguid == nullptr) ? a.pguid == b.pguid : *a.pguid == *b.pguid;
    return sameGuid && a.dwOfs == b.dwOfs && a.dwType == b.dwType && a.dwFlags == b.dwFlags;
}

// A format is accepted when it is the standard one or an exact copy of it.
bool SameFormat(const DIDATAFORMAT& given, const DIDATAFORMAT& standard) {
    if (&given == &standard) {
        return true;
    }
    if (given.dwSize != standard.dwSize || given.dwObjSize != standard.dwObjSize ||
        given.dwFlags != standard.dwFlags || given.dwDataSize != standard.dwDataSize ||
        given.dwNumObjs != standard.dwNumObjs || given.rgodf == nullptr) {
        return false;
    }
    for (DWORD i = 0; i < standard.dwNumObjs; ++i) {
        if (!SameObject(given.rgodf[i], standard.rgodf[i])) {
            return false;
        }
    }
    return true;
}

void CopyName(char (&target)[260], const std::string& name) {
    std::snprintf(target, sizeof(target), "%s", name.c_str());
}

class InputDevice final : public ComObject<IDirectInputDevice8A, IID_IDirectInputDevice8A> {
  public:
    explicit InputDevice(std::unique_ptr<InputSource> source) : source_(std::move(source)) {
        CountInputObject(1);
        for (AxisRange& range : ranges_) {
            range = {DIPROPRANGE_NOMIN, DIPROPRANGE_NOMAX};
        }
    }
    ~InputDevice() override { CountInputObject(-1); }

    ULONG Release() override {
        const char* name = JournalName();
        const ULONG left = ComObject::Release();
        JournalCall(name, "Release", static_cast<long>(left));
        return left;
    }

    HRESULT GetCapabilities(LPDIDEVCAPS caps) override {
        if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS)) {
            return DIERR_INVALIDPARAM;
        }
        const HRESULT answer = source_->QueryCapabilities();
        if (FAILED(answer)) {
            return answer;
        }
        std::memset(caps, 0, sizeof(DIDEVCAPS));
        caps->dwSize = sizeof(DIDEVCAPS);
        caps->dwFlags = DIDC_ATTACHED | (source_->IsKeyboard() ? 0 : DIDC_POLLEDDEVICE);
        caps->dwDevType = DeviceType();
        caps->dwAxes = static_cast<DWORD>(source_->AxisCount());
        caps->dwButtons = static_cast<DWORD>(source_->ButtonCount());
        caps->dwPOVs = 0;
        return DI_OK;
    }

    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context,
                        DWORD flags) override {
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        const DWORD kinds =
            (flags & 0xFF) == DIDFT_ALL ? DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV : (flags & 0xFF);
        if (source_->IsKeyboard()) {
            if ((kinds & DIDFT_BUTTON) == 0) {
                return DI_OK;
            }
            for (DWORD key = 0; key < kKeyCount; ++key) {
                if (!KeyExists(key)) {
                    continue;
                }
                DIDEVICEOBJECTINSTANCEA object =
                    Object(GUID_Key, key, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(key));
                std::snprintf(object.tszName, sizeof(object.tszName), "Key %u",
                              static_cast<unsigned>(key));
                if (callback(&object, context) == DIENUM_STOP) {
                    return DI_OK;
                }
            }
            return DI_OK;
        }
        if ((kinds & DIDFT_AXIS) != 0) {
            for (int axis = 0; axis < source_->AxisCount(); ++axis) {
                DIDEVICEOBJECTINSTANCEA object =
                    Object(*kAxisGuids[axis], static_cast<DWORD>(4 * axis),
                           DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(static_cast<DWORD>(axis)));
                CopyName(object.tszName, kAxisNames[axis]);
                object.dwFlags = DIDOI_ASPECTPOSITION;
                if (callback(&object, context) == DIENUM_STOP) {
                    return DI_OK;
                }
            }
        }
        if ((kinds & DIDFT_BUTTON) != 0) {
            for (int button = 0; button < source_->ButtonCount(); ++button) {
                DIDEVICEOBJECTINSTANCEA object =
                    Object(GUID_Button,
                           static_cast<DWORD>(offsetof(DIJOYSTATE, rgbButtons)) +
                               static_cast<DWORD>(button),
                           DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(static_cast<DWORD>(button)));
                std::snprintf(object.tszName, sizeof(object.tszName), "Button %d", button);
                if (callback(&object, context) == DIENUM_STOP) {
                    return DI_OK;
                }
            }
        }
        return DI_OK;
    }

    HRESULT SetProperty(DIPROPID property, LPCDIPROPHEADER header) override {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) {
            return DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_RANGE) {
            return SetRange(*header);
        }
        if (property == DIPROP_AXISMODE) {
            return SetAxisMode(*header);
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT Acquire() override {
        if (format_ == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (!InForeground()) {
            acquired_ = false;
            return DIERR_OTHERAPPHASPRIO;
        }
        if (acquired_) {
            return DI_NOEFFECT;
        }
        acquired_ = true;
        haveLast_ = false;
        return DI_OK;
    }

    HRESULT Unacquire() override {
        JournalCall(JournalName(), "Unacquire");
        if (!acquired_) {
            return DI_NOEFFECT;
        }
        acquired_ = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        if (data == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (format_ == nullptr) {
            return DIERR_NOTACQUIRED;
        }
        if (size != format_->dwDataSize) {
            return DIERR_INVALIDPARAM;
        }
        if (const HRESULT ready = CheckAcquired(); FAILED(ready)) {
            return ready;
        }
        if (source_->IsKeyboard()) {
            BYTE keys[kKeyCount] = {};
            source_->ReadKeys(keys);
            AddScriptedKeys(keys);
            std::memcpy(data, keys, sizeof(keys));
            return DI_OK;
        }
        DIJOYSTATE state = ReadJoystick();
        std::memcpy(data, &state, sizeof(state));
        return DI_OK;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
        if (format == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (acquired_) {
            return DIERR_ACQUIRED;
        }
        const DIDATAFORMAT& standard = source_->IsKeyboard() ? c_dfDIKeyboard : c_dfDIJoystick;
        if (!SameFormat(*format, standard)) {
            return DIERR_INVALIDPARAM;
        }
        format_ = &standard;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
        const bool shared = (flags & DISCL_NONEXCLUSIVE) != 0;
        const bool foreground = (flags & DISCL_FOREGROUND) != 0;
        const bool background = (flags & DISCL_BACKGROUND) != 0;
        if (exclusive == shared || foreground == background ||
            (flags &
             ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND)) != 0) {
            return DIERR_INVALIDPARAM;
        }
        // A foreground device follows its window, so it needs one.
        if (foreground && window == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        window_ = window;
        foreground_ = foreground;
        return DI_OK;
    }

    HRESULT Poll() override {
        if (const HRESULT ready = CheckAcquired(); FAILED(ready)) {
            return ready;
        }
        if (source_->IsKeyboard()) {
            return DI_NOEFFECT;
        }
        source_->Update();
        return DI_OK;
    }

  private:
    struct AxisRange {
        LONG min;
        LONG max;
    };

    // The device's name in the call journal.
    const char* JournalName() const { return source_->IsKeyboard() ? "Keyboard" : "Controller"; }

    DWORD DeviceType() const {
        if (source_->IsKeyboard()) {
            return DI8DEVTYPE_KEYBOARD;
        }
        return DI8DEVTYPE_GAMEPAD;
    }

    static DIDEVICEOBJECTINSTANCEA Object(const GUID& type, DWORD offset, DWORD typeBits) {
        DIDEVICEOBJECTINSTANCEA object{};
        object.dwSize = sizeof(object);
        object.guidType = type;
        object.dwOfs = offset;
        object.dwType = typeBits;
        return object;
    }

    // Keys the backends can report: those a scancode maps to.
    static bool KeyExists(DWORD key) { return IsMappedDik(static_cast<BYTE>(key)); }

    bool InForeground() const { return !foreground_ || GetForegroundWindow() == window_; }

    // Acquired and, for a foreground device, still in front. A device whose
    // window has gone to the background loses its acquisition.
    HRESULT CheckAcquired() {
        if (!acquired_) {
            return DIERR_NOTACQUIRED;
        }
        if (!InForeground()) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }

    HRESULT SetRange(const DIPROPHEADER& header) {
        if (header.dwSize != sizeof(DIPROPRANGE)) {
            return DIERR_INVALIDPARAM;
        }
        const auto& range = reinterpret_cast<const DIPROPRANGE&>(header);
        if (range.lMin >= range.lMax) {
            return DIERR_INVALIDPARAM;
        }
        if (source_->IsKeyboard()) {
            return DIERR_UNSUPPORTED;
        }
        const int axes = source_->AxisCount();
        switch (header.dwHow) {
            case DIPH_DEVICE:
                if (header.dwObj != 0) {
                    return DIERR_INVALIDPARAM;
                }
                for (int axis = 0; axis < axes; ++axis) {
                    ranges_[axis] = {range.lMin, range.lMax};
                }
                return DI_OK;
            case DIPH_BYID: {
                const DWORD instance = DIDFT_GETINSTANCE(header.dwObj);
                if ((header.dwObj & DIDFT_AXIS) == 0 || instance >= static_cast<DWORD>(axes)) {
                    return DIERR_OBJECTNOTFOUND;
                }
                ranges_[instance] = {range.lMin, range.lMax};
                return DI_OK;
            }
            case DIPH_BYOFFSET: {
                if (format_ == nullptr) {
                    return DIERR_INVALIDPARAM;
                }
                const DWORD offset = header.dwObj;
                if (offset % 4 != 0 || offset / 4 >= static_cast<DWORD>(axes)) {
                    return DIERR_OBJECTNOTFOUND;
                }
                ranges_[offset / 4] = {range.lMin, range.lMax};
                return DI_OK;
            }
            default: return DIERR_INVALIDPARAM;
        }
    }

    HRESULT SetAxisMode(const DIPROPHEADER& header) {
        if (header.dwSize != sizeof(DIPROPDWORD) || header.dwHow != DIPH_DEVICE ||
            header.dwObj != 0) {
            return DIERR_INVALIDPARAM;
        }
        const DWORD mode = reinterpret_cast<const DIPROPDWORD&>(header).dwData;
        if (mode != DIPROPAXISMODE_ABS && mode != DIPROPAXISMODE_REL) {
            return DIERR_INVALIDPARAM;
        }
        if (acquired_) {
            return DIERR_ACQUIRED;
        }
        if (source_->IsKeyboard()) {
            return DIERR_UNSUPPORTED;
        }
        relative_ = mode == DIPROPAXISMODE_REL;
        return DI_OK;
    }

    DIJOYSTATE ReadJoystick() {
        int raw[kMaxControllerAxes] = {};
        BYTE buttons[kMaxControllerButtons] = {};
        source_->ReadController(raw, buttons);

        DIJOYSTATE state{};
        LONG* slots[kMaxControllerAxes] = {&state.lX,           &state.lY,          &state.lZ,
                                           &state.lRx,          &state.lRy,         &state.lRz,
                                           &state.rglSlider[0], &state.rglSlider[1]};
        for (int axis = 0; axis < source_->AxisCount(); ++axis) {
            const LONG position = ScaleAxis(raw[axis], ranges_[axis].min, ranges_[axis].max);
            // Relative axes report the movement since the previous read.
            *slots[axis] = relative_ ? (haveLast_ ? position - last_[axis] : 0) : position;
            last_[axis] = position;
        }
        haveLast_ = true;
        // No hat switches: every point-of-view controller reads as centred.
        for (DWORD& pov : state.rgdwPOV) {
            pov = 0xFFFFFFFFu;
        }
        std::memcpy(state.rgbButtons, buttons, sizeof(buttons));
        return state;
    }

    std::unique_ptr<InputSource> source_;
    const DIDATAFORMAT* format_ = nullptr;
    HWND window_ = nullptr;
    bool foreground_ = false;
    bool acquired_ = false;
    bool relative_ = false;
    bool haveLast_ = false;
    AxisRange ranges_[kMaxControllerAxes];
    LONG last_[kMaxControllerAxes] = {};
};

}  // namespace

IDirectInputDevice8A* MakeInputDevice(std::unique_ptr<InputSource> source) {
    return new (std::nothrow) InputDevice(std::move(source));
}

LONG ScaleAxis(int raw, LONG min, LONG max) {
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    const std::int64_t steps = static_cast<std::int64_t>(kRawAxisMax) - kRawAxisMin;
    const std::int64_t from = static_cast<std::int64_t>(raw) - kRawAxisMin;
    // Round to nearest: floor((2 * from * span + steps) / (2 * steps)); all
    // terms are non-negative.
    return static_cast<LONG>(min + (2 * from * span + steps) / (2 * steps));
}
