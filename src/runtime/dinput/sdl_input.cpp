// The SDL2 backend: the keyboard is SDL's key state seen through the scancode
// table; controllers are SDL's game controllers, or plain joysticks when SDL
// has no mapping for them.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "runtime/dinput/input_source.h"
#include "runtime/dinput/scancode_table.h"

namespace {

// Holds SDL's game-controller subsystem open while a backend or an opened
// controller needs it.
class JoystickSubsystem {
  public:
    JoystickSubsystem() : ready_(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {}
    ~JoystickSubsystem() {
        if (ready_) {
            SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        }
    }
    JoystickSubsystem(const JoystickSubsystem&) = delete;
    JoystickSubsystem& operator=(const JoystickSubsystem&) = delete;

    bool ready() const { return ready_; }

  private:
    bool ready_;
};

// Controller instance identifiers: a fixed stem and SDL's joystick instance
// number, which SDL never reuses while the program runs.
GUID InstanceFor(SDL_JoystickID id) {
    GUID guid = {0x7E5D1C10, 0x4A11, 0x4E5F, {0x9B, 0x22, 0, 0, 0, 0, 0, 0}};
    std::memcpy(&guid.Data4[4], &id, sizeof(id));
    return guid;
}

GUID ProductFor(int index) {
    const SDL_JoystickGUID sdlGuid = SDL_JoystickGetDeviceGUID(index);
    GUID guid{};
    static_assert(sizeof(sdlGuid.data) == sizeof(GUID));
    std::memcpy(&guid, sdlGuid.data, sizeof(guid));
    return guid;
}

class SdlKeyboard final : public InputSource {
  public:
    bool IsKeyboard() const override { return true; }
    int ButtonCount() const override { return MappedKeyCount(); }
    std::string Name() const override { return "Keyboard"; }
    void ReadKeys(BYTE (&keys)[kKeyCount]) const override {
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        std::memset(keys, 0, sizeof(keys));
        for (int scancode = 0; scancode < count; ++scancode) {
            const BYTE dik = DikFromSdlScancode(scancode);
            if (dik != 0 && state[scancode] != 0) {
                keys[dik] = 0x80;
            }
        }
    }
};

// SDL's game-controller axes in the slot order X, Y, Z, Rx, Ry, Rz.
constexpr SDL_GameControllerAxis kControllerAxes[] = {
    SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,  SDL_CONTROLLER_AXIS_TRIGGERLEFT,
    SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
};

class SdlGameController final : public InputSource {
  public:
    SdlGameController(std::shared_ptr<JoystickSubsystem> subsystem, SDL_GameController* controller)
        : subsystem_(std::move(subsystem)), controller_(controller) {}
    ~SdlGameController() { SDL_GameControllerClose(controller_); }

    bool IsKeyboard() const override { return false; }
    int AxisCount() const override { return static_cast<int>(std::size(kControllerAxes)); }
    int ButtonCount() const override {
        return std::min<int>(SDL_CONTROLLER_BUTTON_MAX, kMaxControllerButtons);
    }
    std::string Name() const override {
        const char* name = SDL_GameControllerName(controller_);
        return name != nullptr ? name : "Game Controller";
    }
    HRESULT QueryCapabilities() const override {
        return SDL_GameControllerGetAttached(controller_) ? DI_OK : DIERR_INPUTLOST;
    }
    void Update() override { SDL_GameControllerUpdate(); }
    void ReadController(int (&axes)[kMaxControllerAxes],
                        BYTE (&buttons)[kMaxControllerButtons]) const override {
        for (std::size_t slot = 0; slot < std::size(kControllerAxes); ++slot) {
            axes[slot] = SDL_GameControllerGetAxis(controller_, kControllerAxes[slot]);
        }
        for (int button = 0; button < ButtonCount(); ++button) {
            buttons[button] = SDL_GameControllerGetButton(
                                  controller_, static_cast<SDL_GameControllerButton>(button))
                                  ? 0x80
                                  : 0;
        }
    }

