// Clearing the back buffer and presenting it: into the window's client area
// through an SDL streaming texture, or, headless, kept for tests to read.
#include <SDL.h>

#include <algorithm>
#include <new>

#include "runtime/backend.h"
#include "runtime/d3d9/device.h"
#include "runtime/d3d9/frame_file.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/runtime_services.h"
#include "runtime/win32/window_system.h"

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float /*z*/,
                      DWORD /*stencil*/) {
    DEVICE_OPERATION("Clear");
    if ((count != 0 && rects == nullptr) || flags == 0 ||
        (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
        ReportInvalidCall("Clear: bad rectangles or flags 0x%x", flags);
        return D3DERR_INVALIDCALL;
    }
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
        ReportInvalidCall("Clear: the device has no depth-stencil buffer");
        return D3DERR_INVALIDCALL;
    }
    if (CheckLost()) {
        return S_OK;
    }
    const SurfaceStorage* target = StorageOf(backBuffer_.Get());
    if (target == nullptr) {
        return S_OK;
    }
    const std::uint32_t value = target->format == D3DFMT_A8R8G8B8 ? color : (color | 0xFF000000u);
    const D3DVIEWPORT9& vp = state_.viewport;
    const D3DRECT whole = {static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y),
                           static_cast<LONG>(vp.X + vp.Width), static_cast<LONG>(vp.Y + vp.Height)};
    const DWORD areas = count == 0 ? 1 : count;
    for (DWORD i = 0; i < areas; ++i) {
        // Clearing never reaches outside the viewport.
        const D3DRECT& r = count == 0 ? whole : rects[i];
        const LONG x1 = std::max(r.x1, whole.x1);
        const LONG y1 = std::max(r.y1, whole.y1);
        const LONG x2 = std::min(r.x2, whole.x2);
        const LONG y2 = std::min(r.y2, whole.y2);
        for (LONG y = y1; y < y2; ++y) {
            auto* row =
                reinterpret_cast<std::uint32_t*>(target->data + std::size_t(y) * target->pitch);
            std::fill(row + x1, row + std::max(x1, x2), value);
        }
    }
    return S_OK;
}

HWND Device::PresentWindow() const {
    return parameters_.hDeviceWindow != nullptr ? parameters_.hDeviceWindow
                                                : creation_.hFocusWindow;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion) {
    DEVICE_OPERATION("Present");
    if (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr) {
        ReportInvalidCall("Present: rectangles and dirty regions need D3DSWAPEFFECT_COPY");
        return D3DERR_INVALIDCALL;
    }
    if (CheckLost()) {
        return D3DERR_DEVICELOST;
    }
    const SurfaceStorage* source = StorageOf(backBuffer_.Get());
    if (source == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const HWND window = destWindowOverride != nullptr ? destWindowOverride : PresentWindow();
    if (ActiveBackend() == RuntimeBackend::Headless) {
        try {
            presentedFrame_.resize(std::size_t{source->width} * source->height);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        presentedWidth_ = source->width;
        presentedHeight_ = source->height;
        const std::uint32_t alpha = source->format == D3DFMT_A8R8G8B8 ? 0u : 0xFF000000u;
        for (UINT y = 0; y < source->height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                source->data + std::size_t{y} * source->pitch);
            std::uint32_t* out = presentedFrame_.data() + std::size_t{y} * source->width;
            for (UINT x = 0; x < source->width; ++x) {
                out[x] = row[x] | alpha;
            }
        }
        return S_OK;
    }
    PresentToSdl(window);
    return S_OK;
}

bool Device::ReadPresentedFrame(std::vector<std::uint32_t>* pixels, UINT* width,
                                UINT* height) const {
    if (presentedFrame_.empty() || pixels == nullptr || width == nullptr || height == nullptr) {
        return false;
    }
    *pixels = presentedFrame_;
    *width = presentedWidth_;
    *height = presentedHeight_;
    return true;
}

void Device::PresentToSdl(HWND window) {
    const Window* record = FindWindowRecord(window);
    if (record == nullptr || record->sdlWindow == nullptr) {
        return;
    }
    const SurfaceStorage* source = StorageOf(backBuffer_.Get());
    if (record->sdlWindow != presentWindow_ || window != presentHandle_) {
        ReleaseSdlPresenter();
        presentWindow_ = record->sdlWindow;
        presentHandle_ = window;
    }
    if (renderer_ == nullptr) {
        // The software renderer draws into the window surface, which stays
        // readable after presenting.
        renderer_ = SDL_CreateRenderer(presentWindow_, -1, SDL_RENDERER_SOFTWARE);
        if (renderer_ == nullptr) {
            ReportInvalidCall("Present: no SDL renderer for the window: %s", SDL_GetError());
            return;
        }
    }
    const std::uint32_t format =
        source->format == D3DFMT_A8R8G8B8 ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB888;
    const int width = static_cast<int>(source->width);
    const int height = static_cast<int>(source->height);
    if (texture_ == nullptr || textureWidth_ != width || textureHeight_ != height ||
        textureFormat_ != format) {
        if (texture_ != nullptr) {
            SDL_DestroyTexture(texture_);
        }
        texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (texture_ == nullptr) {
            ReportInvalidCall("Present: no SDL texture for the back buffer: %s", SDL_GetError());
            return;
        }
        textureWidth_ = width;
        textureHeight_ = height;
        textureFormat_ = format;
    }
    SDL_UpdateTexture(texture_, nullptr, source->data, static_cast<int>(source->pitch));
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    if (!PresentedFrameFile().empty()) {
        KeepWindowFrame();
    }
}

void Device::KeepWindowFrame() {
    // The software renderer draws into the window's surface, which still
    // holds the frame the window shows after presenting.
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0 || width <= 0 || height <= 0) {
        return;
    }
    try {
        presentedFrame_.resize(std::size_t(width) * std::size_t(height));
    } catch (const std::bad_alloc&) {
        presentedFrame_.clear();
        return;
    }
    if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, presentedFrame_.data(),
                             width * 4) != 0) {
        ReportInvalidCall("Present: cannot read the window back: %s", SDL_GetError());
        presentedFrame_.clear();
        return;
    }
    presentedWidth_ = static_cast<UINT>(width);
    presentedHeight_ = static_cast<UINT>(height);
}

void Device::ReleaseSdlPresenter() {
    // Only while the SDL window still holds this renderer: destroying a
    // window takes its renderer with it.
    const Window* record = FindWindowRecord(presentHandle_);
    const bool windowAlive = presentWindow_ != nullptr && record != nullptr &&
                             record->sdlWindow == presentWindow_ &&
                             SDL_GetRenderer(presentWindow_) == renderer_;
    if (windowAlive && renderer_ != nullptr) {
        if (texture_ != nullptr) {
            SDL_DestroyTexture(texture_);
        }
        SDL_DestroyRenderer(renderer_);
    }
    texture_ = nullptr;
    renderer_ = nullptr;
    presentWindow_ = nullptr;
    presentHandle_ = nullptr;
    textureWidth_ = textureHeight_ = 0;
    textureFormat_ = 0;
}
