#include "texture/texture_requirements.h"

#include <algorithm>
#include <cstdint>

#include "platform/diagnostics.h"
#include "texture/format_choice.h"
#include "texture/power_of_two.h"
#include "vellorn/d3dx_texture.h"

namespace {

// Usage bits a texture request may carry: render target, depth-stencil,
// software processing, dynamic, automatic mipmaps, the 0x4000 bit and the
// query bits from legacy bump map to vertex texture.
constexpr DWORD kInvalidUsageBits = 0xFFE039EC;

// value rounded up to a multiple of 4, at most the largest multiple of 4 a
// UINT holds.
UINT MultipleOfFour(UINT value) {
    const std::uint64_t rounded = (std::uint64_t{value} + 3) & ~std::uint64_t{3};
    return static_cast<UINT>(std::min<std::uint64_t>(rounded, 0xFFFFFFFCu));
}

// The position of the highest set bit plus one; 0 for 0.
UINT BitLength(UINT value) {
    UINT length = 0;
    for (; value != 0; value >>= 1) {
        ++length;
    }
    return length;
}

bool IsBlockFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

// At most limit times other, in 64 bits so that the product cannot wrap.
UINT LimitedByAspect(UINT value, UINT other, UINT limit) {
    return static_cast<UINT>(std::min<std::uint64_t>(value, std::uint64_t{other} * limit));
}

}  // namespace

HRESULT CheckTextureRequirements(IDirect3DDevice9* device, UINT* width, UINT* height, UINT* depth,
                                 UINT* mipLevels, DWORD usage, D3DFORMAT* format, D3DPOOL pool,
                                 D3DRESOURCETYPE resourceType) {
    if (device == nullptr) {
        DebugMessage(0, "pDevice pointer is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (usage == D3DX_DEFAULT) {
        usage = 0;
    }
    if ((usage & kInvalidUsageBits) != 0) {
        DebugMessage(0, "Usage parameter is invalid");
        return D3DERR_INVALIDCALL;
    }
    if (static_cast<DWORD>(pool) > D3DPOOL_SCRATCH) {
        DebugMessage(0, "Pool parameter is invalid");
        return D3DERR_INVALIDCALL;
    }
    const bool scratch = pool == D3DPOOL_SCRATCH;

    D3DFORMAT chosen = format != nullptr ? *format : D3DFMT_UNKNOWN;
    if (!scratch) {
        chosen = FindClosestFormat(device, usage, resourceType, LookupFormatInfo(chosen));
        if (chosen == D3DFMT_UNKNOWN) {
            DebugMessage(0, "Device does not support this Usage/ResType");
            return D3DERR_NOTAVAILABLE;
        }
    } else if (chosen == D3DFMT_UNKNOWN) {
        chosen = D3DFMT_A8R8G8B8;
    }

    UINT w = width != nullptr ? *width : D3DX_DEFAULT;
    UINT h = height != nullptr ? *height : D3DX_DEFAULT;
    UINT d = depth != nullptr ? *depth : D3DX_DEFAULT;
    if (w == D3DX_DEFAULT && h == D3DX_DEFAULT) {
        w = 256;
        h = 256;
    } else if (w == D3DX_DEFAULT) {
        w = h;
    } else if (h == D3DX_DEFAULT) {
        h = w;
    }
    w = std::max(w, 1u);
    h = std::max(h, 1u);
    if (d == D3DX_DEFAULT || d == 0) {
        d = 1;
    }
    UINT levels = mipLevels != nullptr ? *mipLevels : 0;

    DWORD textureCaps = 0;
    if (!scratch) {
        D3DCAPS9 caps{};
        const HRESULT hr = device->GetDeviceCaps(&caps);
        if (FAILED(hr)) {
            return hr;
        }
        textureCaps = caps.TextureCaps;
        w = std::min(w, caps.MaxTextureWidth);
        h = std::min(h, caps.MaxTextureHeight);
        const UINT aspectLimit =
            (textureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 ? 1 : caps.MaxTextureAspectRatio;
        if (aspectLimit != 0) {
            w = LimitedByAspect(w, h, aspectLimit);
            h = LimitedByAspect(h, w, aspectLimit);
        }
        const bool conditionalNonPowerOfTwo =
            levels == 1 && (textureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 &&
            !IsBlockFormat(chosen);
        if ((textureCaps & D3DPTEXTURECAPS_POW2) != 0 && !conditionalNonPowerOfTwo) {
            w = PowerOfTwoAtLeast(w);
            h = PowerOfTwoAtLeast(h);
            d = PowerOfTwoAtLeast(d);
        }
    }
    if (IsBlockFormat(chosen)) {
        w = MultipleOfFour(w);
        h = MultipleOfFour(h);
    }

    const bool nonPowerOfTwoWithoutMipmaps =
        (textureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 &&
        (!IsPowerOfTwo(w) || !IsPowerOfTwo(h) || !IsPowerOfTwo(d));
    if (scratch || ((textureCaps & D3DPTEXTURECAPS_MIPMAP) != 0 && !nonPowerOfTwoWithoutMipmaps)) {
        const UINT full = std::max(BitLength(w), BitLength(h));
        if (levels == 0 || levels > full) {
            levels = full;
        }
    } else {
        levels = 1;
    }
    if (levels != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP) != 0) {
        levels = 0;
    }

    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    if (depth != nullptr) {
        *depth = d;
    }
    if (mipLevels != nullptr) {
        *mipLevels = levels;
    }
    if (format != nullptr) {
        *format = chosen;
    }
    return S_OK;
}
