// Drawing through the whole device: declaration, buffers, transforms,
// texture, the draw calls, Clear and Present, read back from a headless
// present.
#include <cstring>
#include <vector>

#include "device_test_support.h"

namespace {

struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};

const D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END,
};

// Maps pixel (x, y) to clip space with the half-pixel offset, so that a
// quad from (x, y) to (x + w, y + h) covers exactly those pixels.
D3DMATRIX PixelProjection(float width, float height) {
    D3DMATRIX m{};
    m._11 = 2.0f / width;
    m._22 = -2.0f / height;
    m._33 = 1.0f;
    m._41 = -1.0f - 1.0f / width;
    m._42 = 1.0f + 1.0f / height;
    m._44 = 1.0f;
    return m;
}

std::uint32_t Texel(int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(x * 8) << 16 |
           static_cast<std::uint32_t>(y * 8) << 8 | 0x40u;
}

class DrawTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        BeforeDevice();
        device_ = MakeDevice();
        ASSERT_TRUE(device_);
        ASSERT_EQ(
            device_->CreateVertexDeclaration(kElements, declaration_.ReleaseAndGetAddressOf()),
            S_OK);
        ASSERT_EQ(
            device_->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                        vertices_.ReleaseAndGetAddressOf(), nullptr),
            S_OK);
        ASSERT_EQ(
            device_->CreateIndexBuffer(6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_MANAGED, indices_.ReleaseAndGetAddressOf(), nullptr),
            S_OK);
        const Vertex quad[4] = {{100, 50, 0.5f, 0xFFFFFFFF, 0, 0},
                                {132, 50, 0.5f, 0xFFFFFFFF, 1, 0},
                                {100, 82, 0.5f, 0xFFFFFFFF, 0, 1},
                                {132, 82, 0.5f, 0xFFFFFFFF, 1, 1}};
        void* data = nullptr;
        ASSERT_EQ(vertices_->Lock(0, 0, &data, 0), S_OK);
        std::memcpy(data, quad, sizeof quad);
        vertices_->Unlock();
        const WORD order[6] = {0, 1, 2, 1, 3, 2};
        ASSERT_EQ(indices_->Lock(0, 0, &data, 0), S_OK);
        std::memcpy(data, order, sizeof order);
        indices_->Unlock();

        ASSERT_EQ(device_->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         texture_.ReleaseAndGetAddressOf(), nullptr),
                  S_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), S_OK);
        for (int y = 0; y < 32; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                         y * locked.Pitch);
            for (int x = 0; x < 32; ++x) {
                row[x] = Texel(x, y);
            }
        }
        texture_->UnlockRect(0);

        device_->SetVertexDeclaration(declaration_.Get());
        device_->SetStreamSource(0, vertices_.Get(), 0, sizeof(Vertex));
        device_->SetIndices(indices_.Get());
        const D3DMATRIX projection = PixelProjection(640.0f, 480.0f);
        device_->SetTransform(D3DTS_PROJECTION, &projection);
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetTexture(0, texture_.Get());
    }

    void TearDown() override {
        texture_.Reset();
        indices_.Reset();
        vertices_.Reset();
        declaration_.Reset();
        device_.Reset();
        DeviceTest::TearDown();
    }

    // Lets a fixture install a device profile before the device is made.
    virtual void BeforeDevice() {}

    std::vector<std::uint32_t> PresentAndRead() {
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        std::vector<std::uint32_t> frame;
        UINT width = 0, height = 0;
        EXPECT_TRUE(ReadPresentedFrame(device_.Get(), &frame, &width, &height));
        EXPECT_EQ(width, 640u);
        EXPECT_EQ(height, 480u);
        return frame;
    }

    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DVertexDeclaration9> declaration_;
    ComPtr<IDirect3DVertexBuffer9> vertices_;
    ComPtr<IDirect3DIndexBuffer9> indices_;
    ComPtr<IDirect3DTexture9> texture_;
};

TEST_F(DrawTest, TexturedQuadReproducesTheTexelsOneToOne) {
    constexpr std::uint32_t kBackground = 0xFF203040;
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC}) {
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), S_OK);
        ASSERT_EQ(device_->BeginScene(), S_OK);
        ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
        ASSERT_EQ(device_->EndScene(), S_OK);
        const std::vector<std::uint32_t> frame = PresentAndRead();
        ASSERT_EQ(frame.size(), 640u * 480u);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                const bool inside = x >= 100 && x < 132 && y >= 50 && y < 82;
                const std::uint32_t expected = inside ? Texel(x - 100, y - 50) : kBackground;
                if (frame[static_cast<std::size_t>(y) * 640 + x] != expected && ++wrong <= 5) {
                    ADD_FAILURE() << "filter " << filter << " pixel (" << x << ", " << y
                                  << "): " << std::hex << frame[y * 640 + x] << " expected "
                                  << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "filter " << filter;
    }
}

