// The sprite batcher on the headless software device: misuse and its
// messages, state blocks and device calls of Begin and End, queued geometry
// and the rendered result.
#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "sprite/sprite_fixture.h"

namespace {

struct Misuse {
    const char* name;
    HRESULT (*call)(ID3DXSprite*, IDirect3DTexture9*);
    const char* message;
};

void PrintTo(const Misuse& c, std::ostream* os) {
    *os << c.name;
}

const Misuse kMisuses[] = {
    {"BeginTwice",
     [](ID3DXSprite* s, IDirect3DTexture9*) {
         s->Begin(0);
         return s->Begin(0);
     },
     "Begin called from within a Begin/End pair"},
    {"EndWithoutBegin", [](ID3DXSprite* s, IDirect3DTexture9*) { return s->End(); },
     "End called without matching Begin"},
    {"FlagAbove0x80", [](ID3DXSprite* s, IDirect3DTexture9*) { return s->Begin(0x100); },
     "Flags parameter is invalid"},
    {"DrawOutside",
     [](ID3DXSprite* s, IDirect3DTexture9* t) { return s->Draw(t, nullptr, nullptr, nullptr, 0); },
     "ID3DXSprite::Draw called outside a Begin/End pair"},
    {"DrawNoTexture",
     [](ID3DXSprite* s, IDirect3DTexture9*) {
         s->Begin(0);
         return s->Draw(nullptr, nullptr, nullptr, nullptr, 0);
     },
     "pTexture pointer is invalid"},
    {"FlushOutside", [](ID3DXSprite* s, IDirect3DTexture9*) { return s->Flush(); },
     "ID3DXSprite::Flush called outside a Begin/End pair"},
    {"WorldViewLHInside",
     [](ID3DXSprite* s, IDirect3DTexture9*) {
         s->Begin(0);
         return s->SetWorldViewLH(nullptr, nullptr);
     },
     "ID3DXSprite::SetWorldViewLH called inside a Begin/End pair"},
    {"WorldViewRHInside",
     [](ID3DXSprite* s, IDirect3DTexture9*) {
         s->Begin(0);
         return s->SetWorldViewRH(nullptr, nullptr);
     },
     "ID3DXSprite::SetWorldViewRH called inside a Begin/End pair"},
    {"GetTransformNull",
     [](ID3DXSprite* s, IDirect3DTexture9*) { return s->GetTransform(nullptr); },
     "pTransform pointer is invalid"},
    {"SetTransformNull",
     [](ID3DXSprite* s, IDirect3DTexture9*) { return s->SetTransform(nullptr); },
     "pTransform pointer is invalid"},
    {"GetDeviceNull", [](ID3DXSprite* s, IDirect3DTexture9*) { return s->GetDevice(nullptr); },
     "ppDevice pointer is invalid"},
    {"QueryInterfaceNull",
     [](ID3DXSprite* s, IDirect3DTexture9*) { return s->QueryInterface(IID_ID3DXSprite, nullptr); },
     "ppv pointer is invalid"},
    {"DrawAfterLostDevice",
     [](ID3DXSprite* s, IDirect3DTexture9* t) {
         s->Begin(0);
         s->OnLostDevice();
         return s->Draw(t, nullptr, nullptr, nullptr, 0);
     },
     "ID3DXSprite::Draw called outside a Begin/End pair"},
};

class SpriteMisuseTest : public SpriteTest, public ::testing::WithParamInterface<Misuse> {};

TEST_P(SpriteMisuseTest, ReportsMessageAndInvalidCall) {
    EXPECT_EQ(GetParam().call(sprite_.Get(), texture_.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(LastMessage(), std::string("D3DX: ") + GetParam().message + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Sprite, SpriteMisuseTest, ::testing::ValuesIn(kMisuses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpriteTest, CreationChecksItsArguments) {
    ID3DXSprite* sprite = nullptr;
    EXPECT_EQ(D3DXCreateSprite(nullptr, &sprite), D3DERR_INVALIDCALL);
    EXPECT_EQ(LastMessage(), "D3DX: pDevice pointer is invalid\r\n");
    EXPECT_EQ(D3DXCreateSprite(device_.Get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(LastMessage(), "D3DX: ppSprite pointer is invalid\r\n");
}

TEST_F(SpriteTest, IdentityAndReferences) {
    void* object = nullptr;
    EXPECT_EQ(sprite_->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(sprite_.Get()));
    EXPECT_EQ(sprite_->Release(), 1u);
    object = &object;
    EXPECT_EQ(sprite_->QueryInterface(IID_IDirect3DDevice9, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(sprite_->AddRef(), 2u);
    EXPECT_EQ(sprite_->Release(), 1u);
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(sprite_->GetDevice(&device), S_OK);
    EXPECT_EQ(device, device_.Get());
    device->Release();
}

TEST_F(SpriteTest, AlphaBlendWithoutSavingSetsEverythingAndRestoresNothing) {
    ClearCallLog();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE), S_OK);
    EXPECT_EQ(Count("StateBlock::Capture"), 0);
    EXPECT_EQ(Count("StateBlock::Apply"), 3);
    EXPECT_EQ(Count("GetViewport"), 1);
    D3DMATRIX projection{};
    device_->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_FLOAT_EQ(projection._11, 2.0f / 640.0f);
    EXPECT_FLOAT_EQ(projection._22, -2.0f / 480.0f);
    EXPECT_FLOAT_EQ(projection._41, -1.0f / 640.0f - 1.0f);
    EXPECT_FLOAT_EQ(projection._42, 1.0f / 480.0f + 1.0f);
    DWORD value = 0;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, 1u);
    device_->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 0u);
    ClearCallLog();
    ASSERT_EQ(sprite_->End(), S_OK);
    EXPECT_EQ(Count("StateBlock::Apply"), 0);
}

TEST_F(SpriteTest, SavedStateIsRestoredByEnd) {
    // The state blocks are recorded by the first Begin; the pair after it
    // captures and restores.
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->SetRenderState(D3DRS_CULLMODE, 3);
    ClearCallLog();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    EXPECT_EQ(Count("StateBlock::Capture"), 3);
    DWORD value = 0;
    device_->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, 3u);
}

TEST_F(SpriteTest, ObjectSpaceLeavesTransformsAlone) {
    ClearCallLog();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_OBJECTSPACE), S_OK);
    EXPECT_EQ(Count("StateBlock::Capture"), 1);  // general state only
    EXPECT_EQ(Count("GetViewport"), 0);
    ASSERT_EQ(sprite_->End(), S_OK);
    ClearCallLog();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_BILLBOARD), S_OK);  // implies object space
    EXPECT_EQ(Count("StateBlock::Capture"), 2);
    EXPECT_EQ(Count("GetViewport"), 0);
    ASSERT_EQ(sprite_->End(), S_OK);
}

