#include "platform/graphics.h"

#include "shell/window.h"
#include "vellorn/d3dx_texture.h"

IDirect3D9* direct3D = nullptr;
IDirect3DDevice9* device = nullptr;
D3DPRESENT_PARAMETERS presentParams = {};
ID3DXSprite* spriteBatcher = nullptr;
IDirect3DTexture9* atlasTexture = nullptr;

namespace {

// The SDK version with bit 31 set: the runtime's debug-information form.
constexpr UINT kDirect3DVersion = 0x80000000u | D3D_SDK_VERSION;

// The devices tried, best first.
struct DeviceChoice {
    D3DDEVTYPE type;
    DWORD behaviour;
};
constexpr DeviceChoice kDeviceChoices[] = {
    {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

// Opaque white in the atlas file becomes transparent black.
constexpr D3DCOLOR kAtlasColourKey = 0xFFFFFFFF;

bool CreateDevice() {
    for (const DeviceChoice& choice : kDeviceChoices) {
        if (SUCCEEDED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, choice.type, mainWindow,
                                             choice.behaviour, &presentParams, &device))) {
            return true;
        }
    }
    return false;
}

}  // namespace

HRESULT InitGraphics() {
    direct3D = Direct3DCreate9(kDirect3DVersion);
    if (direct3D == nullptr) {
        return E_FAIL;
    }

    // Every field left zero: the back buffer takes the window's client size
    // and the desktop's format; no multisampling, no depth buffer, no flags.
    presentParams = {};
    presentParams.BackBufferCount = 1;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.hDeviceWindow = mainWindow;
    presentParams.Windowed = TRUE;
    presentParams.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (!CreateDevice()) {
        return E_FAIL;
    }

    // The back buffer the device took, as it wrote it back.
    const D3DVIEWPORT9 viewport = {
        0, 0, presentParams.BackBufferWidth, presentParams.BackBufferHeight, 0.0f, 1.0f};
    if (FAILED(device->SetViewport(&viewport))) {
        return E_FAIL;
    }

    if (FAILED(D3DXCreateTextureFromFileExA(
            device, "bitmap.png", D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
            D3DX_DEFAULT, D3DX_DEFAULT, kAtlasColourKey, nullptr, nullptr, &atlasTexture))) {
        return E_FAIL;
    }
    if (FAILED(D3DXCreateSprite(device, &spriteBatcher))) {
        return E_FAIL;
    }
    spriteBatcher->OnResetDevice();
    return S_OK;
}

void CheckDeviceLost() {
    if (device->TestCooperativeLevel() >= 0) {
        return;
    }
    spriteBatcher->OnLostDevice();
    device->Reset(&presentParams);
    spriteBatcher->OnResetDevice();
}
