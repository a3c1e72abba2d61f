// StretchRect: a copy between default-pool surfaces, taking the nearest
// pixel or blending bilinearly where the rects differ in size. The device's
// rules for it:
//
//  1. Both surfaces are surfaces made by this runtime, in D3DPOOL_DEFAULT, and
//     neither is locked.
//  2. A surface is one of four kinds: a render target (stand-alone, the back
//     buffer among them), a render-target texture level (of a 2D or cube
//     texture), an off-screen plain surface, or a plain texture level (a
//     level of any other texture, dynamic ones included).
//  3. Sources: render targets, render-target texture levels and off-screen
//     plain surfaces. The device does not copy from plain texture levels.
//  4. Destinations: render targets and render-target texture levels, from
//     any source; off-screen plain surfaces only from off-screen plain
//     surfaces and without stretching (rects of one size). A plain texture
//     level is never a destination.
//  5. Both surfaces have the same format (the device converts none), and not
//     a block-compressed one.
//  6. Both rects (the whole surface for a null rect) are non-empty and lie
//     inside their surfaces; on one surface they do not overlap.
//  7. The filter is D3DTEXF_NONE or D3DTEXF_POINT (the source pixel under
//     each destination pixel's centre) or D3DTEXF_LINEAR (bilinear between
//     the four nearest source pixels, clamped to the source rect). A stretch
//     with D3DTEXF_LINEAR needs a format whose channels can be blended: only
//     unsigned normalised channels (no palette, signed or floating-point
//     formats).
#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/d3d9/resource_identity.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/surface.h"

namespace {

enum class SurfaceRole { RenderTarget, RenderTargetLevel, OffscreenPlain, TextureLevel };

SurfaceRole RoleOf(const SurfaceObject& surface) {
    const bool renderTarget = (surface.Storage().usage & D3DUSAGE_RENDERTARGET) != 0;
    if (surface.IsTextureLevel()) {
        return renderTarget ? SurfaceRole::RenderTargetLevel : SurfaceRole::TextureLevel;
    }
    return renderTarget ? SurfaceRole::RenderTarget : SurfaceRole::OffscreenPlain;
}

// The widths of a pixel's channels from the lowest bit up, for formats whose
// channels are all unsigned normalised; count 0 for the others.
struct Channels {
    int count;
    unsigned char bits[4];
};

Channels ChannelsOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8: return {4, {8, 8, 8, 8}};
        case D3DFMT_R8G8B8: return {3, {8, 8, 8, 0}};
        case D3DFMT_R5G6B5: return {3, {5, 6, 5, 0}};
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: return {4, {5, 5, 5, 1}};
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: return {4, {4, 4, 4, 4}};
        case D3DFMT_R3G3B2: return {3, {2, 3, 3, 0}};
        case D3DFMT_A8R3G3B2: return {4, {2, 3, 3, 8}};
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A2R10G10B10: return {4, {10, 10, 10, 2}};
        case D3DFMT_G16R16: return {2, {16, 16, 0, 0}};
        case D3DFMT_A16B16G16R16: return {4, {16, 16, 16, 16}};
        case D3DFMT_A8:
        case D3DFMT_L8: return {1, {8, 0, 0, 0}};
        case D3DFMT_A8L8: return {2, {8, 8, 0, 0}};
        case D3DFMT_A4L4: return {2, {4, 4, 0, 0}};
        case D3DFMT_L16: return {1, {16, 0, 0, 0}};
        default: return {0, {0, 0, 0, 0}};
    }
}

std::uint64_t ReadPixel(const BYTE* pixel, UINT bytes) {
    std::uint64_t value = 0;
    for (UINT i = 0; i < bytes; ++i) {
        value |= std::uint64_t{pixel[i]} << (8 * i);
    }
    return value;
}

