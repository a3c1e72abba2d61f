#include "runtime/d3d9/pixel_pipeline.h"

#include <algorithm>

#include "runtime/d3d9/pixel_arithmetic.h"

namespace vellorn_d3d9 {

namespace {

// ---- texture stages ----

std::uint32_t StageArg(DWORD arg, std::uint32_t current, std::uint32_t diffuse,
                       std::uint32_t texture, std::uint32_t factor) {
    std::uint32_t value = 0;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: value = diffuse; break;
        case D3DTA_CURRENT: value = current; break;
        case D3DTA_TEXTURE: value = texture; break;
        case D3DTA_TFACTOR: value = factor; break;
        default:  // no specular or temporary register in this pipeline
            value = 0;
            break;
    }
    if ((arg & D3DTA_COMPLEMENT) != 0) {
        value = ~value;
    }
    if ((arg & D3DTA_ALPHAREPLICATE) != 0) {
        value = (value >> 24) * 0x01010101u;
    }
    return value;
}

std::uint32_t StageOp(DWORD op, std::uint32_t a1, std::uint32_t a2) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t x = Channel(a1, shift);
        const std::uint32_t y = Channel(a2, shift);
        std::uint32_t c = x;
        switch (op) {
            case D3DTOP_SELECTARG2: c = y; break;
            case D3DTOP_MODULATE: c = Mul8(x, y); break;
            case D3DTOP_MODULATE2X: c = std::min(Mul8(x, y) * 2, 255u); break;
            case D3DTOP_MODULATE4X: c = std::min(Mul8(x, y) * 4, 255u); break;
            case D3DTOP_ADD: c = std::min(x + y, 255u); break;
            default:  // SELECTARG1
                break;
        }
        out |= c << shift;
    }
    return out;
}

// ---- blending ----

// Per-channel factors (a, r, g, b order in the packed word) for one side.
std::uint32_t BlendFactor(DWORD factor, std::uint32_t src, std::uint32_t dst,
                          std::uint32_t constant) {
    const std::uint32_t as = src >> 24;
    const std::uint32_t ad = dst >> 24;
    switch (factor) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_ONE: return 0xFFFFFFFFu;
        case D3DBLEND_SRCCOLOR: return src;
        case D3DBLEND_INVSRCCOLOR: return ~src;
        case D3DBLEND_SRCALPHA:
        case D3DBLEND_BOTHSRCALPHA: return as * 0x01010101u;
        case D3DBLEND_INVSRCALPHA:
        case D3DBLEND_BOTHINVSRCALPHA: return (255 - as) * 0x01010101u;
        case D3DBLEND_DESTALPHA: return ad * 0x01010101u;
        case D3DBLEND_INVDESTALPHA: return (255 - ad) * 0x01010101u;
        case D3DBLEND_DESTCOLOR: return dst;
        case D3DBLEND_INVDESTCOLOR: return ~dst;
        case D3DBLEND_SRCALPHASAT: {
            const std::uint32_t f = std::min(as, 255 - ad);
            return 0xFF000000u | (f * 0x00010101u);
        }
        case D3DBLEND_BLENDFACTOR: return constant;
        case D3DBLEND_INVBLENDFACTOR: return ~constant;
        default: return 0xFFFFFFFFu;
    }
}

std::uint32_t Blend(const RasterState& state, std::uint32_t src, std::uint32_t dst) {
    DWORD srcFactor = state.srcBlend;
    DWORD dstFactor = state.destBlend;
    if (srcFactor == D3DBLEND_BOTHSRCALPHA) {
        dstFactor = D3DBLEND_INVSRCALPHA;
    } else if (srcFactor == D3DBLEND_BOTHINVSRCALPHA) {
        dstFactor = D3DBLEND_SRCALPHA;
    }
    const std::uint32_t fs = BlendFactor(srcFactor, src, dst, state.blendFactor);
    const std::uint32_t fd = BlendFactor(dstFactor, src, dst, state.blendFactor);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t s = Channel(src, shift);
        const std::uint32_t d = Channel(dst, shift);
        const std::uint32_t ts = s * Channel(fs, shift);
        const std::uint32_t td = d * Channel(fd, shift);
        std::uint32_t c = 0;
        switch (state.blendOp) {
            case D3DBLENDOP_SUBTRACT: c = ts > td ? Div255(ts - td) : 0; break;
            case D3DBLENDOP_REVSUBTRACT: c = td > ts ? Div255(td - ts) : 0; break;
            case D3DBLENDOP_MIN: c = std::min(s, d); break;
            case D3DBLENDOP_MAX: c = std::max(s, d); break;
            default: c = std::min(Div255(ts + td), 255u); break;
        }
        out |= c << shift;
    }
    return out;
}

bool AlphaTestPasses(DWORD func, std::uint32_t alpha, std::uint32_t ref) {
    switch (func) {
        case D3DCMP_NEVER: return false;
        case D3DCMP_LESS: return alpha < ref;
        case D3DCMP_EQUAL: return alpha == ref;
        case D3DCMP_LESSEQUAL: return alpha <= ref;
        case D3DCMP_GREATER: return alpha > ref;
        case D3DCMP_NOTEQUAL: return alpha != ref;
        case D3DCMP_GREATEREQUAL: return alpha >= ref;
        default: return true;
    }
}

