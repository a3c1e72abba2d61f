#include "runtime/d3d9/rasterizer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELLORN_RASTER_AVX2 1
#endif

#include "runtime/d3d9/sampler.h"

namespace {

using namespace vellorn_d3d9;

// Screen positions are snapped to 1/256 pixel; edge functions are exact in
// 64-bit integers.
constexpr int kSubpixelBits = 8;
constexpr double kSubpixelScale = 256.0;
// Geometry is clipped to a guard band this many viewport half-sizes wide, so
// that snapped coordinates stay small; pixels outside the viewport are
// scissored away, so the guard band never changes which pixels are drawn.
constexpr float kGuardBand = 8.0f;
constexpr float kMinimumW = 1e-6f;

// ---- 8-bit arithmetic ----

inline std::uint32_t Mul8(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;  // a * b / 255, rounded to nearest
}

inline std::uint32_t Div255(std::uint32_t x) {
    return (x + 127) / 255;
}

inline std::uint32_t Channel(std::uint32_t c, int shift) {
    return (c >> shift) & 0xFFu;
}

inline std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline std::uint32_t ToByte(float value) {
    if (!(value > 0.0f))
        return 0;  // also NaN
    const float c = std::min(value, 1.0f);
    return static_cast<std::uint32_t>(c * 255.0f + 0.5f);
}

inline std::uint32_t PackFloat(float a, float r, float g, float b) {
    return Pack(ToByte(a), ToByte(r), ToByte(g), ToByte(b));
}

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

bool ArgReadsTexture(DWORD arg) {
    return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
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

// Expands the colour write mask (red, green, blue, alpha bits) to a packed
// word mask.
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

// ---- clipping ----

struct ClipPlane {
    float x, y, z, w;
    float offset;
    float Distance(const RasterVertex& v) const {
        return x * v.x + y * v.y + z * v.z + w * v.w + offset;
    }
};

constexpr ClipPlane kClipPlanes[] = {
    {0, 0, 1, 0, 0},            // near: z >= 0
    {0, 0, -1, 1, 0},           // far: z <= w
    {0, 0, 0, 1, -kMinimumW},   // in front of the eye
    {-1, 0, 0, kGuardBand, 0},  // guard band, right
    {1, 0, 0, kGuardBand, 0},   // guard band, left
    {0, -1, 0, kGuardBand, 0},  // guard band, top
    {0, 1, 0, kGuardBand, 0},   // guard band, bottom
};

constexpr int kMaxClipVertices = 3 + 7;

RasterVertex Lerp(const RasterVertex& a, const RasterVertex& b, float t) {
    auto mix = [t](float p, float q) { return p + (q - p) * t; };
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w), mix(a.r, b.r),
            mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a), mix(a.u, b.u), mix(a.v, b.v)};
}

bool PositionsFinite(const RasterVertex* v) {
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y) || !std::isfinite(v[i].z) ||
            !std::isfinite(v[i].w)) {
            return false;
        }
    }
    return true;
}

int ClipAgainst(const ClipPlane& plane, const RasterVertex* in, int count, RasterVertex* out) {
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const RasterVertex& a = in[i];
        const RasterVertex& b = in[(i + 1) % count];
        const float da = plane.Distance(a);
        const float db = plane.Distance(b);
        if (da >= 0) {
            out[written++] = a;
        }
        if ((da >= 0) != (db >= 0)) {
            out[written++] = Lerp(a, b, da / (da - db));
        }
    }
    return written;
}

// ---- triangle setup and filling ----

struct ScreenVertex {
    std::int64_t fx, fy;  // snapped position, 1/256 pixel
    double x, y;          // the same position in pixels
    float q;              // 1 / w
    const RasterVertex* v;
};

// A plane a(x, y) = a0 + dx * (x - x0) + dy * (y - y0) over the triangle.
struct Plane {
    double a0 = 0, dx = 0, dy = 0;
    double At(double x, double y, double x0, double y0) const {
        return a0 + dx * (x - x0) + dy * (y - y0);
    }
};