  private:
    std::shared_ptr<JoystickSubsystem> subsystem_;
    SDL_GameController* controller_;
};

class SdlJoystick final : public InputSource {
  public:
    SdlJoystick(std::shared_ptr<JoystickSubsystem> subsystem, SDL_Joystick* joystick)
        : subsystem_(std::move(subsystem)), joystick_(joystick) {}
    ~SdlJoystick() { SDL_JoystickClose(joystick_); }

    bool IsKeyboard() const override { return false; }
    int AxisCount() const override {
        return std::clamp(SDL_JoystickNumAxes(joystick_), 0, kMaxControllerAxes);
    }
    int ButtonCount() const override {
        return std::clamp(SDL_JoystickNumButtons(joystick_), 0, kMaxControllerButtons);
    }
    std::string Name() const override {
        const char* name = SDL_JoystickName(joystick_);
        return name != nullptr ? name : "Joystick";
    }
    HRESULT QueryCapabilities() const override {
        return SDL_JoystickGetAttached(joystick_) ? DI_OK : DIERR_INPUTLOST;
    }
    void Update() override { SDL_JoystickUpdate(); }
    void ReadController(int (&axes)[kMaxControllerAxes],
                        BYTE (&buttons)[kMaxControllerButtons]) const override {
        for (int axis = 0; axis < AxisCount(); ++axis) {
            axes[axis] = SDL_JoystickGetAxis(joystick_, axis);
        }
        for (int button = 0; button < ButtonCount(); ++button) {
            buttons[button] = SDL_JoystickGetButton(joystick_, button) ? 0x80 : 0;
        }
    }

  private:
    std::shared_ptr<JoystickSubsystem> subsystem_;
    SDL_Joystick* joystick_;
};

class SdlBackend final : public InputBackend {
  public:
    explicit SdlBackend(std::shared_ptr<JoystickSubsystem> subsystem)
        : subsystem_(std::move(subsystem)) {}

    std::vector<ControllerListing> Controllers() override {
        std::vector<ControllerListing> listings;
        if (!subsystem_->ready()) {
            return listings;
        }
        const int count = SDL_NumJoysticks();
        for (int index = 0; index < count; ++index) {
            const bool gamepad = SDL_IsGameController(index) == SDL_TRUE;
            const char* name =
                gamepad ? SDL_GameControllerNameForIndex(index) : SDL_JoystickNameForIndex(index);
            listings.push_back({InstanceFor(SDL_JoystickGetDeviceInstanceID(index)),
                                ProductFor(index), name != nullptr ? name : "Controller", gamepad});
        }
        return listings;
    }

    HRESULT OpenKeyboard(std::unique_ptr<InputSource>* source) override {
        source->reset(new (std::nothrow) SdlKeyboard);
        return *source ? DI_OK : DIERR_OUTOFMEMORY;
    }

    HRESULT OpenController(REFGUID instance, std::unique_ptr<InputSource>* source) override {
        if (!subsystem_->ready()) {
            return DIERR_DEVICENOTREG;
        }
        const int count = SDL_NumJoysticks();
        for (int index = 0; index < count; ++index) {
            if (!(InstanceFor(SDL_JoystickGetDeviceInstanceID(index)) == instance)) {
                continue;
            }
            if (SDL_IsGameController(index)) {
                SDL_GameController* controller = SDL_GameControllerOpen(index);
                if (controller == nullptr) {
                    return E_FAIL;
                }
                source->reset(new (std::nothrow) SdlGameController(subsystem_, controller));
                if (!*source) {
                    SDL_GameControllerClose(controller);
                    return DIERR_OUTOFMEMORY;
                }
                return DI_OK;
            }
            SDL_Joystick* joystick = SDL_JoystickOpen(index);
            if (joystick == nullptr) {
                return E_FAIL;
            }
            source->reset(new (std::nothrow) SdlJoystick(subsystem_, joystick));
            if (!*source) {
                SDL_JoystickClose(joystick);
                return DIERR_OUTOFMEMORY;
            }
            return DI_OK;
        }
        return DIERR_DEVICENOTREG;
    }

  private:
    std::shared_ptr<JoystickSubsystem> subsystem_;
};

}  // namespace

std::unique_ptr<InputBackend> MakeSdlInputBackend() {
    return std::unique_ptr<InputBackend>(new (std::nothrow)
                                             SdlBackend(std::make_shared<JoystickSubsystem>()));
}
