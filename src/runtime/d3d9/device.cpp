// The device object: creation, reference counting, device information,
// scenes, loss and reset. Its resource calls are in device_resources.cpp, its
// state calls in device_state_calls.cpp, drawing in draw.cpp and presentation
// in present.cpp.
#include "runtime/d3d9/device.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "runtime/call_journal.h"
#include "runtime/d3d9/direct3d.h"
#include "runtime/d3d9/frame_file.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/runtime_services.h"
#include "vellorn/win32_window.h"

namespace {

bool SameIid(REFIID a, REFIID b) {
    return std::memcmp(&a, &b, sizeof(IID)) == 0;
}

// Live devices, so that test hooks can tell a device of this runtime.
struct LiveDevices {
    std::mutex mutex;
    std::vector<Device*> devices;
};

LiveDevices& TheLiveDevices() {
    static LiveDevices live;
    return live;
}

bool RegisterLiveDevice(Device* device) noexcept {
    LiveDevices& live = TheLiveDevices();
    std::lock_guard<std::mutex> lock(live.mutex);
    try {
        live.devices.push_back(device);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

Device::Device(IDirect3D9* direct3D, const DeviceProfile& profile, D3DDEVTYPE deviceType,
               HWND focusWindow, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters)
    : direct3D_(direct3D), profile_(profile), parameters_(parameters) {
    creation_ = {D3DADAPTER_DEFAULT, deviceType, focusWindow, behaviorFlags};
    profile_.caps.DeviceType = deviceType;
    profile_.caps.AdapterOrdinal = D3DADAPTER_DEFAULT;
    SetDefaultState(state_, parameters.BackBufferWidth, parameters.BackBufferHeight,
                    parameters.EnableAutoDepthStencil != FALSE);
}

Device::~Device() {
    LiveDevices& live = TheLiveDevices();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.devices.erase(std::remove(live.devices.begin(), live.devices.end(), this),
                       live.devices.end());
}

HRESULT Device::Create(IDirect3D9* direct3D, const DeviceProfile& profile, D3DDEVTYPE deviceType,
                       HWND focusWindow, DWORD behaviorFlags,
                       const D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device) {
    Device* created = new (std::nothrow)
        Device(direct3D, profile, deviceType, focusWindow, behaviorFlags, parameters);
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    if (!RegisterLiveDevice(created)) {
        created->Release();
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->CreateBackBuffer();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *device = created;
    return S_OK;
}

Device* Device::FromInterface(IDirect3DDevice9* device) {
    LiveDevices& registry = TheLiveDevices();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (Device* live : registry.devices) {
        if (static_cast<IDirect3DDevice9*>(live) == device) {
            return live;
        }
    }
    return nullptr;
}

HRESULT Device::CreateBackBuffer() {
    backBuffer_.Reset();
    // The device binds its back buffer rather than holding a reference, so
    // that the back buffer does not keep its own device alive.
    ComPtr<IDirect3DSurface9> created;
    const HRESULT hr =
        CreateSurfaceResource(*this, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                              parameters_.BackBufferFormat, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET,
                              true, created.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) {
        backBuffer_ = BindingTo(created.Get());
    }
    return hr;
}

bool Device::InjectedFailure(const char* operation, HRESULT* failure) {
    return TakeInjectedFault(operation, failure);
}

void Device::ResourceCreated(D3DPOOL pool) {
    if (pool == D3DPOOL_DEFAULT) {
        ++defaultPoolResources_;
    }
}

void Device::ResourceDestroyed(D3DPOOL pool) {
    if (pool == D3DPOOL_DEFAULT) {
        --defaultPoolResources_;
    }
}

void Device::BufferLocked(IDirect3DResource9* buffer, UINT offset, UINT size, DWORD flags) {
    RecordBufferLock({buffer, offset, size, flags});
}

bool Device::DeviceOperation(const char* operation, HRESULT* failure) {
    return !applying_ && InjectedFailure(operation, failure);
}

// ---- IUnknown ----

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (SameIid(riid, IID_IUnknown) || SameIid(riid, IID_IDirect3DDevice9)) {
        AddRef();
        *object = static_cast<IDirect3DDevice9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Device::AddRef() {
    return ++references_;
}

ULONG Device::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        // Every object handed out holds a reference, so none is held any
        // more: what is left lives only in the device's own bindings, and
        // goes with them.
        if (!presentedFrame_.empty() && !PresentedFrameFile().empty()) {
            WriteFrameFile(PresentedFrameFile(), presentedFrame_, presentedWidth_,
                           presentedHeight_);
        }
        ReleaseSdlPresenter();
        recording_.reset();
        SetDefaultState(state_, 0, 0, false);
        backBuffer_.Reset();
        delete this;
    }
    JournalCall("Device", "Release", static_cast<long>(left));
    return left;
}

// ---- device information ----

HRESULT Device::GetDirect3D(IDirect3D9** direct3D) {
    DEVICE_OPERATION("GetDirect3D");
    if (direct3D == nullptr) {
        ReportInvalidCall("GetDirect3D: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(direct3D_.Get(), direct3D);
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    DEVICE_OPERATION("GetDeviceCaps");
    if (caps == nullptr) {
        ReportInvalidCall("GetDeviceCaps: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    *caps = profile_.caps;
    return S_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    DEVICE_OPERATION("GetDisplayMode");
    if (swapChain != 0 || mode == nullptr) {
        ReportInvalidCall("GetDisplayMode: swap chain %u does not exist or null output", swapChain);
        return D3DERR_INVALIDCALL;
    }
    return direct3D_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    DEVICE_OPERATION("GetCreationParameters");
    if (parameters == nullptr) {
        ReportInvalidCall("GetCreationParameters: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    *parameters = creation_;
    return S_OK;
}

// ---- loss and reset ----

bool Device::CheckLost() {
    if (externallyLost_ || IsIconic(creation_.hFocusWindow)) {
        lost_ = true;
    }
    return lost_;
}

HRESULT Device::TestCooperativeLevel() {
    DEVICE_OPERATION("TestCooperativeLevel");
    CheckLost();
    if (externallyLost_ || IsIconic(creation_.hFocusWindow)) {
        return D3DERR_DEVICELOST;
    }
    return lost_ ? D3DERR_DEVICENOTRESET : S_OK;
}

void Device::SetExternallyLost(bool lost) {
    externallyLost_ = lost;
    if (lost) {
        lost_ = true;
    }
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* presentParameters) {
    DEVICE_OPERATION("Reset");
    if (presentParameters == nullptr) {
        ReportInvalidCall("Reset: null presentation parameters");
        return D3DERR_INVALIDCALL;
    }
    if (externallyLost_ || IsIconic(creation_.hFocusWindow)) {
        lost_ = true;
        return D3DERR_DEVICELOST;
    }
    if (inScene_) {
        ReportInvalidCall("Reset: called between BeginScene and EndScene");
        return D3DERR_INVALIDCALL;
    }
    // What the device itself holds goes first: bound streams, indices,
    // textures and declaration, and a state block being recorded. Only what
    // the application still holds can keep the device from resetting.
    recording_.reset();
    SetDefaultState(state_, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                    parameters_.EnableAutoDepthStencil != FALSE);
    const int heldResources = ApplicationHeldDefaultPoolResources();
    if (heldResources > 0 || liveStateBlocks_ > 0) {
        ReportInvalidCall(
            "Reset: %d default-pool resource(s) and %d state block(s) are still alive; release "
            "them before Reset",
            heldResources, liveStateBlocks_);
        lost_ = true;
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS completed = *presentParameters;
    HRESULT hr = CompletePresentParameters(profile_, creation_.hFocusWindow, &completed);
    if (FAILED(hr)) {
        lost_ = true;
        return hr;
    }
    const D3DPRESENT_PARAMETERS previous = parameters_;
    parameters_ = completed;
    hr = CreateBackBuffer();
    if (FAILED(hr)) {
        parameters_ = previous;
        CreateBackBuffer();
        lost_ = true;
        return hr;
    }
    *presentParameters = completed;
    SetDefaultState(state_, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                    parameters_.EnableAutoDepthStencil != FALSE);
    lost_ = false;
    return S_OK;
}

int Device::ApplicationHeldDefaultPoolResources() const {
    // The back buffer is the device's own default-pool surface; a reference
    // the application holds on it counts like any other resource.
    int held = defaultPoolResources_;
    if (backBuffer_ && backBuffer_.Child()->References() == 0) {
        --held;
    }
    return held;
}

// ---- surfaces ----

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** surface) {
    DEVICE_OPERATION("GetBackBuffer");
    if (surface == nullptr || swapChain != 0 || backBuffer != 0 ||
        type != D3DBACKBUFFER_TYPE_MONO) {
        ReportInvalidCall("GetBackBuffer: swap chain %u back buffer %u does not exist", swapChain,
                          backBuffer);
        return D3DERR_INVALIDCALL;
    }
    return HandOut(backBuffer_.Get(), surface);
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    DEVICE_OPERATION("GetRenderTarget");
    if (surface == nullptr || index != 0) {
        ReportInvalidCall("GetRenderTarget: render target %u is not set", index);
        return D3DERR_INVALIDCALL;
    }
    return HandOut(backBuffer_.Get(), surface);
}
// ---- scenes ----

HRESULT Device::BeginScene() {
    DEVICE_OPERATION("BeginScene");
    if (inScene_) {
        ReportInvalidCall("BeginScene: already inside a scene");
        return D3DERR_INVALIDCALL;
    }
    inScene_ = true;
    return S_OK;
}

HRESULT Device::EndScene() {
    DEVICE_OPERATION("EndScene");
    if (!inScene_) {
        ReportInvalidCall("EndScene: no BeginScene before");
        return D3DERR_INVALIDCALL;
    }
    inScene_ = false;
    return S_OK;
}