struct TriangleSetup {
    ScreenVertex v[3];
    double det;
    Plane Make(double a0, double a1, double a2) const {
        const double x10 = v[1].x - v[0].x, y10 = v[1].y - v[0].y;
        const double x20 = v[2].x - v[0].x, y20 = v[2].y - v[0].y;
        Plane p;
        p.a0 = a0;
        p.dx = ((a1 - a0) * y20 - (a2 - a0) * y10) / det;
        p.dy = ((a2 - a0) * x10 - (a1 - a0) * x20) / det;
        return p;
    }
};

inline std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {  // d > 0
    const std::int64_t q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

// One edge of a triangle being filled. A pixel centre p is on the inner side
// when E(p) >= threshold, where E grows by stepX per pixel in x and by stepY
// per row. For a sloped edge this bounds x on each row by
// ceil((threshold - E(0, row)) / |stepX|) (a lower bound when stepX > 0, the
// negated upper bound otherwise); that quotient is carried from row to row
// exactly with its remainder, without any division in the row loop.
struct Edge {
    std::int64_t stepX;
    std::int64_t threshold;
    std::int64_t rowValue;  // E(0, row) (used for horizontal edges)
    std::int64_t stepY;
    std::int64_t bound;      // ceil(n / divisor) for the current row
    std::int64_t remainder;  // bound * divisor - n, in [0, divisor)
    std::int64_t divisor;    // |stepX|
    std::int64_t boundStep;  // per row: n changes by boundStep * divisor + remainderStep
    std::int64_t remainderStep;

    void Start(std::int64_t value) {
        rowValue = value;
        if (stepX == 0)
            return;
        divisor = stepX > 0 ? stepX : -stepX;
        const std::int64_t n = threshold - value;
        bound = -FloorDiv(-n, divisor);
        remainder = bound * divisor - n;
        boundStep = FloorDiv(-stepY, divisor);
        remainderStep = -stepY - boundStep * divisor;
    }
    void NextRow() {
        rowValue += stepY;
        if (stepX == 0)
            return;
        bound += boundStep;
        remainder -= remainderStep;
        if (remainder < 0) {
            remainder += divisor;
            bound += 1;
        }
    }
};

struct DrawContext {
    const RasterState* state;
    RasterTarget* target;
    SamplerSetup samplers[2];
    bool stageReadsTexture[2];
    int activeStages;
    std::uint32_t writeMask;
    bool spriteFastPath;
    int scissorLeft, scissorTop, scissorRight, scissorBottom;  // inclusive
};

// Per-triangle interpolation state.
struct Shading {
    bool affine;
    double refX, refY;  // pixel the fixed-point texture coordinates refer to
    // affine texture coordinates: normalised * 2^32
    std::int64_t u0, v0, dux, duy, dvx, dvy;
    // perspective: u/w, v/w and 1/w planes
    Plane uq, vq, q;
    double px0, py0;  // plane origin (vertex 0)
    bool constantColor;
    std::uint32_t color;
    Plane r, g, b, a;  // colour (times 1/w in perspective)
    LodChoice lod[2];  // affine: constant over the triangle
};

float LambdaFor(const SamplerSetup& s, double dudx, double dvdx, double dudy, double dvdy) {
    if (s.levelCount <= 0) {
        return 0.0f;
    }
    const double w = s.levels[0].width, h = s.levels[0].height;
    const double m = std::max(std::max(std::abs(dudx * w), std::abs(dvdx * h)),
                              std::max(std::abs(dudy * w), std::abs(dvdy * h)));
    if (m <= 0.0) {
        return -1000.0f;
    }
    return static_cast<float>(std::log2(m));
}

// Normalised texture coordinates and their per-pixel steps in fixed point.
// The limits keep every product with a texture size (and every step across
// the guard band) inside 64 bits; real geometry never comes near them.
constexpr double kCoordLimit = 8192.0;
constexpr double kStepLimit = 8.0;

inline std::int64_t ToFixed(double value, double limit = kCoordLimit) {
    if (!(value >= -limit))
        value = -limit;  // also catches NaN
    if (value > limit)
        value = limit;
    return static_cast<std::int64_t>(std::llround(value * kCoordScale));
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

// Source-alpha blending of one pixel after modulating the texel with the
// constant diffuse colour; the vector path below computes exactly this.
inline std::uint32_t ModulateBlendPixel(std::uint32_t texel, std::uint32_t color, std::uint32_t old,
                                        std::uint32_t alphaOr) {
    const std::uint32_t sa = Mul8(texel >> 24, color >> 24);
    const std::uint32_t src =
        Pack(sa, Mul8(Channel(texel, 16), Channel(color, 16)),
             Mul8(Channel(texel, 8), Channel(color, 8)), Mul8(texel & 0xFFu, color & 0xFFu));
    const std::uint32_t d = old | alphaOr;
    const std::uint32_t ia = 255 - sa;
    std::uint32_t rb = (src & 0x00FF00FFu) * sa + (d & 0x00FF00FFu) * ia + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag =
        ((src >> 8) & 0x00FF00FFu) * sa + ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
    ag = ((ag + ((ag >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    return rb | (ag << 8) | alphaOr;
}

#if defined(__SSE2__)
// Mul8 on eight 16-bit lanes.
inline __m128i Mul8x8(__m128i a, __m128i b) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Source-alpha blend of two pixels held as 16-bit channels.
inline __m128i BlendTwo(__m128i s, __m128i d) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(s, alpha), _mm_mullo_epi16(d, inverse));
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}
#endif

#if defined(VELLORN_RASTER_AVX2)
// The same arithmetic as BlendTwo and Mul8x8 on eight pixels at a time, for
// processors with AVX2 (chosen at run time; the results are identical).
__attribute__((target("avx2"))) inline __m256i Mul8x16(__m256i a, __m256i b) {
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

__attribute__((target("avx2"))) inline __m256i BlendFour(__m256i src, __m256i d) {
    const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(src, 0xFF), 0xFF);
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(src, alpha), _mm256_mullo_epi16(d, inverse));
    x = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
}

__attribute__((target("avx2"))) int ModulateBlendAvx2(std::uint32_t* dst,
                                                      const std::uint32_t* texels, int count,
                                                      std::uint32_t color, std::uint32_t alphaOr) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i diffuse = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(color)), zero);
    const __m256i fill = _mm256_set1_epi32(static_cast<int>(alphaOr));
    const bool white = color == 0xFFFFFFFFu;
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int i = 0; i < count; i += 8) {
        // The last group of a span reads and writes only its own pixels.
        const __m256i mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - i), lanes);
        const __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(texels + i), mask);
        const __m256i d = _mm256_or_si256(
            _mm256_maskload_epi32(reinterpret_cast<const int*>(dst + i), mask), fill);
        __m256i sLow = _mm256_unpacklo_epi8(s, zero);
        __m256i sHigh = _mm256_unpackhi_epi8(s, zero);
        if (!white) {
            sLow = Mul8x16(sLow, diffuse);
            sHigh = Mul8x16(sHigh, diffuse);
        }
        const __m256i low = BlendFour(sLow, _mm256_unpacklo_epi8(d, zero));
        const __m256i high = BlendFour(sHigh, _mm256_unpackhi_epi8(d, zero));
        _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + i), mask,
                               _mm256_or_si256(_mm256_packus_epi16(low, high), fill));
    }
    return count;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Modulates count texels by the constant diffuse colour and blends them over
