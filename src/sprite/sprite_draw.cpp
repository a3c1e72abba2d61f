// Queuing sprites as quads and flushing them: pending transform, ordering,
// upload into the dynamic vertex buffer and one draw call per run of equal
// texture.
#include <cfloat>
#include <cstring>
#include <new>

#include "platform/diagnostics.h"
#include "sprite/sprite.h"
#include "sprite/sprite_sort.h"

HRESULT SpriteBatcher::Grow() {
    if (capacity_ > 0x7FFFFFFFu / 4) {
        return E_OUTOFMEMORY;
    }
    const std::uint32_t capacity = capacity_ == 0 ? 64 : capacity_ * 2;
    auto* order = new (std::nothrow) std::uint32_t[capacity];
    auto* textures = new (std::nothrow) IDirect3DTexture9*[capacity];
    auto* depthKeys = new (std::nothrow) float[capacity];
    auto* vertices = new (std::nothrow) SpriteVertex[static_cast<size_t>(capacity) * 4];
    if (order == nullptr || textures == nullptr || depthKeys == nullptr || vertices == nullptr) {
        delete[] order;
        delete[] textures;
        delete[] depthKeys;
        delete[] vertices;
        return E_OUTOFMEMORY;
    }
    if (count_ > 0) {
        std::memcpy(textures, textures_, count_ * sizeof *textures);
        std::memcpy(vertices, vertices_, static_cast<size_t>(count_) * 4 * sizeof *vertices);
    }
    delete[] order_;
    delete[] textures_;
    delete[] depthKeys_;
    delete[] vertices_;
    order_ = order;
    textures_ = textures;
    depthKeys_ = depthKeys;
    vertices_ = vertices;
    capacity_ = capacity;
    return S_OK;
}

void SpriteBatcher::EmptyBatch() {
    count_ = 0;
    transformedCount_ = 0;
    textureChanges_ = 0;
    currentTexture_ = nullptr;
    textureWidth_ = 0;
    textureHeight_ = 0;
    invTextureWidth_ = 0.0f;
    invTextureHeight_ = 0.0f;
}