TEST_F(SpriteTest, DrawAfterLostDeviceWaitsForBeginWhichRebuilds) {
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    ASSERT_EQ(sprite_->OnLostDevice(), S_OK);
    ClearCallLog();
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    EXPECT_EQ(Count("CreateIndexBuffer"), 1);
    EXPECT_EQ(Count("CreateVertexBuffer"), 1);
    EXPECT_EQ(Count("EndStateBlock"), 6);
    EXPECT_EQ(sprite_->Draw(texture_.Get(), nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(sprite_->End(), S_OK);
}

TEST_F(SpriteTest, BufferCreationFailureIsReturnedAndLeavesBeginClear) {
    ASSERT_EQ(sprite_->OnLostDevice(), S_OK);
    InjectFault("CreateVertexBuffer", 1, E_OUTOFMEMORY);
    EXPECT_EQ(sprite_->Begin(0), E_OUTOFMEMORY);
    EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite_->Begin(0), S_OK);
    EXPECT_EQ(sprite_->End(), S_OK);
}

TEST_F(SpriteTest, DrawCallsPerTextureRun) {
    for (const DWORD flags : {DWORD{0}, D3DXSPRITE_SORT_TEXTURE}) {
        ASSERT_EQ(sprite_->Begin(flags), S_OK);
        for (int i = 0; i < 10; ++i) {
            IDirect3DTexture9* t = (i % 2) ? other_.Get() : texture_.Get();
            ASSERT_EQ(sprite_->Draw(t, nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
        }
        ClearCallLog();
        ASSERT_EQ(sprite_->End(), S_OK);
        EXPECT_EQ(Count("DrawIndexedPrimitive"), flags ? 2 : 10);
        EXPECT_EQ(Count("SetTexture"), flags ? 2 : 10);
    }
}

// The quad of a (0, 0, 32, 32) rectangle of a 512 x 256 texture, read back from
// the vertex buffer the batcher drew from.
TEST_F(SpriteTest, RectangleGivesItsTextureCoordinates) {
    const RECT rect = {0, 0, 32, 32};
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    ASSERT_EQ(sprite_->Draw(texture_.Get(), &rect, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->Flush(), S_OK);

    ComPtr<IDirect3DVertexBuffer9> buffer;
    UINT offset = 0;
    UINT stride = 0;
    ASSERT_EQ(device_->GetStreamSource(0, buffer.ReleaseAndGetAddressOf(), &offset, &stride), S_OK);
    ASSERT_TRUE(buffer);
    ASSERT_EQ(stride, 24u);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(offset, 4 * stride, &data, D3DLOCK_READONLY), S_OK);
    float minU = 1.0f, maxU = 0.0f, minV = 1.0f, maxV = 0.0f;
    for (int corner = 0; corner < 4; ++corner) {
        float uv[2];
        std::memcpy(uv, static_cast<const char*>(data) + corner * stride + 16, sizeof(uv));
        minU = std::min(minU, uv[0]);
        maxU = std::max(maxU, uv[0]);
        minV = std::min(minV, uv[1]);
        maxV = std::max(maxV, uv[1]);
    }
    buffer->Unlock();
    EXPECT_EQ(minU, 0.0f);
    EXPECT_EQ(minV, 0.0f);
    EXPECT_EQ(maxU, 0.0625f);
    EXPECT_EQ(maxV, 0.125f);
    ASSERT_EQ(sprite_->End(), S_OK);
}

// Billboards: the position goes through the sprite transform, the quad keeps
// facing the viewer at the transform's scale, and a negative scale mirrors it.
struct BillboardCase {
    const char* name;
    float m11, m12, m21, m22;  // the sprite transform's upper-left 2 x 2
    D3DXVECTOR3 position;
    struct Probe {
        int x, y;
        std::uint32_t colour;
    } probes[4];
};

void PrintTo(const BillboardCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kBlack = 0xFF000000u;

const BillboardCase kBillboards[] = {
    // (10, 10) scaled to (20, 20), 4 x 4 texels to 8 x 8 pixels.
    {"Scaled",
     2,
     0,
     0,
     2,
     {10, 10, 0},
     {{20, 20, kRed}, {27, 27, kGreen}, {28, 27, kBlack}, {27, 28, kBlack}}},
    // (40, -20) rotated a quarter turn to (20, 40); the quad itself is not
    // rotated: red stays left of green.
    {"Rotated",
     0,
     1,
     -1,
     0,
     {40, -20, 0},
     {{20, 43, kRed}, {23, 40, kGreen}, {24, 40, kBlack}, {20, 44, kBlack}}},
    // (-50, 10) mirrored to (50, 10); the quad runs leftwards from x = 50.
    {"Mirrored",
     -1,
     0,
     0,
     1,
     {-50, 10, 0},
     {{46, 10, kGreen}, {49, 10, kRed}, {50, 10, kBlack}, {45, 10, kBlack}}},
};

class SpriteBillboardTest : public SpriteTest,
                            public ::testing::WithParamInterface<BillboardCase> {};

TEST_P(SpriteBillboardTest, QuadFacesTheViewerAtTheTransformsScale) {
    const BillboardCase& c = GetParam();
    // 4 x 4: two red columns, then two green ones.
    const ComPtr<IDirect3DTexture9> halves = MakeTexture(4, 4, kRed);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(halves->LockRect(0, &locked, nullptr, 0), S_OK);
    for (int y = 0; y < 4; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(static_cast<char*>(locked.pBits) + y * locked.Pitch);
        row[2] = row[3] = kGreen;
    }
    halves->UnlockRect(0);
    // Object space uses the device's own transforms: pixel coordinates here.
    D3DMATRIX projection{};
    projection._11 = 2.0f / 640.0f;
    projection._22 = -2.0f / 480.0f;
    projection._33 = 1.0f;
    projection._41 = -1.0f - 1.0f / 640.0f;
    projection._42 = 1.0f + 1.0f / 480.0f;
    projection._44 = 1.0f;
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    D3DXMATRIX transform;
    D3DXMatrixIdentity(&transform);
    transform._11 = c.m11;
    transform._12 = c.m12;
    transform._21 = c.m21;
    transform._22 = c.m22;
    ASSERT_EQ(sprite_->SetTransform(&transform), S_OK);

    device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_BILLBOARD), S_OK);
    ASSERT_EQ(sprite_->Draw(halves.Get(), nullptr, nullptr, &c.position, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    for (const BillboardCase::Probe& probe : c.probes) {
        EXPECT_EQ(frame[probe.y * 640 + probe.x], probe.colour) << probe.x << "," << probe.y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sprite, SpriteBillboardTest, ::testing::ValuesIn(kBillboards),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpriteTest, ScreenSpaceQuadCoversExactPixels) {
    const ComPtr<IDirect3DTexture9> red = MakeTexture(32, 32, 0xFFFF0000);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE), S_OK);
    const D3DXVECTOR3 position = {100.0f, 50.0f, 0.0f};
    ASSERT_EQ(sprite_->Draw(red.Get(), nullptr, nullptr, &position, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    for (int y = 48; y < 84; ++y) {
        for (int x = 98; x < 134; ++x) {
            const bool inside = x >= 100 && x <= 131 && y >= 50 && y <= 81;
            EXPECT_EQ(frame[y * 640 + x], inside ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
        }
    }
}

TEST_F(SpriteTest, TransparentTexelsShowTheBackground) {
    const ComPtr<IDirect3DTexture9> clear = MakeTexture(8, 8, 0x00FFFFFF);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    ASSERT_EQ(sprite_->Draw(clear.Get(), nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    EXPECT_EQ(PresentFrame(device_.Get())[3 * 640 + 3], 0xFF0000FFu);
}

TEST_F(SpriteTest, SetTransformInsideBatchAffectsOnlyLaterSprites) {
    const ComPtr<IDirect3DTexture9> red = MakeTexture(4, 4, 0xFFFF0000);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_DONOTSAVESTATE), S_OK);
    const D3DXVECTOR3 at = {10.0f, 10.0f, 0.0f};
    ASSERT_EQ(sprite_->Draw(red.Get(), nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    D3DXMATRIX moved;
    D3DXMatrixIdentity(&moved);
    moved._41 = 100.0f;
    ASSERT_EQ(sprite_->SetTransform(&moved), S_OK);
    ASSERT_EQ(sprite_->Draw(red.Get(), nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    EXPECT_EQ(frame[11 * 640 + 11], 0xFFFF0000u);   // first sprite untouched
    EXPECT_EQ(frame[11 * 640 + 111], 0xFFFF0000u);  // second one moved
    EXPECT_EQ(frame[11 * 640 + 211], 0xFF000000u);  // never moved twice
}

TEST_F(SpriteTest, TextureCoordinatesOfASubRectangle) {
    // The 512 x 256 texture: left half red, right half green. A 32 x 32
    // rectangle at the origin samples red; the same size at (256, 0), green.
    const ComPtr<IDirect3DTexture9> split = MakeTexture(512, 256, 0xFFFF0000);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(split->LockRect(0, &locked, nullptr, 0), S_OK);
    for (int y = 0; y < 256; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(static_cast<char*>(locked.pBits) + y * locked.Pitch);
        std::fill(row + 256, row + 512, 0xFF00FF00u);
    }
    split->UnlockRect(0);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    const RECT left = {0, 0, 32, 32};
    const RECT right = {256, 0, 288, 32};
    const D3DXVECTOR3 a = {0.0f, 0.0f, 0.0f};
    const D3DXVECTOR3 b = {40.0f, 0.0f, 0.0f};
    ASSERT_EQ(sprite_->Draw(split.Get(), &left, nullptr, &a, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->Draw(split.Get(), &right, nullptr, &b, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    EXPECT_EQ(frame[16 * 640 + 31], 0xFFFF0000u);
    EXPECT_EQ(frame[16 * 640 + 41], 0xFF00FF00u);
    EXPECT_EQ(frame[16 * 640 + 71], 0xFF00FF00u);
    EXPECT_EQ(frame[16 * 640 + 73], 0xFF000000u);
}

TEST_F(SpriteTest, GrowthKeepsQueuedSprites) {
    const ComPtr<IDirect3DTexture9> red = MakeTexture(4, 4, 0xFFFF0000);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device_->BeginScene();
    ASSERT_EQ(sprite_->Begin(0), S_OK);
    for (int i = 0; i < 65; ++i) {
        const D3DXVECTOR3 at = {static_cast<float>(i * 8), 0.0f, 0.0f};
        ASSERT_EQ(sprite_->Draw(red.Get(), nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    }
    ASSERT_EQ(sprite_->End(), S_OK);
    device_->EndScene();
    const std::vector<std::uint32_t> frame = PresentFrame(device_.Get());
    for (int i = 0; i < 65 && i * 8 < 640; ++i) {
        EXPECT_EQ(frame[640 + i * 8 + 1], 0xFFFF0000u) << i;
    }
}

class SpriteNoBlendTest : public SpriteTest {
  protected:
    void BeforeDevice() override {
        DeviceProfile profile = DefaultDeviceProfile();
        for (FormatSupport& format : profile.formats) {
            if (format.format == D3DFMT_X8R8G8B8) {
                format.postPixelShaderBlending = false;
            }
        }
        UseProfile(profile);
    }
};

TEST_F(SpriteNoBlendTest, FallsBackToAlphaTestAgainst63) {
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    DWORD value = 0;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, 0u);
    device_->GetRenderState(D3DRS_ALPHAREF, &value);
    EXPECT_EQ(value, 63u);
    device_->GetRenderState(D3DRS_ALPHATESTENABLE, &value);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(sprite_->End(), S_OK);
}

}  // namespace
