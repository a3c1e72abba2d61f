// The device objects: creation, format answers, default state, reset, state
// blocks, loss, fault injection, the presented-frame file and the debug mute.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "device_test_support.h"
#include "platform/diagnostics.h"
#include "runtime/win32/debug_output.h"
#include "support/png_image.h"
#include "vellorn/win32_system.h"

namespace {

TEST(Direct3DCreate, AcceptsTheSdkVersionWithOrWithoutTheDebugBit) {
    SelectBackend(RuntimeBackend::Headless);
    for (UINT version : {D3D_SDK_VERSION, D3D_SDK_VERSION | 0x80000000u}) {
        IDirect3D9* direct3D = Direct3DCreate9(version);
        ASSERT_NE(direct3D, nullptr) << version;
        EXPECT_EQ(direct3D->GetAdapterCount(), 1u);
        direct3D->Release();
    }
    for (UINT version : {0u, 31u, 33u, 0x80000000u}) {
        EXPECT_EQ(Direct3DCreate9(version), nullptr) << version;
    }
}

TEST_F(DeviceTest, DisplayModeIsTheDesktop) {
    SetHeadlessScreenSize(1280, 720);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(direct3D_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), S_OK);
    EXPECT_EQ(mode.Width, 1280u);
    EXPECT_EQ(mode.Height, 720u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(direct3D_->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, BackBufferTakesTheClientSizeAndIsWrittenBack) {
    D3DPRESENT_PARAMETERS parameters = GameParameters();
    ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(
        CreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device, &parameters),
        S_OK);
    EXPECT_EQ(parameters.BackBufferWidth, 640u);
    EXPECT_EQ(parameters.BackBufferHeight, 480u);
    EXPECT_EQ(parameters.BackBufferFormat, D3DFMT_X8R8G8B8);

    ComPtr<IDirect3DSurface9> backBuffer;
    ASSERT_EQ(
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.ReleaseAndGetAddressOf()),
        S_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(backBuffer->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    ComPtr<IDirect3DSurface9> target;
    ASSERT_EQ(device->GetRenderTarget(0, target.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(target.Get(), backBuffer.Get());

    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), S_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Width, 640u);
    EXPECT_EQ(viewport.Height, 480u);
    EXPECT_EQ(viewport.MaxZ, 1.0f);

    D3DDEVICE_CREATION_PARAMETERS creation{};
    ASSERT_EQ(device->GetCreationParameters(&creation), S_OK);
    EXPECT_EQ(creation.hFocusWindow, window_);
    EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
    ComPtr<IDirect3D9> owner;
    ASSERT_EQ(device->GetDirect3D(owner.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(owner.Get(), direct3D_.Get());
}

struct CreationCase {
    const char* name;
    bool hal;
    bool hardwareProcessing;
    D3DDEVTYPE type;
    DWORD behaviour;
    BOOL windowed;
    HRESULT expected;
};

class CreationTest : public DeviceTest, public ::testing::WithParamInterface<CreationCase> {};

TEST_P(CreationTest, AnswersAsTheProfileAllows) {
    const CreationCase& c = GetParam();
    DeviceProfile profile = DefaultDeviceProfile();
    profile.halAvailable = c.hal;
    profile.hardwareVertexProcessing = c.hardwareProcessing;
    UseProfile(profile);
    D3DPRESENT_PARAMETERS parameters = GameParameters();
    parameters.Windowed = c.windowed;
    ComPtr<IDirect3DDevice9> device;
    EXPECT_EQ(CreateDevice(c.type, c.behaviour, &device, &parameters), c.expected);
    EXPECT_EQ(static_cast<bool>(device), c.expected == S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Fallbacks, CreationTest,
    ::testing::Values(
        CreationCase{"HalHardware", true, true, D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                     TRUE, S_OK},
        CreationCase{"NoHardwareProcessing", true, false, D3DDEVTYPE_HAL,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING, TRUE, D3DERR_NOTAVAILABLE},
        CreationCase{"SoftwareFallback", true, false, D3DDEVTYPE_HAL,
                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, TRUE, S_OK},
        CreationCase{"MixedFallback", true, false, D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING,
                     TRUE, S_OK},
        CreationCase{"NoHal", false, true, D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                     TRUE, D3DERR_NOTAVAILABLE},
        CreationCase{"RefFallback", false, true, D3DDEVTYPE_REF,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING, TRUE, S_OK},
        CreationCase{"NoProcessingFlag", true, true, D3DDEVTYPE_HAL, 0, TRUE, D3DERR_INVALIDCALL},
        CreationCase{"TwoProcessingFlags", true, true, D3DDEVTYPE_HAL,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                     TRUE, D3DERR_INVALIDCALL},
        CreationCase{"SoftwareDeviceType", true, true, D3DDEVTYPE_SW,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING, TRUE, D3DERR_INVALIDCALL},
        CreationCase{"FullScreen", true, true, D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                     FALSE, D3DERR_NOTAVAILABLE}),
    [](const ::testing::TestParamInfo<CreationCase>& info) { return info.param.name; });

TEST_F(DeviceTest, AProfileInstalledLaterLeavesTheDirect3DObjectAndItsDevicesAlone) {
    DeviceProfile noHal = DefaultDeviceProfile();
    noHal.halAvailable = false;
    noHal.caps.MaxTextureWidth = 16;
    InstallDeviceProfile(noHal);

    D3DCAPS9 caps{};
    EXPECT_EQ(direct3D_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), S_OK);
    EXPECT_EQ(caps.MaxTextureWidth, DefaultDeviceProfile().caps.MaxTextureWidth);
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ASSERT_TRUE(device);
    ASSERT_EQ(device->GetDeviceCaps(&caps), S_OK);
    EXPECT_EQ(caps.MaxTextureWidth, DefaultDeviceProfile().caps.MaxTextureWidth);

    auto later = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    EXPECT_EQ(later->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3DERR_NOTAVAILABLE);
}

struct FormatCase {
    const char* name;
    D3DFORMAT adapterFormat;
    DWORD usage;
    D3DRESOURCETYPE type;
    D3DFORMAT format;
    HRESULT expected;
};

class CheckFormatTest : public DeviceTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(CheckFormatTest, AnswersFromTheProfile) {
    DeviceProfile profile = DefaultDeviceProfile();
    //                        format  tex   cube   vol    rt     blend  filter autogen dyn  vtx
    profile.formats = {{D3DFMT_A8R8G8B8, true, true, false, true, true, true, true, true, false},
                       {D3DFMT_DXT1, true, false, false, false, false, true, false, false, false},
                       {D3DFMT_L8, true, true, true, false, false, false, false, false, true}};
    UseProfile(profile);
    const FormatCase& c = GetParam();
    EXPECT_EQ(direct3D_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, c.adapterFormat,
                                           c.usage, c.type, c.format),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, CheckFormatTest,
    ::testing::Values(
        FormatCase{"Texture", D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, S_OK},
        FormatCase{"WrongAdapterFormat", D3DFMT_A8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8,
                   D3DERR_NOTAVAILABLE},
        FormatCase{"NotOffered", D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5,
                   D3DERR_NOTAVAILABLE},
        FormatCase{"RenderTarget", D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE,
                   D3DFMT_A8R8G8B8, S_OK},
        FormatCase{"NoRenderTarget", D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                   D3DFMT_DXT1, D3DERR_NOTAVAILABLE},
        FormatCase{"Blending", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                   D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, S_OK},
        FormatCase{"NoBlending", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                   D3DRTYPE_TEXTURE, D3DFMT_L8, D3DERR_NOTAVAILABLE},
        FormatCase{"Filter", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_FILTER, D3DRTYPE_TEXTURE, D3DFMT_DXT1,
                   S_OK},
        FormatCase{"NoFilter", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_FILTER, D3DRTYPE_TEXTURE, D3DFMT_L8,
                   D3DERR_NOTAVAILABLE},
        FormatCase{"Dynamic", D3DFMT_X8R8G8B8, D3DUSAGE_DYNAMIC, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8,
                   S_OK},
        FormatCase{"NoDynamic", D3DFMT_X8R8G8B8, D3DUSAGE_DYNAMIC, D3DRTYPE_TEXTURE, D3DFMT_DXT1,
                   D3DERR_NOTAVAILABLE},
        FormatCase{"AutoGen", D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                   D3DFMT_A8R8G8B8, S_OK},
        FormatCase{"NoAutoGen", D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                   D3DFMT_DXT1, D3DOK_NOAUTOGEN},
        FormatCase{"VertexTexture", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_VERTEXTEXTURE, D3DRTYPE_TEXTURE,
                   D3DFMT_L8, S_OK},
        FormatCase{"NoVertexTexture", D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_VERTEXTEXTURE,
                   D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
        FormatCase{"Cube", D3DFMT_X8R8G8B8, 0, D3DRTYPE_CUBETEXTURE, D3DFMT_L8, S_OK},
        FormatCase{"NoCube", D3DFMT_X8R8G8B8, 0, D3DRTYPE_CUBETEXTURE, D3DFMT_DXT1,
                   D3DERR_NOTAVAILABLE},
        FormatCase{"Volume", D3DFMT_X8R8G8B8, 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_L8, S_OK},
        FormatCase{"NoVolume", D3DFMT_X8R8G8B8, 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8,
                   D3DERR_NOTAVAILABLE}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST_F(DeviceTest, StartsWithDirect3DDefaultStates) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ASSERT_TRUE(device);
    const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
        {D3DRS_CULLMODE, D3DCULL_CCW},     {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},  {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_COLORWRITEENABLE, 0xF},     {D3DRS_LIGHTING, TRUE},
        {D3DRS_ALPHABLENDENABLE, FALSE},   {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF}, {D3DRS_FILLMODE, D3DFILL_SOLID},
    };
    for (const auto& [state, value] : renderStates) {
        DWORD actual = 0;
        ASSERT_EQ(device->GetRenderState(state, &actual), S_OK);
        EXPECT_EQ(actual, value) << "render state " << state;
    }
    for (DWORD stage = 0; stage < 8; ++stage) {
        DWORD colorOp = 0, alphaOp = 0, arg1 = 0, arg2 = 0, index = 99;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &colorOp);
        device->GetTextureStageState(stage, D3DTSS_ALPHAOP, &alphaOp);
        device->GetTextureStageState(stage, D3DTSS_COLORARG1, &arg1);
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG2, &arg2);
        device->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &index);
        EXPECT_EQ(colorOp, stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE) << stage;
        EXPECT_EQ(alphaOp, stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE) << stage;
        EXPECT_EQ(arg1, D3DTA_TEXTURE);
        EXPECT_EQ(arg2, D3DTA_CURRENT);
        EXPECT_EQ(index, stage);
    }
    DWORD value = 0;
    device->GetSamplerState(3, D3DSAMP_ADDRESSV, &value);
    EXPECT_EQ(value, D3DTADDRESS_WRAP);
    device->GetSamplerState(3, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, D3DTEXF_POINT);
    device->GetSamplerState(3, D3DSAMP_MIPFILTER, &value);
    EXPECT_EQ(value, D3DTEXF_NONE);
    device->GetSamplerState(3, D3DSAMP_MAXANISOTROPY, &value);
    EXPECT_EQ(value, 1u);
    D3DMATRIX world{};
    ASSERT_EQ(device->GetTransform(D3DTS_WORLD, &world), S_OK);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(world.m[row][column], row == column ? 1.0f : 0.0f);
        }
    }
    EXPECT_EQ(device->SetVertexShader(nullptr), S_OK);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(300), 1), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ScratchTexturesCannotBeSet) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DTexture9> scratch;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                    scratch.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    EXPECT_EQ(device->SetTexture(0, scratch.Get()), D3DERR_INVALIDCALL);
    ComPtr<IDirect3DBaseTexture9> bound;
    ASSERT_EQ(device->GetTexture(0, bound.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(bound);
}

TEST_F(DeviceTest, ResetIsRefusedWhileDefaultPoolResourcesOrStateBlocksLive) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    D3DPRESENT_PARAMETERS parameters = GameParameters();

    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    texture.Reset();
    EXPECT_EQ(device->Reset(&parameters), S_OK);

    ComPtr<IDirect3DStateBlock9> block;
    ASSERT_EQ(device->BeginStateBlock(), S_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ASSERT_EQ(device->EndStateBlock(block.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    block.Reset();

    ComPtr<IDirect3DSurface9> backBuffer;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.ReleaseAndGetAddressOf());
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL) << "back buffer still held";
    backBuffer.Reset();
    EXPECT_EQ(device->Reset(&parameters), S_OK);
}

TEST_F(DeviceTest, ResetRestoresDefaultsAndKeepsManagedTextures) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), S_OK);
    for (int y = 0; y < 4; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 4; ++x) {
            row[x] = 0xFF000000u | static_cast<std::uint32_t>(y * 4 + x);
        }
    }
    ASSERT_EQ(texture->UnlockRect(0), S_OK);

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const D3DVIEWPORT9 small = {10, 10, 100, 100, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&small), S_OK);
    ASSERT_EQ(device->SetTexture(0, texture.Get()), S_OK);

    D3DPRESENT_PARAMETERS parameters = GameParameters();
    ASSERT_EQ(device->Reset(&parameters), S_OK);
    EXPECT_EQ(parameters.BackBufferWidth, 640u);

    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, D3DCULL_CCW);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Width, 640u);
    EXPECT_EQ(viewport.Height, 480u);
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(0, bound.ReleaseAndGetAddressOf());
    EXPECT_FALSE(bound);

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
    for (int y = 0; y < 4; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(row[x], 0xFF000000u | static_cast<std::uint32_t>(y * 4 + x));
        }
    }
    texture->UnlockRect(0);
}