HRESULT SpriteBatcher::Draw(IDirect3DTexture9* texture, const RECT* sourceRect,
                            const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                            D3DCOLOR color) {
    if (!inBegin_) {
        DebugMessage(0, "ID3DXSprite::Draw called outside a Begin/End pair");
        return D3DERR_INVALIDCALL;
    }
    if (texture == nullptr) {
        DebugMessage(0, "pTexture pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (count_ >= capacity_) {
        const HRESULT hr = Grow();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (texture != currentTexture_) {
        currentTexture_ = texture;
        if (count_ > 0) {
            ++textureChanges_;
        }
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        textureWidth_ = desc.Width;
        textureHeight_ = desc.Height;
        invTextureWidth_ = 1.0f / static_cast<float>(textureWidth_);
        invTextureHeight_ = 1.0f / static_cast<float>(textureHeight_);
    }
    RECT rect;
    if (sourceRect != nullptr) {
        rect = *sourceRect;
    } else {
        rect = {0, 0, static_cast<LONG>(textureWidth_), static_cast<LONG>(textureHeight_)};
    }
    textures_[count_] = texture;

    float w = static_cast<float>(rect.right - rect.left);
    float h = static_cast<float>(rect.bottom - rect.top);
    D3DXVECTOR3 p = position != nullptr ? *position : D3DXVECTOR3{0.0f, 0.0f, 0.0f};
    if (!(flags_ & D3DXSPRITE_BILLBOARD)) {
        if (center != nullptr) {
            p = {p.x - center->x, p.y - center->y, p.z - center->z};
        }
    } else {
        if (!billboardValid_) {
            D3DXMATRIX& billboard = matrices_->billboard;
            D3DXMatrixMultiply(&billboard, &matrices_->transform, &matrices_->worldView);
            const D3DXVECTOR3 rows[3] = {{billboard._11, billboard._12, billboard._13},
                                         {billboard._21, billboard._22, billboard._23},
                                         {billboard._31, billboard._32, billboard._33}};
            billboardScale_ = {D3DXVec3Length(&rows[0]), D3DXVec3Length(&rows[1]),
                               D3DXVec3Length(&rows[2])};
            if (matrices_->transform._11 < 0.0f) {
                billboardScale_.x = -billboardScale_.x;
            }
            if (matrices_->transform._22 < 0.0f) {
                billboardScale_.y = -billboardScale_.y;
            }
            if (matrices_->transform._33 < 0.0f) {
                billboardScale_.z = -billboardScale_.z;
            }
            billboardValid_ = TRUE;
        }
        D3DXVec3TransformCoord(&p, &p, &matrices_->billboard);
        w *= billboardScale_.x;
        h *= billboardScale_.y;
        if (center != nullptr) {
            p.x -= center->x * billboardScale_.x;
            p.y -= center->y * billboardScale_.y;
            p.z -= center->z * billboardScale_.z;
        }
    }

    const float uLeft = static_cast<float>(rect.left) * invTextureWidth_;
    const float vTop = static_cast<float>(rect.top) * invTextureHeight_;
    const float uRight = static_cast<float>(rect.right) * invTextureWidth_;
    const float vBottom = static_cast<float>(rect.bottom) * invTextureHeight_;
    SpriteVertex* quad = &vertices_[static_cast<size_t>(count_) * 4];
    quad[0] = {p.x, p.y, p.z, color, uLeft, vTop};
    quad[1] = {p.x, p.y + h, p.z, color, uLeft, vBottom};
    quad[2] = {p.x + w, p.y, p.z, color, uRight, vTop};
    quad[3] = {p.x + w, p.y + h, p.z, color, uRight, vBottom};
    ++count_;
    return S_OK;
}

bool SpriteBatcher::SortBatch() {
    if (flags_ & D3DXSPRITE_SORT_TEXTURE) {
        if (textureChanges_ == 0) {
            return false;
        }
        SortSprites(order_, count_, TextureOrder{textures_});
        return true;
    }
    if (!(flags_ & (D3DXSPRITE_SORT_DEPTH_FRONTTOBACK | D3DXSPRITE_SORT_DEPTH_BACKTOFRONT))) {
        return false;
    }
    const bool planar = !(flags_ & D3DXSPRITE_OBJECTSPACE) || (flags_ & D3DXSPRITE_BILLBOARD);
    float smallest = FLT_MAX;
    float largest = -FLT_MAX;
    for (std::uint32_t i = 0; i < count_; ++i) {
        const SpriteVertex* quad = &vertices_[static_cast<size_t>(i) * 4];
        float key;
        if (planar) {
            key = -(quad[0].z + quad[1].z + quad[2].z + quad[3].z);
        } else {
            const D3DXVECTOR3 sum = {quad[0].x + quad[1].x + quad[2].x + quad[3].x,
                                     quad[0].y + quad[1].y + quad[2].y + quad[3].y,
                                     quad[0].z + quad[1].z + quad[2].z + quad[3].z};
            key = D3DXVec3Dot(&viewDirection_, &sum);
        }
        depthKeys_[i] = key;
        if (key < smallest) {
            smallest = key;
        }
        if (key > largest) {
            largest = key;
        }
    }
    if (smallest == largest || count_ == 0) {
        return false;
    }
    if (flags_ & D3DXSPRITE_SORT_DEPTH_FRONTTOBACK) {
        SortSprites(order_, count_, AscendingDepthOrder{depthKeys_});
    } else {
        SortSprites(order_, count_, DescendingDepthOrder{depthKeys_});
    }
    return true;
}

void SpriteBatcher::Submit(bool sorted) {
    IDirect3DTexture9* textureSet = nullptr;
    bool anyTextureSet = false;
    std::uint32_t next = 0;
    while (next < count_) {
        const std::uint32_t first = sorted ? order_[next] : next;
        if (!anyTextureSet || textures_[first] != textureSet) {
            textureSet = textures_[first];
            anyTextureSet = true;
            device_->SetTexture(0, textureSet);
        }
        void* data = nullptr;
        const DWORD lockFlags = vertexCursor_ > 0 ? D3DLOCK_NOOVERWRITE : D3DLOCK_DISCARD;
        if (FAILED(vertexBuffer_->Lock(0, 0, &data, lockFlags)) || data == nullptr) {
            return;  // the remaining sprites are dropped
        }
        auto* target = static_cast<SpriteVertex*>(data);
        const UINT startVertex = vertexCursor_;
        const UINT startIndex = indexCursor_;
        while (next < count_ && vertexCursor_ < kSpriteBufferVertices) {
            const std::uint32_t sprite = sorted ? order_[next] : next;
            if (textures_[sprite] != textureSet) {
                break;
            }
            std::memcpy(&target[vertexCursor_], &vertices_[static_cast<size_t>(sprite) * 4],
                        4 * sizeof(SpriteVertex));
            vertexCursor_ += 4;
            indexCursor_ += 6;
            ++next;
        }
        vertexBuffer_->Unlock();
        device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, startVertex,
                                      vertexCursor_ - startVertex, startIndex,
                                      (indexCursor_ - startIndex) / 3);
        if (vertexCursor_ >= kSpriteBufferVertices) {
            vertexCursor_ = 0;
            indexCursor_ = 0;
        }
    }
}

HRESULT SpriteBatcher::Flush() {
    if (!inBegin_) {
        DebugMessage(0, "ID3DXSprite::Flush called outside a Begin/End pair");
        return D3DERR_INVALIDCALL;
    }
    if (!(flags_ & D3DXSPRITE_BILLBOARD)) {
        TransformPendingCorners();
    }
    const bool sorted = SortBatch();
    device_->SetVertexDeclaration(vertexDecl_.Get());
    device_->SetIndices(indexBuffer_.Get());
    device_->SetStreamSource(0, vertexBuffer_.Get(), 0, sizeof(SpriteVertex));
    Submit(sorted);
    EmptyBatch();
    return S_OK;
}
