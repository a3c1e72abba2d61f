#include "runtime/d3d9/direct3d.h"

#include <cstring>
#include <new>

#include "runtime/call_journal.h"
#include "runtime/d3d9/device.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/d3d9/runtime_services.h"
#include "vellorn/com_object.h"
#include "vellorn/win32_window.h"

namespace {

bool DeviceTypeAvailable(const DeviceProfile& profile, D3DDEVTYPE type) {
    return (type == D3DDEVTYPE_HAL && profile.halAvailable) ||
           (type == D3DDEVTYPE_REF && profile.refAvailable);
}

// The Direct3D object keeps the device profile installed when it was made:
// its answers and the devices it creates agree for its whole life, whatever
// profile is installed later.
class Direct3D final : public ComObject<IDirect3D9, IID_IDirect3D9> {
  public:
    Direct3D() : profile_(ActiveDeviceProfile()) {}

    ULONG Release() override {
        const ULONG left = ComObject::Release();
        JournalCall("Direct3D", "Release", static_cast<long>(left));
        return left;
    }

    UINT GetAdapterCount() override {
        HRESULT ignored = S_OK;
        TakeInjectedFault("GetAdapterCount", &ignored);
        return 1;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        HRESULT injected = S_OK;
        if (TakeInjectedFault("GetAdapterDisplayMode", &injected)) {
            return injected;
        }
        if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
            ReportInvalidCall("GetAdapterDisplayMode: adapter %u does not exist or null output",
                              adapter);
            return D3DERR_INVALIDCALL;
        }
        mode->Width = static_cast<UINT>(GetSystemMetrics(SM_CXSCREEN));
        mode->Height = static_cast<UINT>(GetSystemMetrics(SM_CYSCREEN));
        mode->RefreshRate = 60;
        mode->Format = D3DFMT_X8R8G8B8;
        return S_OK;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        HRESULT injected = S_OK;
        if (TakeInjectedFault("CheckDeviceFormat", &injected)) {
            return injected;
        }
        if (adapter != D3DADAPTER_DEFAULT) {
            ReportInvalidCall("CheckDeviceFormat: adapter %u does not exist", adapter);
            return D3DERR_INVALIDCALL;
        }
        if (!DeviceTypeAvailable(profile_, deviceType) || adapterFormat != D3DFMT_X8R8G8B8) {
            return D3DERR_NOTAVAILABLE;
        }
        const FormatSupport* support = FindFormat(profile_, checkFormat);
        if (support == nullptr) {
            return D3DERR_NOTAVAILABLE;
        }
        bool resourceOk = false;
        switch (resourceType) {
            case D3DRTYPE_SURFACE:
                resourceOk = (usage & D3DUSAGE_RENDERTARGET) != 0
                                 ? support->renderTarget
                                 : support->texture || support->renderTarget;
                break;
            case D3DRTYPE_TEXTURE: resourceOk = support->texture; break;
            case D3DRTYPE_CUBETEXTURE: resourceOk = support->cubeTexture; break;
            case D3DRTYPE_VOLUMETEXTURE: resourceOk = support->volumeTexture; break;
            default: resourceOk = false; break;
        }
        if (!resourceOk) {
            return D3DERR_NOTAVAILABLE;
        }
        // Usages that no format here offers.
        constexpr DWORD kNeverOffered = D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_QUERY_SRGBREAD |
                                        D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_LEGACYBUMPMAP;
        if ((usage & kNeverOffered) != 0) {
            return D3DERR_NOTAVAILABLE;
        }
        const struct {
            DWORD bit;
            bool offered;
        } checks[] = {
            {D3DUSAGE_RENDERTARGET, support->renderTarget},
            {D3DUSAGE_DYNAMIC, support->dynamic},
            {D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, support->postPixelShaderBlending},
            {D3DUSAGE_QUERY_FILTER, support->filter},
            {D3DUSAGE_QUERY_VERTEXTEXTURE, support->vertexTexture},
        };
        for (const auto& check : checks) {
            if ((usage & check.bit) != 0 && !check.offered) {
                return D3DERR_NOTAVAILABLE;
            }
        }
        // A format without generated mipmaps is still usable: the success
        // code says so.
        if ((usage & D3DUSAGE_AUTOGENMIPMAP) != 0 && !support->autoGenMipMap) {
            return D3DOK_NOAUTOGEN;
        }
        return S_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override {
        HRESULT injected = S_OK;
        if (TakeInjectedFault("GetDeviceCaps", &injected)) {
            return injected;
        }
        if (adapter != D3DADAPTER_DEFAULT || caps == nullptr) {
            ReportInvalidCall("GetDeviceCaps: adapter %u does not exist or null output", adapter);
            return D3DERR_INVALIDCALL;
        }
        if (!DeviceTypeAvailable(profile_, deviceType)) {
            return D3DERR_NOTAVAILABLE;
        }
        *caps = profile_.caps;
        caps->DeviceType = deviceType;
        caps->AdapterOrdinal = adapter;
        return S_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentParameters,
                         IDirect3DDevice9** device) override {
        HRESULT injected = S_OK;
        if (TakeInjectedFault("CreateDevice", &injected)) {
            return injected;
        }
        if (device == nullptr || presentParameters == nullptr) {
            ReportInvalidCall("CreateDevice: null parameters or output pointer");
            return D3DERR_INVALIDCALL;
        }
        *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT ||
            (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)) {
            ReportInvalidCall("CreateDevice: adapter %u or device type %u is not offered", adapter,
                              static_cast<unsigned>(deviceType));
            return D3DERR_INVALIDCALL;
        }
        constexpr DWORD kProcessing = D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING;
        const DWORD processing = behaviorFlags & kProcessing;
        if (processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
            processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
            processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
            ReportInvalidCall("CreateDevice: exactly one vertex-processing flag is required");
            return D3DERR_INVALIDCALL;
        }
        const bool processingOk =
            (processing == D3DCREATE_HARDWARE_VERTEXPROCESSING &&
             profile_.hardwareVertexProcessing) ||
            (processing == D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
             profile_.softwareVertexProcessing) ||
            (processing == D3DCREATE_MIXED_VERTEXPROCESSING && profile_.mixedVertexProcessing);
        if (!DeviceTypeAvailable(profile_, deviceType) || !processingOk) {
            return D3DERR_NOTAVAILABLE;
        }
        D3DPRESENT_PARAMETERS completed = *presentParameters;
        const HRESULT hr = CompletePresentParameters(profile_, focusWindow, &completed);
        if (FAILED(hr)) {
            return hr;
        }
        IDirect3DDevice9* created = nullptr;
        const HRESULT created_hr = Device::Create(this, profile_, deviceType, focusWindow,
                                                  behaviorFlags, completed, &created);
        if (FAILED(created_hr)) {
            return created_hr;
        }
        *presentParameters = completed;
        *device = created;
        return S_OK;
    }