// the target by their alpha.
void ModulateBlendSpan(std::uint32_t* dst, const std::uint32_t* texels, int count,
                       std::uint32_t color, bool alphaTarget) {
    const std::uint32_t alphaOr = alphaTarget ? 0u : 0xFF000000u;
    int i = 0;
#if defined(VELLORN_RASTER_AVX2)
    if (HasAvx2()) {
        i = ModulateBlendAvx2(dst, texels, count, color, alphaOr);
    }
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i diffuse = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(color)), zero);
    const __m128i fill = _mm_set1_epi32(static_cast<int>(alphaOr));
    // Modulating by white changes nothing (Mul8(x, 255) == x).
    const bool white = color == 0xFFFFFFFFu;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i));
        const __m128i d =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i)), fill);
        __m128i sLow = _mm_unpacklo_epi8(s, zero);
        __m128i sHigh = _mm_unpackhi_epi8(s, zero);
        if (!white) {
            sLow = Mul8x8(sLow, diffuse);
            sHigh = Mul8x8(sHigh, diffuse);
        }
        const __m128i low = BlendTwo(sLow, _mm_unpacklo_epi8(d, zero));
        const __m128i high = BlendTwo(sHigh, _mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_or_si128(_mm_packus_epi16(low, high), fill));
    }
