// Creation, identity and lifetime of the sprite batcher, its transforms, the
// device state set and restored around a batch, and device loss.
#include "sprite/sprite.h"

#include <cstring>
#include <new>

#include "platform/diagnostics.h"

namespace {

const D3DVERTEXELEMENT9 kSpriteElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END,
};

constexpr DWORD kValidFlags = 0xFF;

bool IsIdentity(const D3DXMATRIX& m) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            if (m.m[row][column] != (row == column ? 1.0f : 0.0f)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
    if (device == nullptr) {
        DebugMessage(0, "pDevice pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (sprite == nullptr) {
        DebugMessage(0, "ppSprite pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    auto* batcher = new (std::nothrow) SpriteBatcher;
    if (batcher == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = batcher->Initialize(device);
    if (FAILED(hr)) {
        batcher->Release();
        return hr;
    }
    *sprite = batcher;
    return S_OK;
}

HRESULT SpriteBatcher::Initialize(IDirect3DDevice9* device) {
    device_ = ComPtr<IDirect3DDevice9>(device);
    HRESULT hr = device_->GetDirect3D(d3d_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    hr = device_->CreateVertexDeclaration(kSpriteElements, vertexDecl_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }

    D3DCAPS9 caps{};
    device_->GetDeviceCaps(&caps);
    deviceType_ = caps.DeviceType;
    adapter_ = caps.AdapterOrdinal;
    magFilter_ = (caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC) ? D3DTEXF_ANISOTROPIC
                                                                            : D3DTEXF_LINEAR;
    minFilter_ = (caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC) ? D3DTEXF_ANISOTROPIC
                                                                            : D3DTEXF_LINEAR;
    mipFilter_ =
        (caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    maxAnisotropy_ = caps.MaxAnisotropy;
    alphaTestAllowed_ = caps.AlphaCmpCaps & D3DPCMPCAPS_GREATER;
    blendAllowed_ = TRUE;

    D3DDEVICE_CREATION_PARAMETERS creation{};
    if (SUCCEEDED(device_->GetCreationParameters(&creation)) &&
        (creation.BehaviorFlags &
         (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) != 0) {
        bufferPool_ = D3DPOOL_SYSTEMMEM;
    } else {
        bufferPool_ = D3DPOOL_DEFAULT;
    }

    matrices_ = new (std::nothrow) Matrices;
    if (matrices_ == nullptr) {
        return E_OUTOFMEMORY;
    }
    D3DXMatrixIdentity(&matrices_->transform);
    D3DXMatrixIdentity(&matrices_->worldView);
    D3DXMatrixIdentity(&matrices_->billboard);
    billboardScale_ = {1.0f, 1.0f, 1.0f};
    transformIsIdentity_ = TRUE;
    billboardValid_ = TRUE;
    viewDirection_ = {0.0f, 0.0f, -1.0f};

    return OnResetDevice();
}

SpriteBatcher::~SpriteBatcher() {
    delete matrices_;
    delete[] order_;
    delete[] textures_;
    delete[] depthKeys_;
    delete[] vertices_;
}

HRESULT SpriteBatcher::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        DebugMessage(0, "ppv pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (riid == IID_ID3DXSprite || riid == IID_IUnknown) {
        AddRef();
        *object = static_cast<ID3DXSprite*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT SpriteBatcher::GetDevice(IDirect3DDevice9** device) {
    if (device == nullptr) {
        DebugMessage(0, "ppDevice pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    device_->AddRef();
    *device = device_.Get();
    return S_OK;
}

HRESULT SpriteBatcher::GetTransform(D3DXMATRIX* transform) {
    if (transform == nullptr) {
        DebugMessage(0, "pTransform pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    *transform = matrices_->transform;
    return S_OK;
}

HRESULT SpriteBatcher::SetTransform(const D3DXMATRIX* transform) {
    if (transform == nullptr) {
        DebugMessage(0, "pTransform pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (inBegin_ && !(flags_ & D3DXSPRITE_BILLBOARD)) {
        // Sprites queued so far keep the transform in force when they were
        // queued. Under the identity their corners are final already; they
        // are marked done either way so that the new transform never
        // reaches them.
        TransformPendingCorners();
        transformedCount_ = count_;
    }
    matrices_->transform = *transform;
    transformIsIdentity_ = IsIdentity(*transform) ? TRUE : FALSE;
    billboardValid_ = FALSE;
    return S_OK;
}

void SpriteBatcher::TransformPendingCorners() {
    if (transformIsIdentity_ || transformedCount_ >= count_) {
        return;
    }
    auto* first = reinterpret_cast<D3DXVECTOR3*>(&vertices_[transformedCount_ * 4]);
    D3DXVec3TransformCoordArray(first, sizeof(SpriteVertex), first, sizeof(SpriteVertex),
                                &matrices_->transform, (count_ - transformedCount_) * 4);
    transformedCount_ = count_;
}

HRESULT SpriteBatcher::SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) {
    if (inBegin_) {
        DebugMessage(0, "ID3DXSprite::SetWorldViewRH called inside a Begin/End pair");
        return D3DERR_INVALIDCALL;
    }
    return SetWorldView(world, view, true);
}

HRESULT SpriteBatcher::SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) {
    if (inBegin_) {
        DebugMessage(0, "ID3DXSprite::SetWorldViewLH called inside a Begin/End pair");
        return D3DERR_INVALIDCALL;
    }
    return SetWorldView(world, view, false);
}

HRESULT SpriteBatcher::SetWorldView(const D3DXMATRIX* world, const D3DXMATRIX* view,
                                    bool rightHanded) {
    D3DXMATRIX& worldView = matrices_->worldView;
    if (world != nullptr && view != nullptr) {
        D3DXMatrixMultiply(&worldView, world, view);
    } else if (world != nullptr) {
        worldView = *world;
    } else if (view != nullptr) {
        worldView = *view;
    } else {
        D3DXMatrixIdentity(&worldView);
    }
    D3DXVECTOR3 direction = {worldView._13, worldView._23, worldView._33};
    if (rightHanded) {
        direction = {-direction.x, -direction.y, -direction.z};
    }
    // A degenerate matrix has no viewing direction: the zero vector then
    // makes every depth key equal instead of dividing by zero.
    const float length = D3DXVec3Length(&direction);
    if (length != 0.0f) {
        direction = {direction.x / length, direction.y / length, direction.z / length};
    }
    viewDirection_ = direction;
    billboardValid_ = FALSE;
    return S_OK;
}

HRESULT SpriteBatcher::CreateBuffers() {
    if (!indexBuffer_) {
        HRESULT hr = device_->CreateIndexBuffer(kSpriteBufferIndices * sizeof(WORD),
                                                D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, bufferPool_,
                                                indexBuffer_.ReleaseAndGetAddressOf(), nullptr);
        if (FAILED(hr)) {
            indexBuffer_.Reset();
            return hr;
        }
        void* data = nullptr;
        if (SUCCEEDED(indexBuffer_->Lock(0, 0, &data, 0)) && data != nullptr) {
            auto* indices = static_cast<WORD*>(data);
            for (UINT v = 0; v < kSpriteBufferVertices; v += 4) {
                const WORD base = static_cast<WORD>(v);
                *indices++ = base;
                *indices++ = static_cast<WORD>(base + 1);
                *indices++ = static_cast<WORD>(base + 2);
                *indices++ = static_cast<WORD>(base + 2);
                *indices++ = static_cast<WORD>(base + 1);
                *indices++ = static_cast<WORD>(base + 3);
            }
            indexBuffer_->Unlock();
        }
    }
    if (!vertexBuffer_) {
        HRESULT hr = device_->CreateVertexBuffer(
            kSpriteBufferVertices * sizeof(SpriteVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
            bufferPool_, vertexBuffer_.ReleaseAndGetAddressOf(), nullptr);
        if (FAILED(hr)) {
            vertexBuffer_.Reset();
            return hr;
        }
        indexCursor_ = 0;
        vertexCursor_ = 0;
    }
    return S_OK;
}

void SpriteBatcher::RecordGeneralState(bool saving) {
    IDirect3DDevice9* d = device_.Get();
    d->SetVertexDeclaration(vertexDecl_.Get());
    d->SetVertexShader(nullptr);
    d->SetPixelShader(nullptr);
    d->SetRenderState(D3DRS_FILLMODE, 3);
    d->SetRenderState(D3DRS_SHADEMODE, 2);
    d->SetRenderState(D3DRS_CULLMODE, 1);
    d->SetRenderState(D3DRS_WRAP0, 0);
    d->SetRenderState(D3DRS_CLIPPING, 1);
    d->SetRenderState(D3DRS_VERTEXBLEND, 0);
    d->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    d->SetNPatchMode(0.0f);
    d->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, 0);
    d->SetRenderState(D3DRS_ENABLEADAPTIVETESSELLATION, 0);
    d->SetRenderState(D3DRS_SRGBWRITEENABLE, 0);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    d->SetRenderState(D3DRS_RANGEFOGENABLE, 0);
    d->SetRenderState(D3DRS_SPECULARENABLE, 0);
    d->SetRenderState(D3DRS_STENCILENABLE, 0);
    d->SetRenderState(D3DRS_LIGHTING, 0);
    d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, 1);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, 3);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, 3);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, magFilter_);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, minFilter_);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, mipFilter_);
    d->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, 0);
    d->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
    d->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, maxAnisotropy_);
    d->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, 0);
    if (saving) {
        // Recorded only so that the caller's values are saved and restored.
        d->SetVertexDeclaration(vertexDecl_.Get());
        d->SetIndices(nullptr);
        d->SetStreamSource(0, nullptr, 0, 0);
        d->SetTexture(0, nullptr);
    }
}

void SpriteBatcher::RecordBlendState() {
    IDirect3DDevice9* d = device_.Get();
    d->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTestAllowed_ ? 1 : 0);
    d->SetRenderState(D3DRS_ALPHAREF, blendAllowed_ ? 0 : 0x3F);
    d->SetRenderState(D3DRS_ALPHAFUNC, 5);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, blendAllowed_ ? 1 : 0);
    d->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, 0);
    d->SetRenderState(D3DRS_SRCBLEND, 5);
    d->SetRenderState(D3DRS_DESTBLEND, 6);
    d->SetRenderState(D3DRS_BLENDOP, 1);
}