  private:
    ~Direct3D() override = default;

    const DeviceProfile profile_;
};

}  // namespace

HRESULT CompletePresentParameters(const DeviceProfile& profile, HWND focusWindow,
                                  D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters->Windowed) {
        ReportInvalidCall("CreateDevice/Reset: only windowed devices are offered");
        return D3DERR_NOTAVAILABLE;
    }
    if (parameters->MultiSampleType != D3DMULTISAMPLE_NONE || parameters->BackBufferCount > 1 ||
        parameters->EnableAutoDepthStencil) {
        ReportInvalidCall(
            "CreateDevice/Reset: one back buffer without multisampling or depth buffer only");
        return D3DERR_NOTAVAILABLE;
    }
    const HWND window =
        parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
    RECT client{};
    if (!GetClientRect(window, &client)) {
        ReportInvalidCall("CreateDevice/Reset: the device window does not exist");
        return D3DERR_INVALIDCALL;
    }
    if (parameters->BackBufferWidth == 0) {
        parameters->BackBufferWidth = static_cast<UINT>(client.right);
    }
    if (parameters->BackBufferHeight == 0) {
        parameters->BackBufferHeight = static_cast<UINT>(client.bottom);
    }
    if (parameters->BackBufferWidth == 0 || parameters->BackBufferHeight == 0) {
        ReportInvalidCall("CreateDevice/Reset: the window has an empty client area");
        return D3DERR_INVALIDCALL;
    }
    if (parameters->BackBufferFormat == D3DFMT_UNKNOWN) {
        parameters->BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    const FormatSupport* support = FindFormat(profile, parameters->BackBufferFormat);
    if ((parameters->BackBufferFormat != D3DFMT_X8R8G8B8 &&
         parameters->BackBufferFormat != D3DFMT_A8R8G8B8) ||
        support == nullptr || !support->renderTarget) {
        ReportInvalidCall("CreateDevice/Reset: back-buffer format %u is not offered",
                          static_cast<unsigned>(parameters->BackBufferFormat));
        return D3DERR_NOTAVAILABLE;
    }
    if (parameters->BackBufferCount == 0) {
        parameters->BackBufferCount = 1;
    }
    return S_OK;
}

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    // An injected fault stands for a machine without a usable runtime: the
    // object is not made, whatever the code.
    HRESULT ignored = S_OK;
    if (TakeInjectedFault("Direct3DCreate9", &ignored) ||
        (sdkVersion & 0x7FFFFFFFu) != D3D_SDK_VERSION) {
        return nullptr;
    }
    RegisterRuntimeModule();
    return new (std::nothrow) Direct3D;
}