#endif
    for (; i < count; ++i) {
        dst[i] = ModulateBlendPixel(texels[i], color, dst[i], alphaOr);
    }
}

// The common sprite case: texture x constant diffuse, source-alpha blending,
// clamped addressing, one mip level for the whole triangle. Texels are
// fetched into a small buffer (or read in place when a span maps one to one
// onto a texel row) and then combined with the target in bulk.
template <bool Linear>
void SpriteSpan(const DrawContext& ctx, const Shading& sh, std::uint32_t* dst, int count,
                std::int64_t u, std::int64_t v) {
    const SampledLevel& level = ctx.samplers[0].levels[sh.lod[0].level];
    const auto w = static_cast<std::int64_t>(level.width);
    const auto h = static_cast<std::int64_t>(level.height);
    const int maxX = static_cast<int>(w) - 1;
    const int maxY = static_cast<int>(h) - 1;
    std::int64_t s = u * w;
    std::int64_t t = v * h;
    const std::int64_t ds = sh.dux * w;
    const std::int64_t dt = sh.dvx * h;
    const std::uint32_t* texels = level.texels;
    const bool alphaTarget = ctx.state->targetHasAlpha;
    constexpr int kChunk = 64;
    std::uint32_t buffer[kChunk];
    constexpr std::int64_t kRound = std::int64_t{1} << 23;
    while (count > 0) {
        const int n = std::min(count, kChunk);
        const std::uint32_t* source = buffer;
        if constexpr (!Linear) {
            const std::int64_t x0 = (s + kRound) >> 32;
            const std::int64_t y0 = (t + kRound) >> 32;
            if (ds == (std::int64_t{1} << 32) && dt == 0 && x0 >= 0 && x0 + n - 1 <= maxX &&
                y0 >= 0 && y0 <= maxY) {
                source = texels + static_cast<std::size_t>(y0) * level.width +
                         static_cast<std::size_t>(x0);
            } else {
                std::int64_t si = s, ti = t;
                for (int i = 0; i < n; ++i, si += ds, ti += dt) {
                    const int x =
                        static_cast<int>(std::clamp<std::int64_t>((si + kRound) >> 32, 0, maxX));
                    const int y =
                        static_cast<int>(std::clamp<std::int64_t>((ti + kRound) >> 32, 0, maxY));
                    buffer[i] = texels[static_cast<std::size_t>(y) * level.width +
                                       static_cast<std::size_t>(x)];
                }
            }
        } else {
            std::int64_t si = s, ti = t;
            for (int i = 0; i < n; ++i, si += ds, ti += dt) {
                const std::int64_t sl = ((si + kRound) >> 24) - 128;
                const std::int64_t tl = ((ti + kRound) >> 24) - 128;
                const auto x0 = static_cast<int>(std::clamp<std::int64_t>(sl >> 8, -1, maxX));
                const auto y0 = static_cast<int>(std::clamp<std::int64_t>(tl >> 8, -1, maxY));
                const auto fx = static_cast<std::uint32_t>(sl & 255);
                const auto fy = static_cast<std::uint32_t>(tl & 255);
                const int xa = std::max(x0, 0), xb = std::min(x0 + 1, maxX);
                const int ya = std::max(y0, 0), yb = std::min(y0 + 1, maxY);
                const std::uint32_t* rowA = texels + static_cast<std::size_t>(ya) * level.width;
                const std::uint32_t* rowB = texels + static_cast<std::size_t>(yb) * level.width;
                const std::uint32_t top = LerpPacked(rowA[xa], rowA[xb], fx);
                buffer[i] = fy == 0 ? top : LerpPacked(top, LerpPacked(rowB[xa], rowB[xb], fx), fy);
            }
        }
        ModulateBlendSpan(dst, source, n, sh.color, alphaTarget);
        dst += n;
        count -= n;
        s += ds * n;
        t += dt * n;
    }
}

