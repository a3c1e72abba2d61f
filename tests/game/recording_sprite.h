// A sprite batcher that draws nothing and records every Begin, Draw, Flush
// and End with its arguments, for checking what the scene asks to be drawn.
#pragma once

#include <vector>

#include "vellorn/d3dx_sprite.h"

struct SpriteCall {
    enum Kind { kBegin, kDraw, kFlush, kEnd } kind;
    DWORD flags;                 // Begin
    IDirect3DTexture9* texture;  // Draw, the rest likewise
    RECT source;                 // {0, 0, 0, 0} when Draw got no rectangle
    bool hasSource;
    bool hasCenter;
    bool hasPosition;
    D3DXVECTOR3 position;
    D3DCOLOR color;
};

class RecordingSprite final : public ID3DXSprite {
  public:
    const std::vector<SpriteCall>& Calls() const { return calls_; }
    void Forget() { calls_.clear(); }

    // The Draw calls alone, in order.
    std::vector<SpriteCall> Draws() const {
        std::vector<SpriteCall> draws;
        for (const SpriteCall& call : calls_) {
            if (call.kind == SpriteCall::kDraw) {
                draws.push_back(call);
            }
        }
        return draws;
    }

    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the test's stack: counting would only hide misuse.
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    HRESULT GetTransform(D3DXMATRIX*) override { return E_NOTIMPL; }
    HRESULT SetTransform(const D3DXMATRIX*) override { return E_NOTIMPL; }
    HRESULT SetWorldViewRH(const D3DXMATRIX*, const D3DXMATRIX*) override { return E_NOTIMPL; }
    HRESULT SetWorldViewLH(const D3DXMATRIX*, const D3DXMATRIX*) override { return E_NOTIMPL; }
    HRESULT Begin(DWORD flags) override {
        calls_.push_back({SpriteCall::kBegin, flags, nullptr, {}, false, false, false, {}, 0});
        return S_OK;
    }
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* source, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override {
        calls_.push_back({SpriteCall::kDraw, 0, texture, source != nullptr ? *source : RECT{},
                          source != nullptr, center != nullptr, position != nullptr,
                          position != nullptr ? *position : D3DXVECTOR3{}, color});
        return S_OK;
    }
    HRESULT Flush() override {
        calls_.push_back({SpriteCall::kFlush, 0, nullptr, {}, false, false, false, {}, 0});
        return S_OK;
    }
    HRESULT End() override {
        calls_.push_back({SpriteCall::kEnd, 0, nullptr, {}, false, false, false, {}, 0});
        return S_OK;
    }
    HRESULT OnLostDevice() override { return S_OK; }
    HRESULT OnResetDevice() override { return S_OK; }

  private:
    std::vector<SpriteCall> calls_;
};
