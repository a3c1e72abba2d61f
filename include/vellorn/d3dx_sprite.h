// The sprite batcher: textured, coloured rectangles queued between Begin and
// End and drawn in as few draw calls as their textures allow.
#pragma once

#include "vellorn/d3d9.h"
#include "vellorn/d3dx_math.h"
#include "vellorn/guid.h"
#include "vellorn/unknown.h"

inline constexpr DWORD D3DXSPRITE_DONOTSAVESTATE = 0x01;
inline constexpr DWORD D3DXSPRITE_DONOTMODIFY_RENDERSTATE = 0x02;
inline constexpr DWORD D3DXSPRITE_OBJECTSPACE = 0x04;
inline constexpr DWORD D3DXSPRITE_BILLBOARD = 0x08;
inline constexpr DWORD D3DXSPRITE_ALPHABLEND = 0x10;
inline constexpr DWORD D3DXSPRITE_SORT_TEXTURE = 0x20;
inline constexpr DWORD D3DXSPRITE_SORT_DEPTH_FRONTTOBACK = 0x40;
inline constexpr DWORD D3DXSPRITE_SORT_DEPTH_BACKTOFRONT = 0x80;

inline constexpr IID IID_ID3DXSprite = {
    0xBA0B762D, 0x7D28, 0x43EC, {0xB9, 0xDC, 0x2F, 0x84, 0x44, 0x3B, 0x06, 0x14}};

struct ID3DXSprite : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
    virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
    virtual HRESULT SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) = 0;
    virtual HRESULT SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) = 0;
    virtual HRESULT Begin(DWORD flags) = 0;
    virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* sourceRect,
                         const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                         D3DCOLOR color) = 0;
    virtual HRESULT Flush() = 0;
    virtual HRESULT End() = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// Creates a batcher for device and stores it, with one reference, in *sprite.
HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
