// The graphics device set-up on the headless runtime: which device is made
// on which machine, the presentation parameters and viewport taken from the
// window's client area, the atlas texture's size, levels, pool and colour
// key, and the recovery of a lost device at the end of a frame.
#include "platform/graphics.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/d3d9/device_control.h"
#include "runtime/win32/headless_window.h"
#include "shell/window.h"
#include "support/png_image.h"

namespace {

// The test window's client area: not the game's 640 x 480, so that sizes
// taken from the window can be told from fixed ones.
constexpr LONG kClientWidth = 300;
constexpr LONG kClientHeight = 200;

// The atlas file: 300 x 40 pixels, rounded up to a 512 x 64 texture. Columns
// 0-99 are opaque white, 100-199 near-white, 200-299 a colour.
constexpr int kAtlasWidth = 300;
constexpr int kAtlasHeight = 40;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kNearWhite = 0xFFFEFF;
constexpr std::uint32_t kColour = 0x2080C0;

Image AtlasImage() {
    Image image;
    image.width = kAtlasWidth;
    image.height = kAtlasHeight;
    for (int y = 0; y < kAtlasHeight; ++y) {
        for (int x = 0; x < kAtlasWidth; ++x) {
            image.pixels.push_back(0xFF000000u |
                                   (x < 100 ? kWhite : (x < 200 ? kNearWhite : kColour)));
        }
    }
    return image;
}

LRESULT PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

template <class T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

class GraphicsTest : public testing::Test {
  protected:
    void SetUp() override {
        SelectBackend(RuntimeBackend::Headless);
        ResetHeadlessWindowing();
        ResetDeviceControl();
        char saved[PATH_MAX];
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        saved_ = saved;
        char pattern[] = "/tmp/vellorn_graphics_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        ASSERT_TRUE(WriteRgbPng(directory_ + "/bitmap.png", AtlasImage()));
        ASSERT_EQ(chdir(directory_.c_str()), 0);

        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = PlainWindowProc;
        windowClass.lpszClassName = "GraphicsTest";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
        RECT outer{0, 0, kClientWidth, kClientHeight};
        AdjustWindowRect(&outer, kStyle, FALSE);
        mainWindow =
            CreateWindowExA(0, "GraphicsTest", "graphics", kStyle, 0, 0, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(mainWindow, nullptr);
        ShowWindow(mainWindow, SW_SHOWNORMAL);
    }

    void TearDown() override {
        if (spriteBatcher != nullptr) {
            spriteBatcher->OnLostDevice();
        }
        ReleaseAndClear(spriteBatcher);
        ReleaseAndClear(atlasTexture);
        ReleaseAndClear(device);
        ReleaseAndClear(direct3D);
        mainWindow = nullptr;
        ResetHeadlessWindowing();
        ResetDeviceControl();
        ASSERT_EQ(chdir(saved_.c_str()), 0);
        std::filesystem::remove_all(directory_);
    }

    // The atlas texel at (x, y) of level 0.
    static std::uint32_t AtlasTexel(UINT x, UINT y) {
        D3DLOCKED_RECT locked{};
        if (FAILED(atlasTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
            ADD_FAILURE() << "the atlas cannot be locked";
            return 0;
        }
        const auto* row = static_cast<const BYTE*>(locked.pBits) + std::size_t{y} * locked.Pitch;
        const std::uint32_t texel = reinterpret_cast<const std::uint32_t*>(row)[x];
        atlasTexture->UnlockRect(0);
        return texel;
    }

    std::string saved_;
    std::string directory_;
};

struct DeviceChoiceCase {
    const char* name;
    bool hal;
    bool ref;
    bool hardwareProcessing;
    bool softwareProcessing;
    HRESULT result;
    D3DDEVTYPE type;  // of the device made, when one is
    DWORD behaviour;
};

class DeviceChoiceTest : public GraphicsTest,
                         public testing::WithParamInterface<DeviceChoiceCase> {};

TEST_P(DeviceChoiceTest, TriesHardwareThenSoftwareProcessingThenTheReferenceDevice) {
    const DeviceChoiceCase& c = GetParam();
    DeviceProfile profile = DefaultDeviceProfile();
    profile.halAvailable = c.hal;
    profile.refAvailable = c.ref;
    profile.hardwareVertexProcessing = c.hardwareProcessing;
    profile.softwareVertexProcessing = c.softwareProcessing;
    InstallDeviceProfile(profile);

    ASSERT_EQ(InitGraphics(), c.result);
    ASSERT_NE(direct3D, nullptr);
    if (FAILED(c.result)) {
        EXPECT_EQ(device, nullptr);
        EXPECT_EQ(atlasTexture, nullptr) << "nothing after the failing step is made";
        EXPECT_EQ(spriteBatcher, nullptr);
        return;
    }
    ASSERT_NE(device, nullptr);
    D3DDEVICE_CREATION_PARAMETERS creation{};
    ASSERT_EQ(device->GetCreationParameters(&creation), S_OK);
    EXPECT_EQ(creation.AdapterOrdinal, 0u);
    EXPECT_EQ(creation.DeviceType, c.type);
    EXPECT_EQ(creation.hFocusWindow, mainWindow);
    EXPECT_EQ(creation.BehaviorFlags, c.behaviour);
    EXPECT_NE(atlasTexture, nullptr);
    EXPECT_NE(spriteBatcher, nullptr);
}

constexpr DWORD kHardware = D3DCREATE_HARDWARE_VERTEXPROCESSING;
constexpr DWORD kSoftware = D3DCREATE_SOFTWARE_VERTEXPROCESSING;

const DeviceChoiceCase kDeviceChoices[] = {
    {"Hardware", true, true, true, true, S_OK, D3DDEVTYPE_HAL, kHardware},
    {"NoHardwareProcessing", true, true, false, true, S_OK, D3DDEVTYPE_HAL, kSoftware},
    {"ReferenceOnly", false, true, true, true, S_OK, D3DDEVTYPE_REF, kSoftware},
    {"HardwareProcessingOnly", true, true, true, false, S_OK, D3DDEVTYPE_HAL, kHardware},
    {"NoSoftwareProcessingForTheReference", false, true, true, false, E_FAIL, D3DDEVTYPE_REF, 0},
    {"NoDevice", false, false, true, true, E_FAIL, D3DDEVTYPE_HAL, 0},
};

INSTANTIATE_TEST_SUITE_P(Machines, DeviceChoiceTest, testing::ValuesIn(kDeviceChoices),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GraphicsTest, BackBufferAndViewportTakeTheClientArea) {
    ASSERT_EQ(InitGraphics(), S_OK);
    EXPECT_EQ(presentParams.BackBufferWidth, static_cast<UINT>(kClientWidth));
    EXPECT_EQ(presentParams.BackBufferHeight, static_cast<UINT>(kClientHeight));
    EXPECT_EQ(presentParams.BackBufferFormat, D3DFMT_X8R8G8B8) << "the desktop's format";
    EXPECT_EQ(presentParams.BackBufferCount, 1u);
    EXPECT_EQ(presentParams.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(presentParams.MultiSampleQuality, 0u);
    EXPECT_EQ(presentParams.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(presentParams.hDeviceWindow, mainWindow);
    EXPECT_EQ(presentParams.Windowed, TRUE);
    EXPECT_EQ(presentParams.EnableAutoDepthStencil, FALSE);
    EXPECT_EQ(presentParams.AutoDepthStencilFormat, D3DFMT_UNKNOWN);
    EXPECT_EQ(presentParams.Flags, 0u);
    EXPECT_EQ(presentParams.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(presentParams.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);

    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), S_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, static_cast<DWORD>(kClientWidth));
    EXPECT_EQ(viewport.Height, static_cast<DWORD>(kClientHeight));
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
}

TEST_F(GraphicsTest, AtlasIsAManagedFullChainRoundedUpWithOnlyWhiteKeyedOut) {
    // A device that takes any texture size: the rounding up is the caller's.
    DeviceProfile profile = DefaultDeviceProfile();
    profile.caps.TextureCaps &= ~(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    InstallDeviceProfile(profile);
    ASSERT_EQ(InitGraphics(), S_OK);
    ASSERT_NE(atlasTexture, nullptr);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(atlasTexture->GetLevelDesc(0, &desc), S_OK);
    EXPECT_EQ(desc.Width, 512u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Usage, 0u);
    ASSERT_EQ(desc.Format, D3DFMT_A8R8G8B8) << "the colour key needs an alpha channel";
    EXPECT_EQ(atlasTexture->GetLevelCount(), 10u) << "512 x 64 down to 1 x 1";

    // Texels well inside each band of the stretched image.
    EXPECT_EQ(AtlasTexel(80, 32), 0x00000000u) << "opaque white becomes transparent black";
    EXPECT_EQ(AtlasTexel(256, 32), 0xFF000000u | kNearWhite) << "near-white stays opaque";
    EXPECT_EQ(AtlasTexel(430, 32), 0xFF000000u | kColour);
}

TEST_F(GraphicsTest, MissingAtlasFailsAfterTheDeviceIsMade) {
    ASSERT_EQ(unlink("bitmap.png"), 0);
    EXPECT_EQ(InitGraphics(), E_FAIL);
    EXPECT_NE(device, nullptr) << "what was made so far stays";
    EXPECT_EQ(atlasTexture, nullptr);
    EXPECT_EQ(spriteBatcher, nullptr);
}

// The device-call log of one CheckDeviceLost.
std::vector<std::string> CheckDeviceLostCalls() {
    ClearCallLog();
    CheckDeviceLost();
    return CallLog();
}

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST_F(GraphicsTest, LostDeviceIsResetAtEveryCheckUntilTheResetHolds) {
    ASSERT_EQ(InitGraphics(), S_OK);
    // A drawn batch: on hardware vertex processing the batcher then holds
    // default-pool buffers, which a reset refuses unless they are released.
    ASSERT_EQ(device->BeginScene(), S_OK);
    ASSERT_EQ(spriteBatcher->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE), S_OK);
    const RECT source{0, 0, 32, 32};
    const D3DXVECTOR3 position{10.0f, 10.0f, 0.0f};
    ASSERT_EQ(spriteBatcher->Draw(atlasTexture, &source, nullptr, &position, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(spriteBatcher->End(), S_OK);
    ASSERT_EQ(device->EndScene(), S_OK);
    EnableCallLog(true);

    EXPECT_EQ(CheckDeviceLostCalls(), std::vector<std::string>{"TestCooperativeLevel"});

    HeadlessMinimise(mainWindow, true);
    for (int frame = 0; frame < 2; ++frame) {
        const std::vector<std::string> calls = CheckDeviceLostCalls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[0], "TestCooperativeLevel");
        EXPECT_EQ(calls[1], "Reset");
        EXPECT_TRUE(Contains(calls, "GetRenderTarget")) << "the batcher re-checks the device";
    }

    HeadlessMinimise(mainWindow, false);
    const std::vector<std::string> recovery = CheckDeviceLostCalls();
    ASSERT_GE(recovery.size(), 2u);
    EXPECT_EQ(recovery[1], "Reset");
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK) << "the reset held";
    EXPECT_EQ(CheckDeviceLostCalls(), std::vector<std::string>{"TestCooperativeLevel"});
    EXPECT_EQ(presentParams.BackBufferWidth, static_cast<UINT>(kClientWidth));
    EXPECT_EQ(presentParams.BackBufferHeight, static_cast<UINT>(kClientHeight));
}

TEST_F(GraphicsTest, DeviceTakenByAnotherProgramIsResetOnceReleased) {
    ASSERT_EQ(InitGraphics(), S_OK);
    SetHeadlessDeviceLost(device, true);
    CheckDeviceLost();
    EXPECT_LT(device->TestCooperativeLevel(), 0);
    SetHeadlessDeviceLost(device, false);
    CheckDeviceLost();
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);
}

}  // namespace
