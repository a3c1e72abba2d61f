// How the device tells its own resources: objects of another implementation
// of the public interfaces are refused without being used, however they
// answer QueryInterface, and the device's own objects answer QueryInterface
// only for their public identifiers, each time with a reference.
#include <utility>
#include <vector>

#include "device_test_support.h"

namespace {

// An object of another implementation of Interface. It counts every call
// but AddRef and Release, and its QueryInterface hands itself out for every
// identifier, as a careless implementation might: a device that cast
// whatever QueryInterface gave it would take it for its own.
template <class Interface>
class Impostor : public Interface {
  public:
    HRESULT QueryInterface(REFIID, void** object) override {
        ++calls;
        AddRef();
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return Called(); }

    int calls = 0;
    ULONG references = 1;

  protected:
    HRESULT Called() {
        ++calls;
        return E_NOTIMPL;
    }
};

template <class Interface>
class ImpostorResource : public Impostor<Interface> {
  public:
    DWORD SetPriority(DWORD) override { return Count(); }
    DWORD GetPriority() override { return Count(); }
    void PreLoad() override { Count(); }
    D3DRESOURCETYPE GetType() override {
        Count();
        return D3DRTYPE_SURFACE;
    }

  protected:
    DWORD Count() {
        this->Called();
        return 0;
    }
};

struct ImpostorSurface final : ImpostorResource<IDirect3DSurface9> {
    HRESULT GetContainer(REFIID, void**) override { return Called(); }
    HRESULT GetDesc(D3DSURFACE_DESC*) override { return Called(); }
    HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return Called(); }
    HRESULT UnlockRect() override { return Called(); }
};

struct ImpostorTexture final : ImpostorResource<IDirect3DBaseTexture9> {
    DWORD SetLOD(DWORD) override { return Count(); }
    DWORD GetLOD() override { return Count(); }
    DWORD GetLevelCount() override { return Count(); }
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) override { return Called(); }
    D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override {
        Count();
        return D3DTEXF_NONE;
    }
    void GenerateMipSubLevels() override { Count(); }
};

template <class Interface, class Desc>
struct ImpostorBuffer final : ImpostorResource<Interface> {
    HRESULT Lock(UINT, UINT, void**, DWORD) override { return this->Called(); }
    HRESULT Unlock() override { return this->Called(); }
    HRESULT GetDesc(Desc*) override { return this->Called(); }
};

struct ImpostorDeclaration final : Impostor<IDirect3DVertexDeclaration9> {
    HRESULT GetDeclaration(D3DVERTEXELEMENT9*, UINT*) override { return Called(); }
};

TEST_F(DeviceTest, ForeignObjectsAreRefusedUntouched) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ImpostorSurface surface;
    ImpostorTexture texture;
    ImpostorBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC> vertices;
    ImpostorBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC> indices;
    ImpostorDeclaration declaration;

    ComPtr<IDirect3DSurface9> target;
    ASSERT_EQ(device->CreateRenderTarget(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         target.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ComPtr<IDirect3DSurface9> system;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  system.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ComPtr<IDirect3DTexture9> video;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                    video.ReleaseAndGetAddressOf(), nullptr),
              S_OK);

    const HRESULT results[] = {
        device->StretchRect(&surface, nullptr, target.Get(), nullptr, D3DTEXF_NONE),
        device->StretchRect(target.Get(), nullptr, &surface, nullptr, D3DTEXF_NONE),
        device->UpdateSurface(&surface, nullptr, target.Get(), nullptr),
        device->UpdateSurface(system.Get(), nullptr, &surface, nullptr),
        device->UpdateTexture(&texture, video.Get()),
        device->UpdateTexture(video.Get(), &texture),
        device->SetTexture(0, &texture),
        device->SetStreamSource(0, &vertices, 0, 16),
        device->SetIndices(&indices),
        device->SetVertexDeclaration(&declaration),
    };
    for (std::size_t i = 0; i < std::size(results); ++i) {
        EXPECT_EQ(results[i], D3DERR_INVALIDCALL) << "call " << i;
    }
    const std::pair<int, ULONG> counts[] = {
        {surface.calls, surface.references},         {texture.calls, texture.references},
        {vertices.calls, vertices.references},       {indices.calls, indices.references},
        {declaration.calls, declaration.references},
    };
    for (const auto& [calls, references] : counts) {
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(references, 1u);
    }
    // The device took none of them: its bindings are still empty.
    ComPtr<IDirect3DBaseTexture9> bound;
    ASSERT_EQ(device->GetTexture(0, bound.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(bound);
}

// Reference count of object after one AddRef and Release.
ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(DeviceTest, QueryInterfaceAnswersOnlyPublicIdentifiersWithAReference) {
    ComPtr<IDirect3DDevice9> device = MakeDevice();
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.ReleaseAndGetAddressOf(), nullptr),
              S_OK);
    ComPtr<IDirect3DSurface9> level;
    ASSERT_EQ(texture->GetSurfaceLevel(0, level.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IDirect3DVertexBuffer9> buffer;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, buffer.ReleaseAndGetAddressOf(),
                                         nullptr),
              S_OK);
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
    ComPtr<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, declaration.ReleaseAndGetAddressOf()),
              S_OK);

    // An identifier no interface has.
    constexpr IID kUnknownIid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct Case {
        const char* name;
        IUnknown* object;
        std::vector<const IID*> answered;
        std::vector<const IID*> refused;
    };
    const Case cases[] = {
        {"texture",
         texture.Get(),
         {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9,
          &IID_IDirect3DTexture9},
         {&IID_IDirect3DSurface9, &IID_IDirect3DCubeTexture9, &kUnknownIid}},
        // A level counts its references on its texture's behalf.
        {"level",
         level.Get(),
         {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DSurface9},
         {&IID_IDirect3DTexture9, &IID_IDirect3DBaseTexture9, &kUnknownIid}},
        {"vertex buffer",
         buffer.Get(),
         {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DVertexBuffer9},
         {&IID_IDirect3DIndexBuffer9, &kUnknownIid}},
        {"declaration",
         declaration.Get(),
         {&IID_IUnknown, &IID_IDirect3DVertexDeclaration9},
         {&IID_IDirect3DResource9, &kUnknownIid}},
    };
    for (const Case& c : cases) {
        const ULONG before = References(c.object);
        for (const IID* iid : c.answered) {
            void* answer = nullptr;
            ASSERT_EQ(c.object->QueryInterface(*iid, &answer), S_OK) << c.name;
            EXPECT_EQ(answer, static_cast<void*>(c.object)) << c.name;
            EXPECT_EQ(References(c.object), before + 1) << c.name;
            static_cast<IUnknown*>(answer)->Release();
        }
        for (const IID* iid : c.refused) {
            void* answer = &answer;
            EXPECT_EQ(c.object->QueryInterface(*iid, &answer), E_NOINTERFACE) << c.name;
            EXPECT_EQ(answer, nullptr) << c.name;
            EXPECT_EQ(References(c.object), before) << c.name;
        }
    }
}

}  // namespace