TEST_F(DrawTest, DrawPrimitiveTransformsByWorldViewProjection) {
    // Moved 200 pixels right by the world and 100 down by the view; the
    // diffuse colour is the result without a texture (stage 0 selects it).
    const D3DMATRIX world = [] {
        D3DMATRIX m{};
        m._11 = m._22 = m._33 = m._44 = 1.0f;
        m._41 = 200.0f;
        return m;
    }();
    const D3DMATRIX view = [] {
        D3DMATRIX m{};
        m._11 = m._22 = m._33 = m._44 = 1.0f;
        m._42 = 100.0f;
        return m;
    }();
    device_->SetTransform(D3DTS_WORLD, &world);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTexture(0, nullptr);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    const Vertex triangles[6] = {{0, 0, 0.5f, 0xFFFF0000, 0, 0},   {10, 0, 0.5f, 0xFFFF0000, 0, 0},
                                 {0, 10, 0.5f, 0xFFFF0000, 0, 0},  {10, 0, 0.5f, 0xFFFF0000, 0, 0},
                                 {10, 10, 0.5f, 0xFFFF0000, 0, 0}, {0, 10, 0.5f, 0xFFFF0000, 0, 0}};
    ComPtr<IDirect3DVertexBuffer9> buffer;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof triangles, 0, 0, D3DPOOL_MANAGED,
                                          buffer.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), S_OK);
    std::memcpy(data, triangles, sizeof triangles);
    buffer->Unlock();
    device_->SetStreamSource(0, buffer.Get(), 0, sizeof(Vertex));
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), S_OK);
    ASSERT_EQ(device_->BeginScene(), S_OK);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), S_OK);
    ASSERT_EQ(device_->EndScene(), S_OK);
    const std::vector<std::uint32_t> frame = PresentAndRead();
    int covered = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inside = x >= 200 && x < 210 && y >= 100 && y < 110;
            const std::uint32_t pixel = frame[static_cast<std::size_t>(y) * 640 + x];
            EXPECT_EQ(pixel, inside ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
            covered += inside ? 1 : 0;
            if (pixel != (inside ? 0xFFFF0000u : 0xFF000000u)) {
                return;
            }
        }
    }
    EXPECT_EQ(covered, 100);
}

TEST_F(DrawTest, ClearFillsRectanglesInsideTheViewport) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), S_OK);
    const D3DVIEWPORT9 viewport = {10, 10, 20, 20, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&viewport), S_OK);
    const D3DRECT rects[2] = {{0, 0, 15, 15}, {25, 25, 100, 100}};
    ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), S_OK);
    const std::vector<std::uint32_t> frame = PresentAndRead();
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool first = x >= 10 && x < 15 && y >= 10 && y < 15;
            const bool second = x >= 25 && x < 30 && y >= 25 && y < 30;
            EXPECT_EQ(frame[static_cast<std::size_t>(y) * 640 + x],
                      first || second ? 0xFF00FF00u : 0xFF000000u)
                << x << "," << y;
        }
    }
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

// Draws whose arguments are refused whether or not the profile rasterises.
class DrawChecksTest : public DrawTest, public ::testing::WithParamInterface<bool> {
  protected:
    void BeforeDevice() override {
        DeviceProfile profile = DefaultDeviceProfile();
        profile.rasterize = GetParam();
        UseProfile(profile);
    }
};

TEST_P(DrawChecksTest, InvalidDrawsAreRefused) {
    // Outside a scene.
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), S_OK);
    ASSERT_EQ(device_->BeginScene(), S_OK);
    struct Case {
        const char* name;
        HRESULT result;
    };
    const Case cases[] = {
        {"too many indices", device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 3)},
        {"start index past the end",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2)},
        {"index outside the vertex range",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2)},
        {"base vertex past the buffer",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 2, 4, 0, 2)},
        {"vertex range past the buffer",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 5, 0, 2)},
        {"vertex range moved past the buffer by the base",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2)},
        {"vertex range before the buffer",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 2)},
        {"all vertices", device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 0xFFFFFFFF, 0, 2)},
        {"largest range and base", device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0x7FFFFFFF,
                                                                 0xFFFFFFFF, 0xFFFFFFFF, 0, 2)},
        {"index below the range", device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 1, 3, 0, 2)},
        {"last start index",
         device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0xFFFFFFFF, 1)},
        {"vertices past the buffer", device_->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1)},
        {"last start vertex", device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFF, 1)},
        {"most primitives", device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0xFFFFFFFF)},
        {"strip", device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2)},
        {"no primitives", device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, D3DERR_INVALIDCALL) << c.name;
    }
    device_->SetVertexDeclaration(nullptr);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    device_->SetVertexDeclaration(declaration_.Get());

    // Valid draws succeed; only a rasterising profile shows them.
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), S_OK);
    ASSERT_EQ(device_->EndScene(), S_OK);
    const std::vector<std::uint32_t> frame = PresentAndRead();
    EXPECT_EQ(frame[60 * 640 + 110], GetParam() ? Texel(10, 10) : 0xFF000000u);
}

INSTANTIATE_TEST_SUITE_P(Draw, DrawChecksTest, ::testing::Bool(), [](const auto& info) {
    return info.param ? "Rasterised" : "Unrasterised";
});

}  // namespace