D3DMATRIX Translation(float x, float y) {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._41 = x;
    m._42 = y;
    return m;
}

TEST_F(DeviceTest, StateBlocksRecordExactlyTheStatesSetAndCaptureRefreshes) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ComPtr<IDirect3DVertexBuffer9> buffer;
    ASSERT_EQ(device->CreateVertexBuffer(96, 0, 0, D3DPOOL_MANAGED, buffer.ReleaseAndGetAddressOf(),
                                         nullptr),
              S_OK);
    const D3DMATRIX moved = Translation(3.0f, 4.0f);
    const D3DVIEWPORT9 small = {0, 0, 64, 32, 0.0f, 1.0f};

    ComPtr<IDirect3DStateBlock9> block;
    ASSERT_EQ(device->BeginStateBlock(), S_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTexture(0, texture.Get());
    device->SetTransform(D3DTS_WORLD, &moved);
    device->SetViewport(&small);
    device->SetStreamSource(0, buffer.Get(), 0, 24);
    ASSERT_EQ(device->EndStateBlock(block.ReleaseAndGetAddressOf()), S_OK);

    // Change every recorded state, and one state that was not recorded.
    D3DPRESENT_PARAMETERS parameters = GameParameters();
    (void)parameters;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetTexture(0, nullptr);
    const D3DMATRIX identity = Translation(0.0f, 0.0f);
    device->SetTransform(D3DTS_WORLD, &identity);
    const D3DVIEWPORT9 full = {0, 0, 640, 480, 0.0f, 1.0f};
    device->SetViewport(&full);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);

    ASSERT_EQ(block->Apply(), S_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, D3DCULL_NONE);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, D3DTOP_SELECTARG2);
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, D3DTADDRESS_CLAMP);
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE)) << "a state not recorded must stay";
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(0, bound.ReleaseAndGetAddressOf());
    EXPECT_EQ(bound.Get(), static_cast<IDirect3DBaseTexture9*>(texture.Get()));
    D3DMATRIX world{};
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world._41, 3.0f);
    EXPECT_EQ(world._42, 4.0f);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 64u);
    ComPtr<IDirect3DVertexBuffer9> stream;
    UINT offset = 1, stride = 0;
    device->GetStreamSource(0, stream.ReleaseAndGetAddressOf(), &offset, &stride);
    EXPECT_EQ(stream.Get(), buffer.Get());
    EXPECT_EQ(stride, 24u);

    // Capture takes the current values of the recorded states only.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetTexture(0, nullptr);
    ASSERT_EQ(block->Capture(), S_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetTexture(0, texture.Get());
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    ASSERT_EQ(block->Apply(), S_OK);
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, D3DCULL_CW);
    device->GetTexture(0, bound.ReleaseAndGetAddressOf());
    EXPECT_FALSE(bound);
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));

    // Only one recording at a time; EndStateBlock needs a BeginStateBlock.
    ComPtr<IDirect3DStateBlock9> none;
    EXPECT_EQ(device->EndStateBlock(none.ReleaseAndGetAddressOf()), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginStateBlock(), S_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndStateBlock(none.ReleaseAndGetAddressOf()), S_OK);
}