void SpriteBatcher::RecordTransformState(bool saving) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device_->SetTransform(D3DTS_WORLD, &identity);
    device_->SetTransform(D3DTS_VIEW, &identity);
    if (saving) {
        device_->SetTransform(D3DTS_PROJECTION, &identity);
    }
}

void SpriteBatcher::RecordStateBlocks() {
    // A block whose recording failed stays empty and is skipped later.
    auto record = [this](ComPtr<IDirect3DStateBlock9>* block, auto&& body) {
        if (FAILED(device_->BeginStateBlock())) {
            block->Reset();
            return;
        }
        body();
        if (FAILED(device_->EndStateBlock(block->ReleaseAndGetAddressOf()))) {
            block->Reset();
        }
    };
    if (!savedState_) {
        record(&savedState_, [this] { RecordGeneralState(true); });
        record(&spriteState_, [this] { RecordGeneralState(false); });
    }
    if (!savedBlendState_) {
        record(&savedBlendState_, [this] { RecordBlendState(); });
        record(&blendState_, [this] { RecordBlendState(); });
    }
    if (!savedTransformState_) {
        record(&savedTransformState_, [this] { RecordTransformState(true); });
        record(&transformState_, [this] { RecordTransformState(false); });
    }
}

void SpriteBatcher::SetPixelProjection() {
    D3DVIEWPORT9 viewport{};
    device_->GetViewport(&viewport);
    const float w = 1.0f / static_cast<float>(viewport.Width);
    const float h = 1.0f / static_cast<float>(viewport.Height);
    D3DXMATRIX projection;
    std::memset(&projection, 0, sizeof projection);
    projection._11 = 2.0f * w;
    projection._22 = -2.0f * h;
    projection._33 = 1.0f;
    projection._44 = 1.0f;
    projection._41 = -2.0f * w * static_cast<float>(viewport.X) - w - 1.0f;
    projection._42 = 2.0f * h * static_cast<float>(viewport.Y) + h + 1.0f;
    device_->SetTransform(D3DTS_PROJECTION, &projection);
}