void WritePixel(BYTE* pixel, UINT bytes, std::uint64_t value) {
    for (UINT i = 0; i < bytes; ++i) {
        pixel[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

// Where destination pixel i of count falls among count source pixels of
// extent: the lower neighbour and the weight of the upper one, with sample
// positions at pixel centres and clamped to the source.
struct Tap {
    UINT low;
    UINT high;
    double weight;
};

Tap TapOf(UINT i, UINT count, UINT extent) {
    const double position = (i + 0.5) * extent / count - 0.5;
    if (position <= 0.0) {
        return {0, 0, 0.0};
    }
    if (position >= extent - 1) {
        return {extent - 1, extent - 1, 0.0};
    }
    const double low = std::floor(position);
    return {static_cast<UINT>(low), static_cast<UINT>(low) + 1, position - low};
}

// The nearest source pixel under destination pixel i's centre.
UINT NearestOf(UINT i, UINT count, UINT extent) {
    return static_cast<UINT>((2 * std::uint64_t{i} + 1) * extent / (2 * std::uint64_t{count}));
}

void StretchNearest(SurfaceObject& from, const RECT& src, SurfaceObject& to, const RECT& dst) {
    const UINT bytes = from.Layout().bytes;
    const UINT srcW = static_cast<UINT>(src.right - src.left);
    const UINT srcH = static_cast<UINT>(src.bottom - src.top);
    const UINT dstW = static_cast<UINT>(dst.right - dst.left);
    const UINT dstH = static_cast<UINT>(dst.bottom - dst.top);
    for (UINT y = 0; y < dstH; ++y) {
        const UINT sy = static_cast<UINT>(src.top) + NearestOf(y, dstH, srcH);
        for (UINT x = 0; x < dstW; ++x) {
            const UINT sx = static_cast<UINT>(src.left) + NearestOf(x, dstW, srcW);
            std::memcpy(to.Address(static_cast<UINT>(dst.left) + x, static_cast<UINT>(dst.top) + y),
                        from.Address(sx, sy), bytes);
        }
    }
}

void StretchLinear(SurfaceObject& from, const RECT& src, SurfaceObject& to, const RECT& dst,
                   const Channels& channels) {
    const UINT bytes = from.Layout().bytes;
    const UINT srcW = static_cast<UINT>(src.right - src.left);
    const UINT srcH = static_cast<UINT>(src.bottom - src.top);
    const UINT dstW = static_cast<UINT>(dst.right - dst.left);
    const UINT dstH = static_cast<UINT>(dst.bottom - dst.top);
    const UINT left = static_cast<UINT>(src.left);
    const UINT top = static_cast<UINT>(src.top);
    for (UINT y = 0; y < dstH; ++y) {
        const Tap ty = TapOf(y, dstH, srcH);
        for (UINT x = 0; x < dstW; ++x) {
            const Tap tx = TapOf(x, dstW, srcW);
            const std::uint64_t corners[4] = {
                ReadPixel(from.Address(left + tx.low, top + ty.low), bytes),
                ReadPixel(from.Address(left + tx.high, top + ty.low), bytes),
                ReadPixel(from.Address(left + tx.low, top + ty.high), bytes),
                ReadPixel(from.Address(left + tx.high, top + ty.high), bytes)};
            const double weights[4] = {(1 - tx.weight) * (1 - ty.weight),
                                       tx.weight * (1 - ty.weight), (1 - tx.weight) * ty.weight,
                                       tx.weight * ty.weight};
            std::uint64_t result = 0;
            int shift = 0;
            for (int c = 0; c < channels.count; ++c) {
                const std::uint64_t mask = (std::uint64_t{1} << channels.bits[c]) - 1;
                double sum = 0.0;
                for (int k = 0; k < 4; ++k) {
                    sum += weights[k] * static_cast<double>((corners[k] >> shift) & mask);
                }
                // The weights sum to 1, so the blend stays within the channel.
                result |= static_cast<std::uint64_t>(std::lround(sum)) << shift;
                shift += channels.bits[c];
            }
            WritePixel(to.Address(static_cast<UINT>(dst.left) + x, static_cast<UINT>(dst.top) + y),
                       bytes, result);
        }
    }
}

// The rule a stretch from the surface at from to the one at to breaks, or
// null when it breaks none.
const char* BrokenRule(const SurfaceObject* from, const RECT& src, const SurfaceObject* to,
                       const RECT& dst, D3DTEXTUREFILTERTYPE filter) {
    if (from->Storage().pool != D3DPOOL_DEFAULT || to->Storage().pool != D3DPOOL_DEFAULT) {
        return "both surfaces must be in the default pool";
    }
    if (from->IsLocked() || to->IsLocked()) {
        return "a surface is locked";
    }
    const SurfaceRole source = RoleOf(*from);
    const SurfaceRole target = RoleOf(*to);
    if (source == SurfaceRole::TextureLevel) {
        return "a texture level that is not a render target cannot be a source";
    }
    if (target == SurfaceRole::TextureLevel) {
        return "a texture level that is not a render target cannot be a destination";
    }
    if (target == SurfaceRole::OffscreenPlain && source != SurfaceRole::OffscreenPlain) {
        return "an off-screen plain surface takes copies only from another one";
    }
    if (from->Storage().format != to->Storage().format || from->Layout().block) {
        return "the surfaces must share one format, not a block-compressed one";
    }
    if (!from->IsValidRect(src) || !to->IsValidRect(dst)) {
        return "a rect is empty or lies outside its surface";
    }
    if (from == to && src.left < dst.right && dst.left < src.right && src.top < dst.bottom &&
        dst.top < src.bottom) {
        return "the rects overlap on one surface";
    }
    const bool stretching = src.right - src.left != dst.right - dst.left ||
                            src.bottom - src.top != dst.bottom - dst.top;
    if (stretching && target == SurfaceRole::OffscreenPlain) {
        return "copies between off-screen plain surfaces cannot stretch";
    }
    if (filter != D3DTEXF_NONE && filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR) {
        return "the filter must be D3DTEXF_NONE, D3DTEXF_POINT or D3DTEXF_LINEAR";
    }
    if (stretching && filter == D3DTEXF_LINEAR && ChannelsOf(from->Storage().format).count == 0) {
        return "the format's channels cannot be blended by D3DTEXF_LINEAR";
    }
    return nullptr;
}

}  // namespace

HRESULT StretchRectResource(IDirect3DSurface9* source, const RECT* sourceRect,
                            IDirect3DSurface9* destination, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter, const char** refusal) {
    SurfaceObject* from = ResourceCast<SurfaceObject>(source);
    SurfaceObject* to = ResourceCast<SurfaceObject>(destination);
    if (from == nullptr || to == nullptr) {
        if (refusal != nullptr) {
            *refusal = "both surfaces must be surfaces made by this runtime";
        }
        return D3DERR_INVALIDCALL;
    }
    const RECT src = sourceRect != nullptr ? *sourceRect : from->WholeRect();
    const RECT dst = destRect != nullptr ? *destRect : to->WholeRect();
    const char* broken = BrokenRule(from, src, to, dst, filter);
    if (broken != nullptr) {
        if (refusal != nullptr) {
            *refusal = broken;
        }
        return D3DERR_INVALIDCALL;
    }
    const bool sameSize = src.right - src.left == dst.right - dst.left &&
                          src.bottom - src.top == dst.bottom - dst.top;
    if (filter == D3DTEXF_LINEAR && !sameSize) {
        StretchLinear(*from, src, *to, dst, ChannelsOf(from->Storage().format));
    } else {
        StretchNearest(*from, src, *to, dst);
    }
    to->MarkChanged();
    return S_OK;
}
