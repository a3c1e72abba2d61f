// The headless backend: keys and controllers scripted by tests through the
// hooks of headless_input.h.
#include "runtime/dinput/headless_input.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "runtime/dinput/input_source.h"
#include "runtime/dinput/scancode_table.h"

namespace {

struct HeadlessController {
    HeadlessControllerOptions options;
    GUID instance;
    int axes[kMaxControllerAxes] = {};
    BYTE buttons[kMaxControllerButtons] = {};
};

struct HeadlessInput {
    BYTE keys[kKeyCount] = {};
    std::vector<std::shared_ptr<HeadlessController>> controllers;
    DWORD nextSerial = 1;
    HeadlessInputFailures failures;
};

HeadlessInput& State() {
    static HeadlessInput state;
    return state;
}

// Instance identifiers of headless controllers: a fixed stem and a serial
// number, unique for the life of the process.
GUID InstanceFor(DWORD serial) {
    GUID guid = {0x7E5D1C00, 0x4A11, 0x4E5F, {0x9B, 0x21, 0, 0, 0, 0, 0, 0}};
    std::memcpy(&guid.Data4[4], &serial, sizeof(serial));
    return guid;
}

// The product identifier of every headless controller.
constexpr GUID kHeadlessProduct = {
    0x7E5D1C01, 0x4A11, 0x4E5F, {0x9B, 0x21, 0x48, 0x45, 0x41, 0x44, 0x4C, 0x53}};

HeadlessController* Controller(int index) {
    auto& controllers = State().controllers;
    if (index < 0 || static_cast<std::size_t>(index) >= controllers.size()) {
        return nullptr;
    }
    return controllers[static_cast<std::size_t>(index)].get();
}

class HeadlessKeyboard final : public InputSource {
  public:
    bool IsKeyboard() const override { return true; }
    int ButtonCount() const override { return MappedKeyCount(); }
    std::string Name() const override { return "Keyboard"; }
    void ReadKeys(BYTE (&keys)[kKeyCount]) const override {
        const BYTE* scripted = State().keys;
        for (int key = 0; key < kKeyCount; ++key) {
            keys[key] = scripted[key] != 0 ? 0x80 : 0;
        }
    }
};

class HeadlessControllerSource final : public InputSource {
  public:
    explicit HeadlessControllerSource(std::shared_ptr<HeadlessController> controller)
        : controller_(std::move(controller)) {}

    bool IsKeyboard() const override { return false; }
    int AxisCount() const override { return controller_->options.axisCount; }
    int ButtonCount() const override { return controller_->options.buttonCount; }
    std::string Name() const override { return controller_->options.name; }
    HRESULT QueryCapabilities() const override { return controller_->options.capabilitiesResult; }
    void ReadController(int (&axes)[kMaxControllerAxes],
                        BYTE (&buttons)[kMaxControllerButtons]) const override {
        std::memcpy(axes, controller_->axes, sizeof(axes));
        std::memcpy(buttons, controller_->buttons, sizeof(buttons));
    }

  private:
    std::shared_ptr<HeadlessController> controller_;
};

class HeadlessBackend final : public InputBackend {
  public:
    std::vector<ControllerListing> Controllers() override {
        std::vector<ControllerListing> listings;
        for (const auto& controller : State().controllers) {
            listings.push_back({controller->instance, kHeadlessProduct, controller->options.name,
                                controller->options.gamepad});
        }
        return listings;
    }

    HRESULT OpenKeyboard(std::unique_ptr<InputSource>* source) override {
        if (FAILED(State().failures.keyboardCreate)) {
            return State().failures.keyboardCreate;
        }
        source->reset(new (std::nothrow) HeadlessKeyboard);
        return *source ? DI_OK : DIERR_OUTOFMEMORY;
    }

    HRESULT OpenController(REFGUID instance, std::unique_ptr<InputSource>* source) override {
        for (const auto& controller : State().controllers) {
            if (controller->instance == instance) {
                if (FAILED(controller->options.createResult)) {
                    return controller->options.createResult;
                }
                source->reset(new (std::nothrow) HeadlessControllerSource(controller));
                return *source ? DI_OK : DIERR_OUTOFMEMORY;
            }
        }
        return DIERR_DEVICENOTREG;
    }
};

}  // namespace

std::unique_ptr<InputBackend> MakeHeadlessInputBackend() {
    return std::unique_ptr<InputBackend>(new (std::nothrow) HeadlessBackend);
}

void HeadlessSetKey(BYTE dikCode, bool down) {
    State().keys[dikCode] = down ? 0x80 : 0;
}

void HeadlessSetKeys(const BYTE (&keys)[256]) {
    std::memcpy(State().keys, keys, sizeof(keys));
}

int HeadlessAttachController(const HeadlessControllerOptions& options) {
    auto controller = std::make_shared<HeadlessController>();
    controller->options = options;
    controller->options.axisCount = std::clamp(options.axisCount, 0, kMaxControllerAxes);
    controller->options.buttonCount = std::clamp(options.buttonCount, 0, kMaxControllerButtons);
    controller->instance = InstanceFor(State().nextSerial++);
    State().controllers.push_back(std::move(controller));
    return static_cast<int>(State().controllers.size()) - 1;
}

void HeadlessSetControllerAxis(int controller, int axis, int raw) {
    HeadlessController* target = Controller(controller);
    if (target != nullptr && axis >= 0 && axis < kMaxControllerAxes) {
        target->axes[axis] = std::clamp(raw, kRawAxisMin, kRawAxisMax);
    }
}

void HeadlessSetControllerButton(int controller, int button, bool pressed) {
    HeadlessController* target = Controller(controller);
    if (target != nullptr && button >= 0 && button < kMaxControllerButtons) {
        target->buttons[button] = pressed ? 0x80 : 0;
    }
}

void HeadlessSetCapabilitiesResult(int controller, HRESULT code) {
    if (HeadlessController* target = Controller(controller)) {
        target->options.capabilitiesResult = code;
    }
}

void ResetHeadlessInput() {
    HeadlessInput& state = State();
    std::memset(state.keys, 0, sizeof(state.keys));
    state.controllers.clear();
    state.failures = {};
}

void SetHeadlessInputFailures(const HeadlessInputFailures& failures) {
    State().failures = failures;
}

HRESULT HeadlessDirectInputCreateResult() {
    return State().failures.directInputCreate;
}
