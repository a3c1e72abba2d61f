// The software Direct3D 9 device: state, resources, drawing through the
// rasteriser, presentation (SDL window or kept for tests), loss and reset.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/d3d9/device_context.h"
#include "runtime/d3d9/device_state.h"
#include "runtime/d3d9/rasterizer.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/state_block.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

// Where a draw call finds position, diffuse colour and texture coordinate 0
// in a vertex of stream 0; a negative offset for an element the declaration
// lacks. The stream's storage is looked up once per draw.
struct VertexLayout {
    const BufferStorage* stream = nullptr;
    int positionOffset = -1;
    int positionFloats = 0;
    int colorOffset = -1;
    int texcoordOffset = -1;
    int texcoordFloats = 0;
    UINT extent = 0;  // bytes of a vertex the elements reach
};

class Device final : public IDirect3DDevice9, public DeviceContext {
  public:
    // Creates a device; parameters have been checked and completed by the
    // Direct3D object (windowed, back buffer size and format known).
    static HRESULT Create(IDirect3D9* direct3D, const DeviceProfile& profile, D3DDEVTYPE deviceType,
                          HWND focusWindow, DWORD behaviorFlags,
                          const D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device);

    // The device behind an interface pointer, or null when it is not one.
    static Device* FromInterface(IDirect3DDevice9* device);

    // ---- DeviceContext ----
    IDirect3DDevice9* PublicDevice() override { return this; }
    const DeviceProfile& Profile() const override { return profile_; }
    bool InjectedFailure(const char* operation, HRESULT* failure) override;
    void ResourceCreated(D3DPOOL pool) override;
    void ResourceDestroyed(D3DPOOL pool) override;
    void BufferLocked(IDirect3DResource9* buffer, UINT offset, UINT size, DWORD flags) override;

    // ---- test hooks and state blocks ----
    void SetExternallyLost(bool lost);
    bool ReadPresentedFrame(std::vector<std::uint32_t>* pixels, UINT* width, UINT* height) const;
    void StateBlockCreated() { ++liveStateBlocks_; }
    void StateBlockDestroyed() { --liveStateBlocks_; }
    const DeviceState& CurrentState() const { return state_; }
    // Sets every state of record on the device (as the matching Set calls).
    void ApplyRecord(const StateRecord& record);

    // ---- IUnknown ----
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // ---- IDirect3DDevice9 ----
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** direct3D) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture,
                                HANDLE* sharedHandle) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** texture,
                              HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                               D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                               BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                          IDirect3DSurface9* destination, const POINT* destPoint) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* source,
                          IDirect3DBaseTexture9* destination) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                        IDirect3DSurface9* destination, const RECT* destRect,
                        D3DTEXTUREFILTERTYPE filter) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** block) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetNPatchMode(float segments) override;
    float GetNPatchMode() override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** shader) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** shader) override;

  private:
    Device(IDirect3D9* direct3D, const DeviceProfile& profile, D3DDEVTYPE deviceType,
           HWND focusWindow, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters);
    ~Device();

    HRESULT CreateBackBuffer();
    // Live default-pool resources that the application holds: every one but
    // the device's own back buffer, which counts only while the application
    // holds a reference to it.
    int ApplicationHeldDefaultPoolResources() const;
    // Logs the operation and checks for an injected fault; quiet while a
    // state block applies its states.
    bool DeviceOperation(const char* operation, HRESULT* failure);
    // Whether the device is lost now (updating the loss from the window).
    bool CheckLost();
    HWND PresentWindow() const;
    void PresentToSdl(HWND window);
    // Reads the window's client area back into presentedFrame_.
    void KeepWindowFrame();
    void ReleaseSdlPresenter();
    // The checks both draw calls share; *skip when a lost device draws
    // nothing.
    HRESULT PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout,
                        bool* skip);
    // Whether object is null or an object this device made; anything else
    // bound here could outlive the device that counts it.
    template <class Interface>
    bool IsNullOrOwn(Interface* object) const {
        if (object == nullptr) {
            return true;
        }
        const DeviceChild* child = ChildOf(object);
        return child != nullptr && child->OwnerDevice() == this;
    }
    // World times view times projection, for the vertices of a draw.
    D3DMATRIX CombinedTransform() const;
    // Reports and fails when vertex index of stream 0 does not lie wholly
    // inside the stream's buffer.
    HRESULT CheckVertexInStream(std::uint64_t index, const VertexLayout& layout) const;
    // Reads and transforms a vertex already checked to lie in the stream.
    void FetchVertex(UINT index, RasterVertex* vertex, const VertexLayout& layout);
    // Hands drawVertices_ to the rasteriser with the device's state.
    void Rasterise();

    std::atomic<ULONG> references_{1};
    ComPtr<IDirect3D9> direct3D_;
    DeviceProfile profile_;
    D3DDEVICE_CREATION_PARAMETERS creation_;
    D3DPRESENT_PARAMETERS parameters_;
    Binding<IDirect3DSurface9> backBuffer_;
    DeviceState state_;
    std::unique_ptr<StateRecord> recording_;
    bool inScene_ = false;
    bool lost_ = false;            // waiting for Reset
    bool externallyLost_ = false;  // the headless hook's cause of loss
    int defaultPoolResources_ = 0;
    bool applying_ = false;  // a state block is being applied
    int liveStateBlocks_ = 0;
    D3DMATRIX combined_{};  // world * view * projection of the current draw
    std::vector<RasterVertex> drawVertices_;
    std::vector<std::uint32_t> drawSlots_;  // indices of a draw as slots of its vertex range
    std::vector<RasterVertex> vertexCache_;
    std::vector<bool> vertexCached_;
    std::vector<std::uint32_t> presentedFrame_;
    UINT presentedWidth_ = 0;
    UINT presentedHeight_ = 0;
    SDL_Window* presentWindow_ = nullptr;
    HWND presentHandle_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    std::uint32_t textureFormat_ = 0;
};

// A Get call's hand-out: object with a reference added, or empty.
template <class T>
HRESULT HandOut(T* object, T** out) {
    if (object != nullptr) {
        object->AddRef();
    }
    *out = object;
    return S_OK;
}

// Every device operation starts here: the call is logged, and an injected
// fault makes it return the fault's code at once.
#define DEVICE_OPERATION(name)                   \
    do {                                         \
        HRESULT injected_ = S_OK;                \
        if (DeviceOperation(name, &injected_)) { \
            return injected_;                    \
        }                                        \
    } while (false)