TEST_F(DeviceTest, RecordingAStateBlockLeavesTheDeviceStateAlone) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    const D3DMATRIX moved = Translation(3.0f, 4.0f);
    ComPtr<IDirect3DStateBlock9> block;
    ASSERT_EQ(device->BeginStateBlock(), S_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTransform(D3DTS_WORLD, &moved);
    ASSERT_EQ(device->EndStateBlock(block.ReleaseAndGetAddressOf()), S_OK);

    DWORD cull = 0;
    DWORD address = 0;
    D3DMATRIX world = {};
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &address);
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(world._41, 0.0f);

    ASSERT_EQ(block->Apply(), S_OK);
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &address);
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(world._41, 3.0f);
}

TEST_F(DeviceTest, StateBlockHoldsItsResources) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        S_OK);
    ComPtr<IDirect3DStateBlock9> block;
    device->BeginStateBlock();
    device->SetTexture(0, texture);
    device->EndStateBlock(block.ReleaseAndGetAddressOf());
    device->SetTexture(0, nullptr);
    // The block keeps the texture alive after its creator lets go.
    EXPECT_EQ(texture->Release(), 0u);
    ASSERT_EQ(block->Apply(), S_OK);
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(0, bound.ReleaseAndGetAddressOf());
    EXPECT_EQ(bound.Get(), static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(texture->GetLevelCount(), 1u);
}

