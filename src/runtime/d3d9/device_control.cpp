// The process-wide test controls of the device and the runtime services
// built on them: the installed profile, fault injection, the call log and
// the debug mute.
#include "runtime/d3d9/device_control.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "runtime/d3d9/device.h"
#include "runtime/d3d9/frame_file.h"
#include "runtime/d3d9/runtime_services.h"
#include "runtime/win32/module_table.h"
#include "vellorn/win32_system.h"

namespace {

struct PendingFault {
    std::string operation;
    int remaining;  // calls of operation until the failing one, counting it
    HRESULT code;
};

struct ControlState {
    std::optional<DeviceProfile> profile;
    std::vector<PendingFault> faults;
    bool logging = false;
    std::vector<std::string> log;
    std::vector<DrawRecord> draws;
    std::vector<BufferLockRecord> locks;
    bool muted = false;
    bool moduleRegistered = false;
};

ControlState& Control() {
    static ControlState state;
    return state;
}

// Adds a record to a log; without memory for it the record is dropped, so a
// device call never fails or throws for the sake of its log.
template <class Record, class Value>
void Append(std::vector<Record>& log, Value&& value) noexcept {
    try {
        log.emplace_back(std::forward<Value>(value));
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

void InstallDeviceProfile(const DeviceProfile& profile) {
    Control().profile = profile;
}

DeviceProfile ActiveDeviceProfile() {
    return Control().profile ? *Control().profile : DefaultDeviceProfile();
}

void InjectFault(const char* operation, int nth, HRESULT code) {
    if (operation == nullptr || nth < 1) {
        return;
    }
    Control().faults.push_back({operation, nth, code});
}

void EnableCallLog(bool enabled) {
    Control().logging = enabled;
}

const std::vector<std::string>& CallLog() {
    return Control().log;
}

const std::vector<DrawRecord>& DrawLog() {
    return Control().draws;
}

const std::vector<BufferLockRecord>& BufferLockLog() {
    return Control().locks;
}

void ClearCallLog() {
    Control().log.clear();
    Control().draws.clear();
    Control().locks.clear();
}

void RecordDraw(const DrawRecord& record) {
    if (Control().logging) {
        Append(Control().draws, record);
    }
}

void RecordBufferLock(const BufferLockRecord& record) {
    if (Control().logging) {
        Append(Control().locks, record);
    }
}

void SetHeadlessDeviceLost(IDirect3DDevice9* device, bool lost) {
    if (Device* own = Device::FromInterface(device)) {
        own->SetExternallyLost(lost);
    }
}

bool ReadPresentedFrame(IDirect3DDevice9* device, std::vector<std::uint32_t>* pixels, UINT* width,
                        UINT* height) {
    Device* own = Device::FromInterface(device);
    return own != nullptr && own->ReadPresentedFrame(pixels, width, height);
}

bool RuntimeDebugMuted() {
    return Control().muted;
}

void ResetDeviceControl() {
    ControlState& state = Control();
    state.profile.reset();
    state.faults.clear();
    state.logging = false;
    ClearCallLog();
    state.muted = false;
    ForgetPresentedFrameFile();
}

bool TakeInjectedFault(const char* operation, HRESULT* failure) {
    ControlState& state = Control();
    if (state.logging) {
        Append(state.log, operation);
    }
    // Every pending fault of the operation counts this call.
    bool failed = false;
    for (auto it = state.faults.begin(); it != state.faults.end();) {
        if (it->operation == operation && --it->remaining == 0) {
            if (!failed) {
                *failure = it->code;
                failed = true;
            }
            it = state.faults.erase(it);
        } else {
            ++it;
        }
    }
    return failed;
}

void ReportInvalidCall(const char* format, ...) {
    if (Control().muted) {
        return;
    }
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    char line[600];
    std::snprintf(line, sizeof line, "Direct3D9: (ERROR) :%s\n", message);
    OutputDebugStringA(line);
}

void DebugSetMute(BOOL mute) {
    Control().muted = mute != FALSE;
}

void RegisterRuntimeModule() {
    ControlState& state = Control();
    // The module table may have been reset since (tests do); register again
    // whenever the module is missing.
    if (state.moduleRegistered && ModuleReferenceCount("d3d9.dll") > 0) {
        return;
    }
    RegisterModule("d3d9.dll", {{"DebugSetMute", ToFarProc(&DebugSetMute)}});
    state.moduleRegistered = true;
}