void FillTriangle(const DrawContext& ctx, const RasterVertex* const* verts,
                  const std::uint32_t* flatColor) {
    const RasterState& state = *ctx.state;
    const D3DVIEWPORT9& vp = state.viewport;
    TriangleSetup tri;
    for (int i = 0; i < 3; ++i) {
        const RasterVertex& rv = *verts[i];
        const float q = 1.0f / rv.w;
        const float sx =
            static_cast<float>(vp.X) + (rv.x * q + 1.0f) * static_cast<float>(vp.Width) * 0.5f;
        const float sy =
            static_cast<float>(vp.Y) + (1.0f - rv.y * q) * static_cast<float>(vp.Height) * 0.5f;
        // Clipping bounds every position to the guard band; anything else
        // (overflow in extreme input) is not drawn.
        if (!(std::abs(sx) < 1e7f) || !(std::abs(sy) < 1e7f))
            return;
        ScreenVertex& s = tri.v[i];
        s.fx = std::llround(static_cast<double>(sx) * kSubpixelScale);
        s.fy = std::llround(static_cast<double>(sy) * kSubpixelScale);
        s.x = static_cast<double>(s.fx) / kSubpixelScale;
        s.y = static_cast<double>(s.fy) / kSubpixelScale;
        s.q = q;
        s.v = &rv;
    }
    // Twice the signed area; positive for triangles that run clockwise on
    // screen (y grows downwards).
    const std::int64_t area = (tri.v[1].fx - tri.v[0].fx) * (tri.v[2].fy - tri.v[0].fy) -
                              (tri.v[2].fx - tri.v[0].fx) * (tri.v[1].fy - tri.v[0].fy);
    if (area == 0)
        return;
    if (state.cullMode == D3DCULL_CCW && area < 0)
        return;
    if (state.cullMode == D3DCULL_CW && area > 0)
        return;
    if (area < 0)
        std::swap(tri.v[1], tri.v[2]);
    tri.det = (tri.v[1].x - tri.v[0].x) * (tri.v[2].y - tri.v[0].y) -
              (tri.v[2].x - tri.v[0].x) * (tri.v[1].y - tri.v[0].y);

    std::int64_t minFx = tri.v[0].fx, maxFx = minFx, minFy = tri.v[0].fy, maxFy = minFy;
    for (int i = 1; i < 3; ++i) {
        minFx = std::min(minFx, tri.v[i].fx);
        maxFx = std::max(maxFx, tri.v[i].fx);
        minFy = std::min(minFy, tri.v[i].fy);
        maxFy = std::max(maxFy, tri.v[i].fy);
    }
    const int left = std::max(ctx.scissorLeft, static_cast<int>((minFx + 255) >> kSubpixelBits));
    const int right = std::min(ctx.scissorRight, static_cast<int>(maxFx >> kSubpixelBits));
    const int top = std::max(ctx.scissorTop, static_cast<int>((minFy + 255) >> kSubpixelBits));
    const int bottom = std::min(ctx.scissorBottom, static_cast<int>(maxFy >> kSubpixelBits));
    if (left > right || top > bottom)
        return;

    Edge edges[3];
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& a = tri.v[i];
        const ScreenVertex& b = tri.v[(i + 1) % 3];
        const std::int64_t dx = b.fx - a.fx;
        const std::int64_t dy = b.fy - a.fy;
        // E(p) = dx * (p.y - a.y) - dy * (p.x - a.x), positive inside. Top
        // and left edges own the pixel centres lying exactly on them.
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        Edge& e = edges[i];
        e.stepX = -dy * 256;
        e.stepY = dx * 256;
        e.threshold = topLeft ? 0 : 1;
        e.Start(dx * (static_cast<std::int64_t>(top) * 256 - a.fy) + dy * a.fx);
    }

    // Interpolation setup.
    Shading sh{};
    const RasterVertex& r0 = *tri.v[0].v;
    const RasterVertex& r1 = *tri.v[1].v;
    const RasterVertex& r2 = *tri.v[2].v;
    sh.affine = r0.w == r1.w && r1.w == r2.w;
    sh.px0 = tri.v[0].x;
    sh.py0 = tri.v[0].y;
    sh.refX = left;
    sh.refY = top;
    if (flatColor != nullptr) {
        sh.constantColor = true;
        sh.color = *flatColor;
    } else if (r0.r == r1.r && r0.r == r2.r && r0.g == r1.g && r0.g == r2.g && r0.b == r1.b &&
               r0.b == r2.b && r0.a == r1.a && r0.a == r2.a) {
        sh.constantColor = true;
        sh.color = PackFloat(r0.a, r0.r, r0.g, r0.b);
    }
    const float q0 = sh.affine ? 1.0f : tri.v[0].q;
    const float q1 = sh.affine ? 1.0f : tri.v[1].q;
    const float q2 = sh.affine ? 1.0f : tri.v[2].q;
    if (!sh.constantColor) {
        sh.r = tri.Make(r0.r * q0, r1.r * q1, r2.r * q2);
        sh.g = tri.Make(r0.g * q0, r1.g * q1, r2.g * q2);
        sh.b = tri.Make(r0.b * q0, r1.b * q1, r2.b * q2);
        sh.a = tri.Make(r0.a * q0, r1.a * q1, r2.a * q2);
    }
    sh.uq = tri.Make(static_cast<double>(r0.u) * q0, static_cast<double>(r1.u) * q1,
                     static_cast<double>(r2.u) * q2);
    sh.vq = tri.Make(static_cast<double>(r0.v) * q0, static_cast<double>(r1.v) * q1,
                     static_cast<double>(r2.v) * q2);
    sh.q = tri.Make(q0, q1, q2);
    bool fast = false;
    bool fastLinear = true;
    if (sh.affine) {
        sh.u0 = ToFixed(sh.uq.At(sh.refX, sh.refY, sh.px0, sh.py0));
        sh.v0 = ToFixed(sh.vq.At(sh.refX, sh.refY, sh.px0, sh.py0));
        sh.dux = ToFixed(sh.uq.dx, kStepLimit);
        sh.duy = ToFixed(sh.uq.dy, kStepLimit);
        sh.dvx = ToFixed(sh.vq.dx, kStepLimit);
        sh.dvy = ToFixed(sh.vq.dy, kStepLimit);
        for (int stage = 0; stage < ctx.activeStages; ++stage) {
            const float lambda =
                LambdaFor(ctx.samplers[stage], sh.uq.dx, sh.vq.dx, sh.uq.dy, sh.vq.dy);
            sh.lod[stage] = ChooseLod(ctx.samplers[stage], lambda);
        }
        if (ctx.spriteFastPath && sh.constantColor && sh.lod[0].nextWeight == 0) {
            fast = true;
            const SampledLevel& level = ctx.samplers[0].levels[sh.lod[0].level];
            const auto w = static_cast<std::int64_t>(level.width);
            const auto h = static_cast<std::int64_t>(level.height);
            const std::int64_t whole = std::int64_t{1} << 32;
            auto fraction = [](std::int64_t c) {
                return ((c + (std::int64_t{1} << 23)) >> 24) & 255;
            };
            // When every step moves by whole texels and the first pixel sits
            // on a texel centre, linear filtering reads single texels.
            if (sh.lod[0].filter != D3DTEXF_LINEAR ||
                ((sh.dux * w) % whole == 0 && (sh.duy * w) % whole == 0 &&
                 (sh.dvx * h) % whole == 0 && (sh.dvy * h) % whole == 0 &&
                 fraction(sh.u0 * w) == 128 && fraction(sh.v0 * h) == 128)) {
                fastLinear = false;
            }
        }
    }

    std::uint32_t* const pixels = ctx.target->pixels;
    const std::size_t pitch = ctx.target->pitchPixels;
    for (int py = top; py <= bottom; ++py) {
        int x0 = left;
        int x1 = right;
        for (Edge& e : edges) {
            if (e.stepX == 0) {
                if (e.rowValue < e.threshold) {
                    x0 = 1;
                    x1 = 0;
                }
            } else if (e.stepX > 0) {
                if (e.bound > x0)
                    x0 = static_cast<int>(std::min<std::int64_t>(e.bound, right + 1));
            } else {
                if (-e.bound < x1)
                    x1 = static_cast<int>(std::max<std::int64_t>(-e.bound, left - 1));
            }
            e.NextRow();
        }
        if (x0 > x1)
            continue;
        std::uint32_t* row = pixels + static_cast<std::size_t>(py) * pitch;
        const double dyRow = py - sh.refY;
        if (sh.affine) {
            const std::int64_t dxStart = x0 - static_cast<std::int64_t>(sh.refX);
            const std::int64_t dyFixed = static_cast<std::int64_t>(dyRow);
            std::int64_t u = sh.u0 + dxStart * sh.dux + dyFixed * sh.duy;
            std::int64_t v = sh.v0 + dxStart * sh.dvx + dyFixed * sh.dvy;
            if (fast) {
                if (fastLinear) {
                    SpriteSpan<true>(ctx, sh, row + x0, x1 - x0 + 1, u, v);
                } else {
                    SpriteSpan<false>(ctx, sh, row + x0, x1 - x0 + 1, u, v);
                }
                continue;
            }
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
        } else {
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
                    lod[stage] = ChooseLod(ctx.samplers[stage],
                                           LambdaFor(ctx.samplers[stage], dudx, dvdx, dudy, dvdy));
                }
                ShadePixel(ctx, row + px, ToFixed(u), ToFixed(v), diffuse, lod);
            }
        }
    }
}