// Shades one pixel through the full pipeline: texture stages, alpha test,
// blending and the colour write mask.
inline void ShadePixel(const DrawContext& ctx, std::uint32_t* dst, std::int64_t u, std::int64_t v,
                       std::uint32_t diffuse, const LodChoice* lod) {
    const RasterState& state = *ctx.state;
    std::uint32_t current = diffuse;
    for (int stage = 0; stage < ctx.activeStages; ++stage) {
        const StageSettings& st = state.stages[stage];
        std::uint32_t texel = 0xFFFFFFFFu;
        if (ctx.stageReadsTexture[stage] && ctx.samplers[stage].levelCount > 0) {
            texel = Sample(ctx.samplers[stage], lod[stage], u, v);
        }
        const std::uint32_t c1 =
            StageArg(st.colorArg1, current, diffuse, texel, state.textureFactor);
        const std::uint32_t c2 =
            StageArg(st.colorArg2, current, diffuse, texel, state.textureFactor);
        const std::uint32_t color = StageOp(st.colorOp, c1, c2);
        std::uint32_t alpha = current;
        if (st.alphaOp != D3DTOP_DISABLE) {
            const std::uint32_t a1 =
                StageArg(st.alphaArg1, current, diffuse, texel, state.textureFactor);
            const std::uint32_t a2 =
                StageArg(st.alphaArg2, current, diffuse, texel, state.textureFactor);
            alpha = StageOp(st.alphaOp, a1, a2);
        }
        current = (color & 0x00FFFFFFu) | (alpha & 0xFF000000u);
    }
    if (state.alphaTestEnable &&
        !AlphaTestPasses(state.alphaFunc, current >> 24, state.alphaRef & 0xFFu)) {
        return;
    }
    const std::uint32_t old = *dst;
    const std::uint32_t destination = state.targetHasAlpha ? old : (old | 0xFF000000u);
    std::uint32_t out = state.alphaBlendEnable ? Blend(state, current, destination) : current;
    out = (out & ctx.writeMask) | (old & ~ctx.writeMask);
    if (!state.targetHasAlpha) {
        out |= 0xFF000000u;
    }
    *dst = out;
}

}  // namespace

bool ArgReadsTexture(DWORD arg) {
    return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
}

std::uint32_t WriteMask(const RasterState& state) {
    std::uint32_t mask = 0;
    if ((state.colorWriteEnable & D3DCOLORWRITEENABLE_RED) != 0)
        mask |= 0x00FF0000u;
    if ((state.colorWriteEnable & D3DCOLORWRITEENABLE_GREEN) != 0)
        mask |= 0x0000FF00u;
    if ((state.colorWriteEnable & D3DCOLORWRITEENABLE_BLUE) != 0)
        mask |= 0x000000FFu;
    if ((state.colorWriteEnable & D3DCOLORWRITEENABLE_ALPHA) != 0)
        mask |= 0xFF000000u;
    return mask;
}

void ShadeAffineSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* row, int x0, int x1,
                     int py, std::int64_t u, std::int64_t v) {
    for (int px = x0; px <= x1; ++px, u += sh.dux, v += sh.dvx) {
        std::uint32_t diffuse = sh.color;
        if (!sh.constantColor) {
            diffuse = PackFloat(static_cast<float>(sh.a.At(px, py, sh.px0, sh.py0)),
                                static_cast<float>(sh.r.At(px, py, sh.px0, sh.py0)),
                                static_cast<float>(sh.g.At(px, py, sh.px0, sh.py0)),
                                static_cast<float>(sh.b.At(px, py, sh.px0, sh.py0)));
        }
        ShadePixel(ctx, row + px, u, v, diffuse, sh.lod);
    }
}

void ShadePerspectiveSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* row, int x0,
                          int x1, int py) {
    for (int px = x0; px <= x1; ++px) {
        const double q = sh.q.At(px, py, sh.px0, sh.py0);
        const double w = 1.0 / q;
        const double u = sh.uq.At(px, py, sh.px0, sh.py0) * w;
        const double v = sh.vq.At(px, py, sh.px0, sh.py0) * w;
        std::uint32_t diffuse = sh.color;
        if (!sh.constantColor) {
            diffuse = PackFloat(static_cast<float>(sh.a.At(px, py, sh.px0, sh.py0) * w),
                                static_cast<float>(sh.r.At(px, py, sh.px0, sh.py0) * w),
                                static_cast<float>(sh.g.At(px, py, sh.px0, sh.py0) * w),
                                static_cast<float>(sh.b.At(px, py, sh.px0, sh.py0) * w));
        }
        LodChoice lod[2];
        for (int stage = 0; stage < ctx.activeStages; ++stage) {
            // d(u)/dx = (d(u/w)/dx - u * d(1/w)/dx) * w
            const double dudx = (sh.uq.dx - u * sh.q.dx) * w;
            const double dudy = (sh.uq.dy - u * sh.q.dy) * w;
            const double dvdx = (sh.vq.dx - v * sh.q.dx) * w;
            const double dvdy = (sh.vq.dy - v * sh.q.dy) * w;
            lod[stage] =
                ChooseLod(ctx.samplers[stage], Lambda(ctx.samplers[stage], dudx, dvdx, dudy, dvdy));
        }
        ShadePixel(ctx, row + px, ToFixed(u), ToFixed(v), diffuse, lod);
    }
}

}  // namespace vellorn_d3d9
