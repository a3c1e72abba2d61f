// The sprite batcher object behind ID3DXSprite: what it learned from the
// device, its device objects and state blocks, its transforms and the batch
// of queued quads.
#pragma once

#include <cstdint>

#include "vellorn/com_object.h"
#include "vellorn/com_ptr.h"
#include "vellorn/d3d9.h"
#include "vellorn/d3dx_sprite.h"

// One corner of a queued quad, as the vertex buffer holds it (24 bytes).
struct SpriteVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 24);

// Quads per fill of the vertex buffer, and the buffer sizes that follow.
inline constexpr UINT kSpriteBufferQuads = 4096;
inline constexpr UINT kSpriteBufferVertices = kSpriteBufferQuads * 4;
inline constexpr UINT kSpriteBufferIndices = kSpriteBufferQuads * 6;

class SpriteBatcher final : public RefCounted<ID3DXSprite> {
  public:
    SpriteBatcher() = default;
    ~SpriteBatcher() override;
    SpriteBatcher(const SpriteBatcher&) = delete;
    SpriteBatcher& operator=(const SpriteBatcher&) = delete;

    // Creation steps after allocation: device, declaration, capabilities,
    // matrices, blending support.
    HRESULT Initialize(IDirect3DDevice9* device);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetTransform(D3DXMATRIX* transform) override;
    HRESULT SetTransform(const D3DXMATRIX* transform) override;
    HRESULT SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) override;
    HRESULT SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) override;
    HRESULT Begin(DWORD flags) override;
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* sourceRect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override;
    HRESULT Flush() override;
    HRESULT End() override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

  private:
    // The three matrices, kept together in one aligned block.
    struct alignas(16) Matrices {
        D3DXMATRIX transform;
        D3DXMATRIX worldView;
        D3DXMATRIX billboard;
    };

    HRESULT SetWorldView(const D3DXMATRIX* world, const D3DXMATRIX* view, bool rightHanded);
    HRESULT CreateBuffers();
    void RecordStateBlocks();
    void RecordGeneralState(bool saving);
    void RecordBlendState();
    void RecordTransformState(bool saving);
    void SetPixelProjection();
    // Applies the sprite transform to the corners queued since the last time.
    void TransformPendingCorners();
    HRESULT Grow();
    void EmptyBatch();
    // Orders the batch by the Begin flags; false when queue order stands.
    bool SortBatch();
    void Submit(bool sorted);

    ComPtr<IDirect3D9> d3d_;
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DVertexDeclaration9> vertexDecl_;
    ComPtr<IDirect3DIndexBuffer9> indexBuffer_;
    ComPtr<IDirect3DVertexBuffer9> vertexBuffer_;
    UINT indexCursor_ = 0;
    UINT vertexCursor_ = 0;
    ComPtr<IDirect3DStateBlock9> savedState_;
    ComPtr<IDirect3DStateBlock9> spriteState_;
    ComPtr<IDirect3DStateBlock9> savedBlendState_;
    ComPtr<IDirect3DStateBlock9> blendState_;
    ComPtr<IDirect3DStateBlock9> savedTransformState_;
    ComPtr<IDirect3DStateBlock9> transformState_;
    D3DDEVTYPE deviceType_ = D3DDEVTYPE_HAL;
    UINT adapter_ = 0;
    D3DPOOL bufferPool_ = D3DPOOL_DEFAULT;
    D3DTEXTUREFILTERTYPE magFilter_ = D3DTEXF_LINEAR;
    D3DTEXTUREFILTERTYPE minFilter_ = D3DTEXF_LINEAR;
    D3DTEXTUREFILTERTYPE mipFilter_ = D3DTEXF_POINT;
    DWORD maxAnisotropy_ = 0;
    DWORD alphaTestAllowed_ = 0;
    BOOL blendAllowed_ = FALSE;
    BOOL transformIsIdentity_ = TRUE;
    BOOL billboardValid_ = FALSE;
    Matrices* matrices_ = nullptr;
    D3DXVECTOR3 viewDirection_ = {0.0f, 0.0f, -1.0f};
    D3DXVECTOR3 billboardScale_ = {1.0f, 1.0f, 1.0f};
    BOOL inBegin_ = FALSE;
    DWORD flags_ = 0;

    // The batch.
    std::uint32_t* order_ = nullptr;
    IDirect3DTexture9** textures_ = nullptr;  // no references held
    float* depthKeys_ = nullptr;
    SpriteVertex* vertices_ = nullptr;  // capacity_ x 4
    std::uint32_t count_ = 0;
    std::uint32_t capacity_ = 0;
    std::uint32_t transformedCount_ = 0;
    std::uint32_t textureChanges_ = 0;
    IDirect3DTexture9* currentTexture_ = nullptr;
    UINT textureWidth_ = 0;
    UINT textureHeight_ = 0;
    float invTextureWidth_ = 0.0f;
    float invTextureHeight_ = 0.0f;
};
