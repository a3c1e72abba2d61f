#include "runtime/d3d9/texture_rules.h"

#include <algorithm>

#include "runtime/d3d9/format_layout.h"

namespace {

bool IsPowerOfTwo(UINT value) {
    return value != 0 && (value & (value - 1)) == 0;
}

constexpr DWORD kTextureUsages =
    D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_SOFTWAREPROCESSING;

}  // namespace

UINT FullChainLength(UINT largestExtent) {
    UINT length = 0;
    while (largestExtent != 0) {
        ++length;
        largestExtent >>= 1;
    }
    return length;
}

HRESULT CheckTextureRequest(const DeviceProfile& profile, const TextureRequest& r,
                            UINT* levelCount) {
    FormatLayout layout{};
    if (r.pool > D3DPOOL_SCRATCH || r.width == 0 || r.height == 0 || r.depth == 0 ||
        !LayoutOf(r.format, &layout) || (r.usage & ~kTextureUsages) != 0) {
        return D3DERR_INVALIDCALL;
    }
    const bool renderTarget = (r.usage & D3DUSAGE_RENDERTARGET) != 0;
    const bool dynamic = (r.usage & D3DUSAGE_DYNAMIC) != 0;
    const bool autoGen = (r.usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if ((renderTarget && (r.pool != D3DPOOL_DEFAULT || dynamic || r.kind == TextureKind::Volume)) ||
        (dynamic && r.pool == D3DPOOL_MANAGED) ||
        (autoGen &&
         (r.pool == D3DPOOL_SYSTEMMEM || r.levels > 1 || r.kind == TextureKind::Volume)) ||
        (layout.block && r.kind == TextureKind::Volume)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT largest = std::max({r.width, r.height, r.depth});
    const UINT full = FullChainLength(largest);
    if (r.levels > full) {
        return D3DERR_INVALIDCALL;
    }
    UINT levels = r.levels == 0 ? full : r.levels;

    // Scratch textures are never used by the device: any known format and
    // size is accepted.
    if (r.pool != D3DPOOL_SCRATCH) {
        const D3DCAPS9& caps = profile.caps;
        const DWORD textureCaps = caps.TextureCaps;
        const FormatSupport* support = FindFormat(profile, r.format);
        const bool offered =
            support != nullptr && (r.kind == TextureKind::Plain  ? support->texture
                                   : r.kind == TextureKind::Cube ? support->cubeTexture
                                                                 : support->volumeTexture);
        if (!offered || (renderTarget && !support->renderTarget) ||
            (dynamic && !support->dynamic)) {
            return D3DERR_INVALIDCALL;
        }
        const bool allPowersOfTwo =
            IsPowerOfTwo(r.width) && IsPowerOfTwo(r.height) && IsPowerOfTwo(r.depth);
        switch (r.kind) {
            case TextureKind::Plain: {
                if (r.width > caps.MaxTextureWidth || r.height > caps.MaxTextureHeight) {
                    return D3DERR_INVALIDCALL;
                }
                const UINT ratio = std::max(r.width / r.height, r.height / r.width);
                if (caps.MaxTextureAspectRatio != 0 && ratio > caps.MaxTextureAspectRatio) {
                    return D3DERR_INVALIDCALL;
                }
                if ((textureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 && r.width != r.height) {
                    return D3DERR_INVALIDCALL;
                }
                // Without full non-power-of-two support, other sizes are
                // allowed only conditionally: one level, no mipmaps.
                if ((textureCaps & D3DPTEXTURECAPS_POW2) != 0 && !allPowersOfTwo &&
                    ((textureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) == 0 || levels != 1)) {
                    return D3DERR_INVALIDCALL;
                }
                if ((textureCaps & D3DPTEXTURECAPS_MIPMAP) == 0) {
                    if (r.levels > 1) {
                        return D3DERR_INVALIDCALL;
                    }
                    levels = 1;
                }
                break;
            }
            case TextureKind::Cube:
                if ((textureCaps & D3DPTEXTURECAPS_CUBEMAP) == 0 ||
                    r.width > caps.MaxTextureWidth ||
                    ((textureCaps & D3DPTEXTURECAPS_CUBEMAP_POW2) != 0 && !allPowersOfTwo)) {
                    return D3DERR_INVALIDCALL;
                }
                if ((textureCaps & D3DPTEXTURECAPS_MIPCUBEMAP) == 0) {
                    if (r.levels > 1) {
                        return D3DERR_INVALIDCALL;
                    }
                    levels = 1;
                }
                break;
            case TextureKind::Volume:
                if ((textureCaps & D3DPTEXTURECAPS_VOLUMEMAP) == 0 ||
                    largest > caps.MaxVolumeExtent ||
                    ((textureCaps & D3DPTEXTURECAPS_VOLUMEMAP_POW2) != 0 && !allPowersOfTwo)) {
                    return D3DERR_INVALIDCALL;
                }
                if ((textureCaps & D3DPTEXTURECAPS_MIPVOLUMEMAP) == 0) {
                    if (r.levels > 1) {
                        return D3DERR_INVALIDCALL;
                    }
                    levels = 1;
                }
                break;
        }
    }
    *levelCount = autoGen ? 1 : levels;
    return S_OK;
}
