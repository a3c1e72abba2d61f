// DirectInput8Create and the DirectInput object: device enumeration and
// creation over the backend chosen at start.
#include <atomic>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "runtime/backend.h"
#include "runtime/call_journal.h"
#include "runtime/dinput/headless_input.h"
#include "runtime/dinput/input_device.h"
#include "runtime/dinput/input_source.h"
#include "vellorn/com_object.h"

namespace {

std::atomic<int> liveObjects{0};

// Generic desktop usages of the device records.
constexpr WORD kUsagePageGeneric = 0x01;
constexpr WORD kUsageJoystick = 0x04;
constexpr WORD kUsageGamepad = 0x05;
constexpr WORD kUsageKeyboard = 0x06;

DIDEVICEINSTANCEA KeyboardInstance() {
    DIDEVICEINSTANCEA device{};
    device.dwSize = sizeof(device);
    device.guidInstance = GUID_SysKeyboard;
    device.guidProduct = GUID_SysKeyboard;
    device.dwDevType = DI8DEVTYPE_KEYBOARD;
    std::snprintf(device.tszInstanceName, sizeof(device.tszInstanceName), "Keyboard");
    std::snprintf(device.tszProductName, sizeof(device.tszProductName), "Keyboard");
    device.wUsagePage = kUsagePageGeneric;
    device.wUsage = kUsageKeyboard;
    return device;
}

DIDEVICEINSTANCEA ControllerInstance(const ControllerListing& listing) {
    DIDEVICEINSTANCEA device{};
    device.dwSize = sizeof(device);
    device.guidInstance = listing.instance;
    device.guidProduct = listing.product;
    device.dwDevType = listing.gamepad ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK;
    std::snprintf(device.tszInstanceName, sizeof(device.tszInstanceName), "%s",
                  listing.name.c_str());
    std::snprintf(device.tszProductName, sizeof(device.tszProductName), "%s", listing.name.c_str());
    device.wUsagePage = kUsagePageGeneric;
    device.wUsage = listing.gamepad ? kUsageGamepad : kUsageJoystick;
    return device;
}

class DirectInput final : public ComObject<IDirectInput8A, IID_IDirectInput8A> {
  public:
    explicit DirectInput(std::unique_ptr<InputBackend> backend) : backend_(std::move(backend)) {
        CountInputObject(1);
    }
    ~DirectInput() override { CountInputObject(-1); }

    ULONG Release() override {
        const ULONG left = ComObject::Release();
        JournalCall("DirectInput", "Release", static_cast<long>(left));
        return left;
    }

    HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8A* device,
                         IUnknown* outer) override {
        if (device == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        *device = nullptr;
        if (outer != nullptr) {
            return DIERR_NOAGGREGATION;
        }
        try {
            std::unique_ptr<InputSource> source;
            const HRESULT opened = instance == GUID_SysKeyboard
                                       ? backend_->OpenKeyboard(&source)
                                       : backend_->OpenController(instance, &source);
            if (FAILED(opened)) {
                return opened;
            }
            IDirectInputDevice8A* made = MakeInputDevice(std::move(source));
            if (made == nullptr) {
                return DIERR_OUTOFMEMORY;
            }
            *device = made;
            return DI_OK;
        } catch (const std::bad_alloc&) {
            return DIERR_OUTOFMEMORY;
        }
    }

    HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                        DWORD flags) override {
        if (callback == nullptr || deviceType > DI8DEVCLASS_GAMECTRL) {
            return DIERR_INVALIDPARAM;
        }
        // No device here gives force feedback.
        if ((flags & DIEDFL_FORCEFEEDBACK) != 0) {
            return DI_OK;
        }
        // The list is taken before the first callback, so a callback that
        // creates devices cannot disturb the walk.
        std::vector<DIDEVICEINSTANCEA> devices;
        try {
            if (deviceType == DI8DEVCLASS_ALL || deviceType == DI8DEVCLASS_KEYBOARD) {
                devices.push_back(KeyboardInstance());
            }
            if (deviceType == DI8DEVCLASS_ALL || deviceType == DI8DEVCLASS_GAMECTRL) {
                for (const ControllerListing& listing : backend_->Controllers()) {
                    devices.push_back(ControllerInstance(listing));
                }
            }
        } catch (const std::bad_alloc&) {
            return DIERR_OUTOFMEMORY;
        }
        for (const DIDEVICEINSTANCEA& device : devices) {
            if (callback(&device, context) == DIENUM_STOP) {
                break;
            }
        }
        return DI_OK;
    }

  private:
    std::unique_ptr<InputBackend> backend_;
};

}  // namespace

void CountInputObject(int delta) {
    liveObjects += delta;
}

int LiveInputObjectCount() {
    return liveObjects.load();
}

HRESULT DirectInput8Create(HINSTANCE /*instance*/, DWORD version, REFIID iid, LPVOID* object,
                           IUnknown* outer) {
    if (object == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *object = nullptr;
    if (version < DIRECTINPUT_VERSION) {
        return DIERR_OLDDIRECTINPUTVERSION;
    }
    if (version > DIRECTINPUT_VERSION) {
        return DIERR_BETADIRECTINPUTVERSION;
    }
    if (outer != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    if (!(iid == IID_IDirectInput8A)) {
        return DIERR_NOINTERFACE;
    }
    if (ActiveBackend() == RuntimeBackend::Headless && FAILED(HeadlessDirectInputCreateResult())) {
        return HeadlessDirectInputCreateResult();
    }
    try {
        std::unique_ptr<InputBackend> backend = ActiveBackend() == RuntimeBackend::Headless
                                                    ? MakeHeadlessInputBackend()
                                                    : MakeSdlInputBackend();
        if (backend == nullptr) {
            return DIERR_OUTOFMEMORY;
        }
        auto* made = new (std::nothrow) DirectInput(std::move(backend));
        if (made == nullptr) {
            return DIERR_OUTOFMEMORY;
        }
        *object = static_cast<IDirectInput8A*>(made);
        return DI_OK;
    } catch (const std::bad_alloc&) {
        return DIERR_OUTOFMEMORY;
    }
}