bool IsTextureTimesDiffuse(DWORD op, DWORD arg1, DWORD arg2) {
    if (op != D3DTOP_MODULATE)
        return false;
    auto isDiffuse = [](DWORD a) { return a == D3DTA_DIFFUSE || a == D3DTA_CURRENT; };
    return (arg1 == D3DTA_TEXTURE && isDiffuse(arg2)) || (arg2 == D3DTA_TEXTURE && isDiffuse(arg1));
}

}  // namespace

void DrawTriangles(const RasterState& state, const RasterVertex* vertices,
                   std::size_t triangleCount, RasterTarget& target) {
    if (vertices == nullptr || target.pixels == nullptr || target.width == 0 ||
        target.height == 0) {
        return;
    }
    DrawContext ctx{};
    ctx.state = &state;
    ctx.target = &target;
    const auto vpRight = static_cast<std::int64_t>(state.viewport.X) + state.viewport.Width;
    const auto vpBottom = static_cast<std::int64_t>(state.viewport.Y) + state.viewport.Height;
    ctx.scissorLeft = static_cast<int>(std::min<std::int64_t>(state.viewport.X, target.width));
    ctx.scissorTop = static_cast<int>(std::min<std::int64_t>(state.viewport.Y, target.height));
    ctx.scissorRight = static_cast<int>(std::min<std::int64_t>(vpRight, target.width)) - 1;
    ctx.scissorBottom = static_cast<int>(std::min<std::int64_t>(vpBottom, target.height)) - 1;
    if (ctx.scissorLeft > ctx.scissorRight || ctx.scissorTop > ctx.scissorBottom)
        return;

    ctx.activeStages = 0;
    for (int stage = 0; stage < 2; ++stage) {
        const StageSettings& st = state.stages[stage];
        if (st.colorOp == D3DTOP_DISABLE)
            break;  // a disabled stage ends the cascade
        ctx.activeStages = stage + 1;
        ctx.samplers[stage].levels = state.textureLevels[stage];
        ctx.samplers[stage].levelCount = state.textureLevels[stage] != nullptr
                                             ? static_cast<int>(state.textureLevelCount[stage])
                                             : 0;
        ctx.samplers[stage].settings = state.samplers[stage];
        ctx.stageReadsTexture[stage] =
            ArgReadsTexture(st.colorArg1) || ArgReadsTexture(st.colorArg2) ||
            (st.alphaOp != D3DTOP_DISABLE &&
             (ArgReadsTexture(st.alphaArg1) || ArgReadsTexture(st.alphaArg2)));
    }
    ctx.writeMask = WriteMask(state);
    const StageSettings& s0 = state.stages[0];
    const SamplerSettings& sm0 = state.samplers[0];
    ctx.spriteFastPath = ctx.activeStages == 1 && ctx.samplers[0].levelCount > 0 &&
                         IsTextureTimesDiffuse(s0.colorOp, s0.colorArg1, s0.colorArg2) &&
                         IsTextureTimesDiffuse(s0.alphaOp, s0.alphaArg1, s0.alphaArg2) &&
                         !state.alphaTestEnable && state.alphaBlendEnable &&
                         state.srcBlend == D3DBLEND_SRCALPHA &&
                         state.destBlend == D3DBLEND_INVSRCALPHA &&
                         state.blendOp == D3DBLENDOP_ADD && ctx.writeMask == 0xFFFFFFFFu &&
                         sm0.addressU == D3DTADDRESS_CLAMP && sm0.addressV == D3DTADDRESS_CLAMP;

    RasterVertex bufferA[kMaxClipVertices];
    RasterVertex bufferB[kMaxClipVertices];
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const RasterVertex* tv = vertices + 3 * t;
        if (!PositionsFinite(tv))
            continue;  // nothing sensible to draw
        std::uint32_t flat = 0;
        const bool isFlat = state.shadeMode == D3DSHADE_FLAT;
        if (isFlat)
            flat = PackFloat(tv[0].a, tv[0].r, tv[0].g, tv[0].b);
        bool inside = true;
        for (const ClipPlane& plane : kClipPlanes) {
            if (plane.Distance(tv[0]) < 0 || plane.Distance(tv[1]) < 0 ||
                plane.Distance(tv[2]) < 0) {
                inside = false;
                break;
            }
        }
        if (inside) {
            const RasterVertex* tri[3] = {&tv[0], &tv[1], &tv[2]};
            FillTriangle(ctx, tri, isFlat ? &flat : nullptr);
            continue;
        }
        int count = 3;
        std::copy(tv, tv + 3, bufferA);
        RasterVertex* in = bufferA;
        RasterVertex* out = bufferB;
        for (const ClipPlane& plane : kClipPlanes) {
            count = ClipAgainst(plane, in, count, out);
            std::swap(in, out);
            if (count < 3)
                break;
        }
        for (int i = 1; i + 1 < count; ++i) {
            const RasterVertex* tri[3] = {&in[0], &in[i], &in[i + 1]};
            FillTriangle(ctx, tri, isFlat ? &flat : nullptr);
        }
    }
}