HRESULT SpriteBatcher::Begin(DWORD flags) {
    if (inBegin_) {
        DebugMessage(0, "Begin called from within a Begin/End pair");
        return D3DERR_INVALIDCALL;
    }
    if ((flags & ~kValidFlags) != 0) {
        DebugMessage(0, "Flags parameter is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (flags & D3DXSPRITE_BILLBOARD) {
        flags |= D3DXSPRITE_OBJECTSPACE;
    }
    const HRESULT hr = CreateBuffers();
    if (FAILED(hr)) {
        return hr;
    }
    flags_ = flags;
    const bool save = !(flags & D3DXSPRITE_DONOTSAVESTATE);

    SetDebugMute(TRUE);
    RecordStateBlocks();
    if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) {
        if (save && savedState_) {
            savedState_->Capture();
        }
        if (spriteState_) {
            spriteState_->Apply();
        }
    }
    if (flags & D3DXSPRITE_ALPHABLEND) {
        if (save && savedBlendState_) {
            savedBlendState_->Capture();
        }
        if (blendState_) {
            blendState_->Apply();
        }
    }
    if (!(flags & D3DXSPRITE_OBJECTSPACE) || (flags & D3DXSPRITE_BILLBOARD)) {
        if (save && savedTransformState_) {
            savedTransformState_->Capture();
        }
        if (transformState_) {
            transformState_->Apply();
        }
        if (!(flags & D3DXSPRITE_OBJECTSPACE)) {
            SetPixelProjection();
        }
    }
    SetDebugMute(FALSE);

    EmptyBatch();
    inBegin_ = TRUE;
    return S_OK;
}