TEST_F(DeviceTest, CreateStateBlockAllCapturesEverything) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    ComPtr<IDirect3DStateBlock9> block;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, block.ReleaseAndGetAddressOf()), S_OK);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_ALPHAREF, 77);
    ASSERT_EQ(block->Apply(), S_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, D3DBLEND_SRCALPHA);
    device->GetRenderState(D3DRS_ALPHAREF, &value);
    EXPECT_EQ(value, 0u);
}

TEST_F(DeviceTest, ApplyIsOneOperationForFaultsAndTheLog) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DStateBlock9> block;
    device->BeginStateBlock();
    device->SetRenderState(D3DRS_ALPHAREF, 9);
    device->EndStateBlock(block.ReleaseAndGetAddressOf());
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    InjectFault("SetRenderState", 1, E_FAIL);
    ClearCallLog();
    ASSERT_EQ(block->Apply(), S_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_ALPHAREF, &value);
    EXPECT_EQ(value, 9u);
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"StateBlock::Apply", "GetRenderState"}));
    EXPECT_EQ(device->SetRenderState(D3DRS_ALPHAREF, 1), E_FAIL);
}

TEST_F(DeviceTest, ResourcesMayOutliveTheApplicationsDeviceReference) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        S_OK);
    ASSERT_EQ(device->SetTexture(0, texture), S_OK);
    device.Reset();
    // The device lives on for the texture, which can still reach it.
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DeviceTest, CopiesCheckThePools) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    auto make = [&](D3DPOOL pool, DWORD usage) {
        ComPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(device->CreateTexture(8, 8, 1, usage, D3DFMT_A8R8G8B8, pool,
                                        texture.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        return texture;
    };
    ComPtr<IDirect3DTexture9> system = make(D3DPOOL_SYSTEMMEM, 0);
    ComPtr<IDirect3DTexture9> managed = make(D3DPOOL_MANAGED, 0);
    ComPtr<IDirect3DTexture9> video = make(D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(device->UpdateTexture(system.Get(), video.Get()), S_OK);
    EXPECT_EQ(device->UpdateTexture(managed.Get(), video.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->UpdateTexture(system.Get(), managed.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->UpdateTexture(nullptr, video.Get()), D3DERR_INVALIDCALL);

    // StretchRect between default-pool surfaces: a render target onto the
    // back buffer, seen in the presented frame.
    ComPtr<IDirect3DSurface9> target;
    ASSERT_EQ(device->CreateRenderTarget(640, 480, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         target.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(target->LockRect(&locked, nullptr, 0), S_OK);
    static_cast<std::uint32_t*>(locked.pBits)[0] = 0xFF0A0B0C;
    target->UnlockRect();
    ComPtr<IDirect3DSurface9> backBuffer;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.ReleaseAndGetAddressOf());
    ComPtr<IDirect3DSurface9> offscreen;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(640, 480, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  offscreen.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    EXPECT_EQ(
        device->StretchRect(offscreen.Get(), nullptr, backBuffer.Get(), nullptr, D3DTEXF_NONE),
        D3DERR_INVALIDCALL);
    ASSERT_EQ(device->StretchRect(target.Get(), nullptr, backBuffer.Get(), nullptr, D3DTEXF_NONE),
              S_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    std::vector<std::uint32_t> frame;
    UINT width = 0, height = 0;
    ASSERT_TRUE(ReadPresentedFrame(device.Get(), &frame, &width, &height));
    EXPECT_EQ(frame[0], 0xFF0A0B0Cu);
}

TEST_F(DeviceTest, LastReleaseLeavesTheLastPresentedFrameInTheNamedFile) {
    char pattern[] = "/tmp/vellorn_frame_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string directory = pattern;
    const std::string file = directory + "/frame.png";
    // Presents a blue frame with a grey top-left pixel, then lets go of the
    // device, keeping a reference to its back buffer for a while.
    const auto presentAndRelease = [&](bool present) {
        ComPtr<IDirect3DDevice9> device = MakeDevice();
        ComPtr<IDirect3DSurface9> backBuffer;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.ReleaseAndGetAddressOf());
        if (present) {
            const D3DRECT corner = {0, 0, 1, 1};
            ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), S_OK);
            ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
            ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0x80445566, 1.0f, 0), S_OK);
            ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        }
        device.Reset();
        EXPECT_FALSE(std::filesystem::exists(file)) << "written when the device goes";
    };

    SetPresentedFrameFile(file);
    presentAndRelease(true);
    Image image;
    ASSERT_TRUE(ReadPng(file, &image));
    ASSERT_EQ(image.width, 640);
    ASSERT_EQ(image.height, 480);
    EXPECT_EQ(image.pixels[0], 0xFF445566u);
    EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), 0xFF0000FFu), 640 * 480 - 1);

    // Nothing presented, no file named, or a file that cannot be made: no
    // file, and the device goes all the same.
    std::filesystem::remove(file);
    presentAndRelease(false);
    EXPECT_FALSE(std::filesystem::exists(file));
    SetPresentedFrameFile("");
    presentAndRelease(true);
    EXPECT_FALSE(std::filesystem::exists(file));
    SetPresentedFrameFile(directory + "/missing/frame.png");
    presentAndRelease(true);
    EXPECT_FALSE(std::filesystem::exists(directory + "/missing"));
    std::filesystem::remove_all(directory);
}

