// Lifetimes between the device and what it hands out: every object holds its
// device while anyone holds the object, and what the device only binds goes
// with the device.
#include <functional>
#include <ostream>

#include "device_test_support.h"
#include "runtime/d3d9/resource_identity.h"

namespace {

constexpr D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};

// Makes one kind of object on device and binds it where the device can bind
// it; answers the object as IUnknown with the caller's one reference.
struct ChildKind {
    const char* name;
    std::function<IUnknown*(IDirect3DDevice9*)> make;
    std::function<HRESULT(IUnknown*, IDirect3DDevice9**)> getDevice;
};

void PrintTo(const ChildKind& kind, std::ostream* os) {
    *os << kind.name;
}

template <class Interface>
HRESULT GetDeviceOf(IUnknown* object, IDirect3DDevice9** device) {
    return static_cast<Interface*>(object)->GetDevice(device);
}

const ChildKind kKinds[] = {
    {"BoundTexture",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DTexture9* t = nullptr;
         d->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
         d->SetTexture(0, t);
         return t;
     },
     GetDeviceOf<IDirect3DTexture9>},
    {"BoundCubeTexture",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DCubeTexture9* t = nullptr;
         d->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
         d->SetTexture(1, t);
         return t;
     },
     GetDeviceOf<IDirect3DCubeTexture9>},
    {"BoundVertexBuffer",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DVertexBuffer9* b = nullptr;
         d->CreateVertexBuffer(256, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &b,
                               nullptr);
         d->SetStreamSource(0, b, 0, 16);
         return b;
     },
     GetDeviceOf<IDirect3DVertexBuffer9>},
    {"BoundIndexBuffer",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DIndexBuffer9* b = nullptr;
         d->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM, &b, nullptr);
         d->SetIndices(b);
         return b;
     },
     GetDeviceOf<IDirect3DIndexBuffer9>},
    {"BoundDeclaration",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DVertexDeclaration9* v = nullptr;
         d->CreateVertexDeclaration(kElements, &v);
         d->SetVertexDeclaration(v);
         return v;
     },
     GetDeviceOf<IDirect3DVertexDeclaration9>},
    {"RenderTarget",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DSurface9* s = nullptr;
         d->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &s, nullptr);
         return s;
     },
     GetDeviceOf<IDirect3DSurface9>},
    {"BackBuffer",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DSurface9* s = nullptr;
         d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &s);
         return s;
     },
     GetDeviceOf<IDirect3DSurface9>},
    {"RecordingStateBlock",
     [](IDirect3DDevice9* d) -> IUnknown* {
         IDirect3DTexture9* t = nullptr;
         d->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
         IDirect3DStateBlock9* block = nullptr;
         d->BeginStateBlock();
         d->SetTexture(0, t);
         d->EndStateBlock(&block);
         t->Release();
         return block;
     },
     GetDeviceOf<IDirect3DStateBlock9>},
};

class DeviceLifetimeTest : public DeviceTest, public ::testing::WithParamInterface<ChildKind> {};

TEST_P(DeviceLifetimeTest, AnObjectKeepsItsDeviceAfterTheApplicationsLastDeviceRelease) {
    IDirect3DDevice9* device = MakeDevice().Detach();
    ASSERT_NE(device, nullptr);
    IUnknown* child = GetParam().make(device);
    ASSERT_NE(child, nullptr);
    // The object's reference shows in the device's count.
    EXPECT_EQ(device->Release(), 1u);

    IDirect3DDevice9* reached = nullptr;
    ASSERT_EQ(GetParam().getDevice(child, &reached), S_OK);
    EXPECT_EQ(reached, device);
    D3DCAPS9 caps{};
    EXPECT_EQ(reached->GetDeviceCaps(&caps), S_OK);
    EXPECT_EQ(reached->Release(), 1u);
    // The last reference to the object takes the device with it.
    EXPECT_EQ(child->Release(), 0u);
    ResourceKind kind{};
    EXPECT_FALSE(LiveResourceKind(child, &kind));
}

TEST_P(DeviceLifetimeTest, WhatTheDeviceOnlyBindsGoesWithTheDevice) {
    IDirect3DDevice9* device = MakeDevice().Detach();
    ASSERT_NE(device, nullptr);
    IUnknown* child = GetParam().make(device);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Release(), 0u);
    // Bindings hold no reference on the device: one Release ends it, and
    // everything bound with it (LeakSanitizer checks nothing is left).
    EXPECT_EQ(device->Release(), 0u);
    ResourceKind kind{};
    EXPECT_FALSE(LiveResourceKind(child, &kind));
}

INSTANTIATE_TEST_SUITE_P(Children, DeviceLifetimeTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<ChildKind>& info) {
                             return info.param.name;
                         });

TEST_F(DeviceTest, ObjectsOfAnotherDeviceAreNotBound) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DDevice9> other = MakeDevice();
    ComPtr<IDirect3DTexture9> texture;
    ComPtr<IDirect3DVertexBuffer9> vertices;
    ComPtr<IDirect3DIndexBuffer9> indices;
    ComPtr<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(other->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                   texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ASSERT_EQ(other->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED,
                                        vertices.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ASSERT_EQ(other->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       indices.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ASSERT_EQ(other->CreateVertexDeclaration(kElements, declaration.ReleaseAndGetAddressOf()),
              S_OK);

    EXPECT_EQ(device->SetTexture(0, texture.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetStreamSource(0, vertices.Get(), 0, 12), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetIndices(indices.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexDeclaration(declaration.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(other->SetTexture(0, texture.Get()), S_OK);
    EXPECT_EQ(other->SetStreamSource(0, vertices.Get(), 0, 12), S_OK);
    EXPECT_EQ(other->SetIndices(indices.Get()), S_OK);
    EXPECT_EQ(other->SetVertexDeclaration(declaration.Get()), S_OK);
}

}  // namespace
