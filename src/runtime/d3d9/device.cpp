// The device object: creation, reference counting, state, resource creation,
// scenes, loss and reset. Drawing and presentation are in draw.cpp and
// present.cpp.
#include "runtime/d3d9/device.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/d3d9/direct3d.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/runtime_services.h"
#include "vellorn/win32_window.h"

namespace {

bool SameIid(REFIID a, REFIID b) {
    return std::memcmp(&a, &b, sizeof(IID)) == 0;
}

template <class T>
HRESULT HandOut(T* object, T** out) {
    if (object != nullptr) {
        object->AddRef();
    }
    *out = object;
    return S_OK;
}

// Live devices, so that test hooks can tell a device of this runtime.
std::vector<Device*>& LiveDevices() {
    static std::vector<Device*> devices;
    return devices;
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
    LiveDevices().push_back(this);
}

Device::~Device() {
    auto& devices = LiveDevices();
    devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
}

HRESULT Device::Create(IDirect3D9* direct3D, const DeviceProfile& profile, D3DDEVTYPE deviceType,
                       HWND focusWindow, DWORD behaviorFlags,
                       const D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device) {
    Device* created = new (std::nothrow)
        Device(direct3D, profile, deviceType, focusWindow, behaviorFlags, parameters);
    if (created == nullptr) {
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
    for (Device* live : LiveDevices()) {
        if (static_cast<IDirect3DDevice9*>(live) == device) {
            return live;
        }
    }
    return nullptr;
}

HRESULT Device::CreateBackBuffer() {
    backBuffer_.Reset();
    return CreateSurfaceResource(*this, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                                 parameters_.BackBufferFormat, D3DPOOL_DEFAULT,
                                 D3DUSAGE_RENDERTARGET, true, backBuffer_.ReleaseAndGetAddressOf());
}

bool Device::InjectedFailure(const char* operation, HRESULT* failure) {
    return TakeInjectedFault(operation, failure);
}

void Device::ResourceCreated(D3DPOOL pool) {
    ++liveResources_;
    if (pool == D3DPOOL_DEFAULT) {
        ++defaultPoolResources_;
    }
}

void Device::ResourceDestroyed(D3DPOOL pool) {
    --liveResources_;
    if (pool == D3DPOOL_DEFAULT) {
        --defaultPoolResources_;
    }
    // A released device waits for the last of its resources.
    if (released_ && !tearingDown_ && liveResources_ == 0) {
        delete this;
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
        // Let go of everything the device holds; resources the application
        // still holds keep the device object alive (they reach it), and the
        // last of them to go deletes it.
        tearingDown_ = true;
        ReleaseSdlPresenter();
        recording_.reset();
        SetDefaultState(state_, 0, 0, false);
        backBuffer_.Reset();
        tearingDown_ = false;
        released_ = true;
        if (liveResources_ == 0) {
            delete this;
        }
    }
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
    // The back buffer is the device's own default-pool surface; any other
    // one alive, a reference held on the back buffer or a live state block
    // keeps the device from resetting.
    int ownSurfaces = 0;
    bool backBufferHeld = false;
    if (backBuffer_) {
        ownSurfaces = 1;
        backBuffer_->AddRef();
        backBufferHeld = backBuffer_->Release() > 1;
    }
    if (defaultPoolResources_ > ownSurfaces || backBufferHeld || liveStateBlocks_ > 0) {
        ReportInvalidCall(
            "Reset: %d default-pool resource(s) and %d state block(s) are still alive; release "
            "them before Reset",
            defaultPoolResources_ - ownSurfaces + (backBufferHeld ? 1 : 0), liveStateBlocks_);
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS completed = *presentParameters;
    HRESULT hr = CompletePresentParameters(profile_, creation_.hFocusWindow, &completed);
    if (FAILED(hr)) {
        return hr;
    }
    const D3DPRESENT_PARAMETERS previous = parameters_;
    parameters_ = completed;
    hr = CreateBackBuffer();
    if (FAILED(hr)) {
        parameters_ = previous;
        CreateBackBuffer();
        return hr;
    }
    *presentParameters = completed;
    recording_.reset();
    SetDefaultState(state_, parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                    parameters_.EnableAutoDepthStencil != FALSE);
    lost_ = false;
    return S_OK;
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

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateTextureResource(*this, width, height, levels, usage, format, pool, texture);
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DVolumeTexture9** texture, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateVolumeTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateVolumeTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateVolumeTextureResource(*this, width, height, depth, levels, usage, format, pool,
                                       texture);
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                  HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateCubeTexture");
    if (texture == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateCubeTexture: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateCubeTextureResource(*this, edgeLength, levels, usage, format, pool, texture);
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateVertexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateVertexBuffer: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateVertexBufferResource(*this, length, usage, fvf, pool, buffer);
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateIndexBuffer");
    if (buffer == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateIndexBuffer: null output pointer or shared handle given");
        return D3DERR_INVALIDCALL;
    }
    return CreateIndexBufferResource(*this, length, usage, format, pool, buffer);
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                   D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                   BOOL lockable, IDirect3DSurface9** surface,
                                   HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateRenderTarget");
    if (surface == nullptr || sharedHandle != nullptr || multiSample != D3DMULTISAMPLE_NONE ||
        multisampleQuality != 0) {
        ReportInvalidCall("CreateRenderTarget: multisampling is not offered, or bad pointers");
        return D3DERR_INVALIDCALL;
    }
    const FormatSupport* support = FindFormat(profile_, format);
    if (support == nullptr || !support->renderTarget) {
        ReportInvalidCall("CreateRenderTarget: format %u is not a render-target format",
                          static_cast<unsigned>(format));
        return D3DERR_INVALIDCALL;
    }
    return CreateSurfaceResource(*this, width, height, format, D3DPOOL_DEFAULT,
                                 D3DUSAGE_RENDERTARGET, lockable != FALSE, surface);
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle) {
    DEVICE_OPERATION("CreateOffscreenPlainSurface");
    if (surface == nullptr || sharedHandle != nullptr) {
        ReportInvalidCall("CreateOffscreenPlainSurface: null output pointer or shared handle");
        return D3DERR_INVALIDCALL;
    }
    if (pool == D3DPOOL_MANAGED) {
        ReportInvalidCall("CreateOffscreenPlainSurface: the managed pool is not allowed");
        return D3DERR_INVALIDCALL;
    }
    return CreateSurfaceResource(*this, width, height, format, pool, 0, true, surface);
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* destination, const POINT* destPoint) {
    DEVICE_OPERATION("UpdateSurface");
    const SurfaceStorage* from = StorageOf(source);
    const SurfaceStorage* to = StorageOf(destination);
    if (from == nullptr || to == nullptr || from->pool != D3DPOOL_SYSTEMMEM ||
        to->pool != D3DPOOL_DEFAULT || from->format != to->format) {
        ReportInvalidCall(
            "UpdateSurface: needs a system-memory source and a default-pool destination of the "
            "same format");
        return D3DERR_INVALIDCALL;
    }
    return UpdateSurfaceResource(source, sourceRect, destination, destPoint);
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
    DEVICE_OPERATION("UpdateTexture");
    if (source == nullptr || destination == nullptr || PoolOf(source) != D3DPOOL_SYSTEMMEM ||
        PoolOf(destination) != D3DPOOL_DEFAULT) {
        ReportInvalidCall(
            "UpdateTexture: needs a system-memory source and a default-pool destination");
        return D3DERR_INVALIDCALL;
    }
    return UpdateTextureResource(source, destination);
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                            IDirect3DSurface9* destination, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter) {
    DEVICE_OPERATION("StretchRect");
    const SurfaceStorage* from = StorageOf(source);
    const SurfaceStorage* to = StorageOf(destination);
    if (from == nullptr || to == nullptr || from->pool != D3DPOOL_DEFAULT ||
        to->pool != D3DPOOL_DEFAULT) {
        ReportInvalidCall("StretchRect: both surfaces must be in the default pool");
        return D3DERR_INVALIDCALL;
    }
    return StretchRectResource(source, sourceRect, destination, destRect, filter);
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** declaration) {
    DEVICE_OPERATION("CreateVertexDeclaration");
    if (elements == nullptr || declaration == nullptr) {
        ReportInvalidCall("CreateVertexDeclaration: null elements or output pointer");
        return D3DERR_INVALIDCALL;
    }
    return CreateVertexDeclarationResource(*this, elements, declaration);
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

// ---- state ----

namespace {

bool ValidTransform(D3DTRANSFORMSTATETYPE state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + 8) ||
           (state >= D3DTS_WORLD && state < kTransformCount);
}

}  // namespace

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    DEVICE_OPERATION("SetTransform");
    if (matrix == nullptr || !ValidTransform(state)) {
        ReportInvalidCall("SetTransform: transform %u does not exist or null matrix",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->transforms.set(state);
        recording_->values.transforms[state] = *matrix;
        return S_OK;
    }
    state_.transforms[state] = *matrix;
    return S_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    DEVICE_OPERATION("GetTransform");
    if (matrix == nullptr || !ValidTransform(state)) {
        ReportInvalidCall("GetTransform: transform %u does not exist or null matrix",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    *matrix = state_.transforms[state];
    return S_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    DEVICE_OPERATION("SetViewport");
    if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0 ||
        std::uint64_t{viewport->X} + viewport->Width > parameters_.BackBufferWidth ||
        std::uint64_t{viewport->Y} + viewport->Height > parameters_.BackBufferHeight ||
        !(viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ)) {
        ReportInvalidCall("SetViewport: the viewport lies outside the render target");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->viewport = true;
        recording_->values.viewport = *viewport;
        return S_OK;
    }
    state_.viewport = *viewport;
    return S_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    DEVICE_OPERATION("GetViewport");
    if (viewport == nullptr) {
        ReportInvalidCall("GetViewport: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    *viewport = state_.viewport;
    return S_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    DEVICE_OPERATION("SetRenderState");
    if (state == 0 || state >= kRenderStateCount) {
        ReportInvalidCall("SetRenderState: render state %u does not exist",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->renderStates.set(state);
        recording_->values.renderStates[state] = value;
        return S_OK;
    }
    state_.renderStates[state] = value;
    return S_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    DEVICE_OPERATION("GetRenderState");
    if (value == nullptr || state == 0 || state >= kRenderStateCount) {
        ReportInvalidCall("GetRenderState: render state %u does not exist or null output",
                          static_cast<unsigned>(state));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.renderStates[state];
    return S_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    DEVICE_OPERATION("GetTexture");
    if (texture == nullptr || stage >= kSamplerCount) {
        ReportInvalidCall("GetTexture: stage %u does not exist or null output", stage);
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.textures[stage].Get(), texture);
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    DEVICE_OPERATION("SetTexture");
    if (stage >= kSamplerCount) {
        ReportInvalidCall("SetTexture: stage %u does not exist", stage);
        return D3DERR_INVALIDCALL;
    }
    if (texture != nullptr && PoolOf(texture) == D3DPOOL_SCRATCH) {
        ReportInvalidCall("SetTexture: scratch textures cannot be set on the device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->textures.set(stage);
        recording_->values.textures[stage] = ComPtr<IDirect3DBaseTexture9>(texture);
        return S_OK;
    }
    state_.textures[stage] = ComPtr<IDirect3DBaseTexture9>(texture);
    return S_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    DEVICE_OPERATION("GetTextureStageState");
    if (value == nullptr || stage >= kStageCount || type == 0 || type >= kStageStateCount) {
        ReportInvalidCall("GetTextureStageState: stage %u state %u does not exist", stage,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.stageStates[stage][type];
    return S_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    DEVICE_OPERATION("SetTextureStageState");
    if (stage >= kStageCount || type == 0 || type >= kStageStateCount) {
        ReportInvalidCall("SetTextureStageState: stage %u state %u does not exist", stage,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->stageStates[stage].set(type);
        recording_->values.stageStates[stage][type] = value;
        return S_OK;
    }
    state_.stageStates[stage][type] = value;
    return S_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    DEVICE_OPERATION("GetSamplerState");
    if (value == nullptr || sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount) {
        ReportInvalidCall("GetSamplerState: sampler %u state %u does not exist", sampler,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    *value = state_.samplerStates[sampler][type];
    return S_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    DEVICE_OPERATION("SetSamplerState");
    if (sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount) {
        ReportInvalidCall("SetSamplerState: sampler %u state %u does not exist", sampler,
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->samplerStates[sampler].set(type);
        recording_->values.samplerStates[sampler][type] = value;
        return S_OK;
    }
    state_.samplerStates[sampler][type] = value;
    return S_OK;
}

HRESULT Device::SetNPatchMode(float segments) {
    DEVICE_OPERATION("SetNPatchMode");
    if (!(segments >= 0.0f)) {
        ReportInvalidCall("SetNPatchMode: negative segment count");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->nPatchMode = true;
        recording_->values.nPatchSegments = segments;
        return S_OK;
    }
    state_.nPatchSegments = segments;
    return S_OK;
}

float Device::GetNPatchMode() {
    HRESULT ignored = S_OK;
    InjectedFailure("GetNPatchMode", &ignored);
    return state_.nPatchSegments;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    DEVICE_OPERATION("SetVertexDeclaration");
    if (declaration != nullptr && ElementsOf(declaration) == nullptr) {
        ReportInvalidCall("SetVertexDeclaration: not a declaration of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->declaration = true;
        recording_->values.declaration = ComPtr<IDirect3DVertexDeclaration9>(declaration);
        return S_OK;
    }
    state_.declaration = ComPtr<IDirect3DVertexDeclaration9>(declaration);
    return S_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    DEVICE_OPERATION("GetVertexDeclaration");
    if (declaration == nullptr) {
        ReportInvalidCall("GetVertexDeclaration: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.declaration.Get(), declaration);
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
    DEVICE_OPERATION("SetVertexShader");
    if (shader != nullptr) {
        ReportInvalidCall("SetVertexShader: only the fixed-function pipeline is offered");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->vertexShader = true;
        return S_OK;
    }
    state_.vertexShader.Reset();
    return S_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** shader) {
    DEVICE_OPERATION("GetVertexShader");
    if (shader == nullptr) {
        ReportInvalidCall("GetVertexShader: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.vertexShader.Get(), shader);
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) {
    DEVICE_OPERATION("SetPixelShader");
    if (shader != nullptr) {
        ReportInvalidCall("SetPixelShader: only the fixed-function pipeline is offered");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->pixelShader = true;
        return S_OK;
    }
    state_.pixelShader.Reset();
    return S_OK;
}

HRESULT Device::GetPixelShader(IDirect3DPixelShader9** shader) {
    DEVICE_OPERATION("GetPixelShader");
    if (shader == nullptr) {
        ReportInvalidCall("GetPixelShader: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.pixelShader.Get(), shader);
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
    DEVICE_OPERATION("SetStreamSource");
    if (stream != 0) {
        ReportInvalidCall("SetStreamSource: only stream 0 is offered, not %u", stream);
        return D3DERR_INVALIDCALL;
    }
    if (buffer != nullptr && StorageOf(buffer) == nullptr) {
        ReportInvalidCall("SetStreamSource: not a vertex buffer of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->stream = true;
        recording_->values.streamBuffer = ComPtr<IDirect3DVertexBuffer9>(buffer);
        recording_->values.streamOffset = offset;
        recording_->values.streamStride = stride;
        return S_OK;
    }
    state_.streamBuffer = ComPtr<IDirect3DVertexBuffer9>(buffer);
    state_.streamOffset = offset;
    state_.streamStride = stride;
    return S_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride) {
    DEVICE_OPERATION("GetStreamSource");
    if (stream != 0 || buffer == nullptr || offset == nullptr || stride == nullptr) {
        ReportInvalidCall("GetStreamSource: stream %u does not exist or null output", stream);
        return D3DERR_INVALIDCALL;
    }
    *offset = state_.streamOffset;
    *stride = state_.streamStride;
    return HandOut(state_.streamBuffer.Get(), buffer);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
    DEVICE_OPERATION("SetIndices");
    if (indices != nullptr && StorageOf(indices) == nullptr) {
        ReportInvalidCall("SetIndices: not an index buffer of this device");
        return D3DERR_INVALIDCALL;
    }
    if (recording_) {
        // While a state block records, Set calls are recorded, not applied.
        recording_->indices = true;
        recording_->values.indices = ComPtr<IDirect3DIndexBuffer9>(indices);
        return S_OK;
    }
    state_.indices = ComPtr<IDirect3DIndexBuffer9>(indices);
    return S_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indices) {
    DEVICE_OPERATION("GetIndices");
    if (indices == nullptr) {
        ReportInvalidCall("GetIndices: null output pointer");
        return D3DERR_INVALIDCALL;
    }
    return HandOut(state_.indices.Get(), indices);
}

// ---- state blocks ----

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
    DEVICE_OPERATION("CreateStateBlock");
    if (block == nullptr || type != D3DSBT_ALL || recording_) {
        ReportInvalidCall(
            "CreateStateBlock: only D3DSBT_ALL blocks are offered, outside of recording");
        return D3DERR_INVALIDCALL;
    }
    auto record = std::unique_ptr<StateRecord>(new (std::nothrow) StateRecord);
    if (!record) {
        return E_OUTOFMEMORY;
    }
    record->RecordEverything();
    record->CaptureFrom(state_);
    StateBlock* created = new (std::nothrow) StateBlock(*this, std::move(record));
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    *block = created;
    return S_OK;
}

HRESULT Device::BeginStateBlock() {
    DEVICE_OPERATION("BeginStateBlock");
    if (recording_) {
        ReportInvalidCall("BeginStateBlock: already recording a state block");
        return D3DERR_INVALIDCALL;
    }
    recording_.reset(new (std::nothrow) StateRecord);
    return recording_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** block) {
    DEVICE_OPERATION("EndStateBlock");
    if (block == nullptr || !recording_) {
        ReportInvalidCall("EndStateBlock: no BeginStateBlock before, or null output");
        return D3DERR_INVALIDCALL;
    }
    StateBlock* created = new (std::nothrow) StateBlock(*this, std::move(recording_));
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    *block = created;
    return S_OK;
}

void Device::ApplyRecord(const StateRecord& record) {
    // The block's Apply is the logged operation, not each state it sets.
    applying_ = true;
    const DeviceState& values = record.values;
    for (DWORD i = 0; i < kRenderStateCount; ++i) {
        if (record.renderStates.test(i)) {
            SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), values.renderStates[i]);
        }
    }
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        for (DWORD i = 0; i < kStageStateCount; ++i) {
            if (record.stageStates[stage].test(i)) {
                SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(i),
                                     values.stageStates[stage][i]);
            }
        }
    }
    for (DWORD sampler = 0; sampler < kSamplerCount; ++sampler) {
        for (DWORD i = 0; i < kSamplerStateCount; ++i) {
            if (record.samplerStates[sampler].test(i)) {
                SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(i),
                                values.samplerStates[sampler][i]);
            }
        }
        if (record.textures.test(sampler)) {
            SetTexture(sampler, values.textures[sampler].Get());
        }
    }
    for (DWORD i = 0; i < kTransformCount; ++i) {
        if (record.transforms.test(i)) {
            SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(i), &values.transforms[i]);
        }
    }
    if (record.viewport) {
        SetViewport(&values.viewport);
    }
    if (record.stream) {
        SetStreamSource(0, values.streamBuffer.Get(), values.streamOffset, values.streamStride);
    }
    if (record.indices) {
        SetIndices(values.indices.Get());
    }
    if (record.declaration) {
        SetVertexDeclaration(values.declaration.Get());
    }
    if (record.vertexShader) {
        SetVertexShader(nullptr);
    }
    if (record.pixelShader) {
        SetPixelShader(nullptr);
    }
    if (record.nPatchMode) {
        SetNPatchMode(values.nPatchSegments);
    }
    applying_ = false;
}