enum class LossCause { Hook, Minimise };

class LossTest : public DeviceTest, public ::testing::WithParamInterface<LossCause> {
  protected:
    void Lose(IDirect3DDevice9* device, bool lost) {
        if (GetParam() == LossCause::Hook) {
            SetHeadlessDeviceLost(device, lost);
        } else {
            HeadlessMinimise(window_, lost);
        }
    }
};

TEST_P(LossTest, LostDeviceFailsQuietlyAndRecoversThroughReset) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ASSERT_EQ(device->TestCooperativeLevel(), S_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0), S_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);

    Lose(device.Get(), true);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    ASSERT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), S_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF445566, 1.0f, 0), S_OK);
    ASSERT_EQ(device->EndScene(), S_OK);
    D3DPRESENT_PARAMETERS parameters = GameParameters();
    EXPECT_EQ(device->Reset(&parameters), D3DERR_DEVICELOST);

    Lose(device.Get(), false);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    ASSERT_EQ(device->Reset(&parameters), S_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);

    // The clear while lost drew nothing; the device draws again now.
    std::vector<std::uint32_t> frame;
    UINT width = 0, height = 0;
    ASSERT_TRUE(ReadPresentedFrame(device.Get(), &frame, &width, &height));
    EXPECT_EQ(frame[0], 0xFF112233u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF778899, 1.0f, 0), S_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    ASSERT_TRUE(ReadPresentedFrame(device.Get(), &frame, &width, &height));
    EXPECT_EQ(frame[0], 0xFF778899u);
}