HRESULT SpriteBatcher::End() {
    if (!inBegin_) {
        DebugMessage(0, "End called without matching Begin");
        return D3DERR_INVALIDCALL;
    }
    const HRESULT result = count_ > 0 ? Flush() : S_OK;
    SetDebugMute(TRUE);
    const bool save = !(flags_ & D3DXSPRITE_DONOTSAVESTATE);
    if (save && !(flags_ & D3DXSPRITE_DONOTMODIFY_RENDERSTATE) && savedState_) {
        savedState_->Apply();
    }
    if (save && (flags_ & D3DXSPRITE_ALPHABLEND) && savedBlendState_) {
        savedBlendState_->Apply();
    }
    if (save && (!(flags_ & D3DXSPRITE_OBJECTSPACE) || (flags_ & D3DXSPRITE_BILLBOARD)) &&
        savedTransformState_) {
        savedTransformState_->Apply();
    }
    SetDebugMute(FALSE);
    inBegin_ = FALSE;
    return result;
}

HRESULT SpriteBatcher::OnLostDevice() {
    inBegin_ = FALSE;
    indexBuffer_.Reset();
    vertexBuffer_.Reset();
    spriteState_.Reset();
    savedState_.Reset();
    blendState_.Reset();
    savedBlendState_.Reset();
    transformState_.Reset();
    savedTransformState_.Reset();
    return S_OK;
}

HRESULT SpriteBatcher::OnResetDevice() {
    inBegin_ = FALSE;
    blendAllowed_ = TRUE;
    ComPtr<IDirect3DSurface9> target;
    if (FAILED(device_->GetRenderTarget(0, target.ReleaseAndGetAddressOf())) || !target) {
        return S_OK;
    }
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    D3DDISPLAYMODE mode{};
    device_->GetDisplayMode(0, &mode);
    if (FAILED(
            d3d_->CheckDeviceFormat(adapter_, deviceType_, mode.Format,
                                    D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING | D3DUSAGE_RENDERTARGET,
                                    D3DRTYPE_SURFACE, desc.Format))) {
        blendAllowed_ = FALSE;
    }
    return S_OK;
}