INSTANTIATE_TEST_SUITE_P(Causes, LossTest, ::testing::Values(LossCause::Hook, LossCause::Minimise),
                         [](const ::testing::TestParamInfo<LossCause>& info) {
                             return info.param == LossCause::Hook ? "Hook" : "Minimise";
                         });

TEST_F(DeviceTest, FaultInjectionFailsTheNthCallAndTheLogRecordsCalls) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ClearCallLog();
    InjectFault("CreateTexture", 2, E_OUTOFMEMORY);
    InjectFault("BeginScene", 1, D3DERR_DRIVERINTERNALERROR);
    ComPtr<IDirect3DTexture9> texture;
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              E_OUTOFMEMORY);
    EXPECT_FALSE(texture);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->EndScene(), S_OK);

    // The device's own operations appear in order (resources may log more).
    std::vector<std::string> deviceCalls;
    for (const std::string& call : CallLog()) {
        if (call == "CreateTexture" || call == "BeginScene" || call == "EndScene") {
            deviceCalls.push_back(call);
        }
    }
    const std::vector<std::string> expected = {"CreateTexture", "CreateTexture", "CreateTexture",
                                               "BeginScene",    "BeginScene",    "EndScene"};
    EXPECT_EQ(deviceCalls, expected);
}

TEST_F(DeviceTest, DebugSetMuteIsFoundByTheDiagnosticChannelAndSilencesReports) {
    diagnosticChannel = {};
    std::vector<std::string> output;
    SetDebugOutputCapture([&](const char* text) { output.emplace_back(text); });
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ASSERT_NE(GetModuleHandleA("d3d9.dll"), nullptr);

    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0].rfind("Direct3D9: (ERROR) :", 0), 0u) << output[0];

    SetDebugMute(TRUE);
    EXPECT_NE(diagnosticChannel.runtimeMute[0], nullptr);
    EXPECT_TRUE(RuntimeDebugMuted());
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(output.size(), 1u);

    SetDebugMute(FALSE);
    EXPECT_FALSE(RuntimeDebugMuted());
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(output.size(), 2u);
    SetDebugOutputCapture(nullptr);
    diagnosticChannel = {};
}

}  // namespace
