#include "runtime/d3d9/triangle_fill.h"

#include <algorithm>
#include <cmath>

#include "runtime/d3d9/pixel_arithmetic.h"
#include "runtime/d3d9/pixel_pipeline.h"
#include "runtime/d3d9/sprite_span.h"

namespace vellorn_d3d9 {

namespace {

// Screen positions are snapped to 1/256 pixel; edge functions are exact in
// 64-bit integers.
constexpr int kSubpixelBits = 8;
constexpr double kSubpixelScale = 256.0;

struct ScreenVertex {
    std::int64_t fx, fy;  // snapped position, 1/256 pixel
    double x, y;          // the same position in pixels
    float q;              // 1 / w
    const RasterVertex* v;
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

// A triangle set up for filling: its snapped corners (clockwise on screen),
// their bounds, the pixels it may cover and its interpolation.
struct TriangleFill {
    std::int64_t fx[3], fy[3];
    std::int64_t minFx, maxFx, minFy, maxFy;
    int left, right, top, bottom;  // inclusive, within the scissor
    Shading sh;
    SpriteFill sprite;
    // For a right triangle with axis-aligned legs, the corner of its bounds
    // it does not touch (bit 0: right, bit 1: bottom); -1 for others.
    int missingCorner;
};

// The corner of the bounds at (fx, fy) as missingCorner numbers them, or -1.
int CornerOf(const TriangleFill& f, std::int64_t fx, std::int64_t fy) {
    if ((fx != f.minFx && fx != f.maxFx) || (fy != f.minFy && fy != f.maxFy))
        return -1;
    return (fx == f.maxFx ? 1 : 0) + (fy == f.maxFy ? 2 : 0);
}

// Sets up one triangle; false when it draws nothing (culled, degenerate,
// outside the scissor or beyond the coordinate range).
bool SetUp(const DrawContext& ctx, const RasterVertex* const* verts, const std::uint32_t* flatColor,
           TriangleFill* fill) {
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
            return false;
        ScreenVertex& s = tri.v[i];
        s.fx = RoundToNearest(static_cast<double>(sx) * kSubpixelScale);
        s.fy = RoundToNearest(static_cast<double>(sy) * kSubpixelScale);
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
        return false;
    if (state.cullMode == D3DCULL_CCW && area < 0)
        return false;
    if (state.cullMode == D3DCULL_CW && area > 0)
        return false;
    if (area < 0)
        std::swap(tri.v[1], tri.v[2]);
    tri.det = (tri.v[1].x - tri.v[0].x) * (tri.v[2].y - tri.v[0].y) -
              (tri.v[2].x - tri.v[0].x) * (tri.v[1].y - tri.v[0].y);

    TriangleFill& f = *fill;
    f.minFx = f.maxFx = tri.v[0].fx;
    f.minFy = f.maxFy = tri.v[0].fy;
    for (int i = 1; i < 3; ++i) {
        f.minFx = std::min(f.minFx, tri.v[i].fx);
        f.maxFx = std::max(f.maxFx, tri.v[i].fx);
        f.minFy = std::min(f.minFy, tri.v[i].fy);
        f.maxFy = std::max(f.maxFy, tri.v[i].fy);
    }
    f.left = std::max(ctx.scissorLeft, static_cast<int>((f.minFx + 255) >> kSubpixelBits));
    f.right = std::min(ctx.scissorRight, static_cast<int>(f.maxFx >> kSubpixelBits));
    f.top = std::max(ctx.scissorTop, static_cast<int>((f.minFy + 255) >> kSubpixelBits));
    f.bottom = std::min(ctx.scissorBottom, static_cast<int>(f.maxFy >> kSubpixelBits));
    if (f.left > f.right || f.top > f.bottom)
        return false;
    // Three distinct corners of the bounds (the area is not zero): the
    // fourth is missing.
    f.missingCorner = 6;
    for (const ScreenVertex& v : tri.v) {
        const int corner = CornerOf(f, v.fx, v.fy);
        f.missingCorner = corner < 0 || f.missingCorner < 0 ? -1 : f.missingCorner - corner;
    }

    for (int i = 0; i < 3; ++i) {
        f.fx[i] = tri.v[i].fx;
        f.fy[i] = tri.v[i].fy;
    }

    // Interpolation setup.
    Shading& sh = f.sh;
    sh = Shading{};
    const RasterVertex& r0 = *tri.v[0].v;
    const RasterVertex& r1 = *tri.v[1].v;
    const RasterVertex& r2 = *tri.v[2].v;
    sh.affine = r0.w == r1.w && r1.w == r2.w;
    sh.px0 = tri.v[0].x;
    sh.py0 = tri.v[0].y;
    sh.refX = f.left;
    sh.refY = f.top;
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
    f.sprite = SpriteFill::None;
    if (sh.affine) {
        sh.u0 = ToFixed(sh.uq.At(sh.refX, sh.refY, sh.px0, sh.py0));
        sh.v0 = ToFixed(sh.vq.At(sh.refX, sh.refY, sh.px0, sh.py0));
        sh.dux = ToFixed(sh.uq.dx, kStepLimit);
        sh.duy = ToFixed(sh.uq.dy, kStepLimit);
        sh.dvx = ToFixed(sh.vq.dx, kStepLimit);
        sh.dvy = ToFixed(sh.vq.dy, kStepLimit);
        for (int stage = 0; stage < ctx.activeStages; ++stage) {
            const float lambda =
                Lambda(ctx.samplers[stage], sh.uq.dx, sh.vq.dx, sh.uq.dy, sh.vq.dy);
            sh.lod[stage] = ChooseLod(ctx.samplers[stage], lambda);
        }
        f.sprite = SpriteFillFor(ctx, sh);
    }
    return true;
}

// The fixed-point texture coordinates at pixel (x, y) of an affine triangle.
void AffineAt(const Shading& sh, int x, int y, std::int64_t* u, std::int64_t* v) {
    const std::int64_t dx = x - static_cast<std::int64_t>(sh.refX);
    const std::int64_t dy = y - static_cast<std::int64_t>(sh.refY);
    *u = sh.u0 + dx * sh.dux + dy * sh.duy;
    *v = sh.v0 + dx * sh.dvx + dy * sh.dvy;
}

// Walks the rows of a set-up triangle and fills the pixels each covers.
void Walk(const DrawContext& ctx, const TriangleFill& f) {
    Edge edges[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const std::int64_t dx = f.fx[j] - f.fx[i];
        const std::int64_t dy = f.fy[j] - f.fy[i];
        // E(p) = dx * (p.y - a.y) - dy * (p.x - a.x), positive inside. Top
        // and left edges own the pixel centres lying exactly on them.
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        Edge& e = edges[i];
        e.stepX = -dy * 256;
        e.stepY = dx * 256;
        e.threshold = topLeft ? 0 : 1;
        e.Start(dx * (static_cast<std::int64_t>(f.top) * 256 - f.fy[i]) + dy * f.fx[i]);
    }
    const Shading& sh = f.sh;
    std::uint32_t* const pixels = ctx.target->pixels;
    const std::size_t pitch = ctx.target->pitchPixels;
    for (int py = f.top; py <= f.bottom; ++py) {
        int x0 = f.left;
        int x1 = f.right;
        for (Edge& e : edges) {
            if (e.stepX == 0) {
                if (e.rowValue < e.threshold) {
                    x0 = 1;
                    x1 = 0;
                }
            } else if (e.stepX > 0) {
                if (e.bound > x0)
                    x0 = static_cast<int>(std::min<std::int64_t>(e.bound, f.right + 1));
            } else {
                if (-e.bound < x1)
                    x1 = static_cast<int>(std::max<std::int64_t>(-e.bound, f.left - 1));
            }
            e.NextRow();
        }
        if (x0 > x1)
            continue;
        std::uint32_t* row = pixels + static_cast<std::size_t>(py) * pitch;
        if (!sh.affine) {
            ShadePerspectiveSpan(ctx, sh, row, x0, x1, py);
            continue;
        }
        std::int64_t u, v;
        AffineAt(sh, x0, py, &u, &v);
        if (f.sprite != SpriteFill::None) {
            SpriteSpan(ctx, sh, f.sprite, row + x0, x1 - x0 + 1, u, v);
        } else {
            ShadeAffineSpan(ctx, sh, row, x0, x1, py, u, v);
        }
    }
}

// Whether two set-up triangles are the halves of one axis-aligned rectangle,
// split along a diagonal, that the sprite span fills with one mapping. The
// fill rule gives each pixel centre of the rectangle to exactly one half
// (the left and top sides and the shared diagonal each belong to one), so
// the rectangle's pixels are those centres with minFx <= 256 x < maxFx and
// minFy <= 256 y < maxFy; with equal coordinates, steps, level of detail and
// colour every pixel gets the bytes its own half would give it.
bool FormOneSpriteRectangle(const TriangleFill& a, const TriangleFill& b) {
    const Shading& p = a.sh;
    const Shading& q = b.sh;
    return a.missingCorner >= 0 && b.missingCorner == 3 - a.missingCorner && a.minFx == b.minFx &&
           a.maxFx == b.maxFx && a.minFy == b.minFy && a.maxFy == b.maxFy &&
           a.sprite != SpriteFill::None && a.sprite == b.sprite && p.refX == q.refX &&
           p.refY == q.refY && p.u0 == q.u0 && p.v0 == q.v0 && p.dux == q.dux && p.duy == q.duy &&
           p.dvx == q.dvx && p.dvy == q.dvy && p.color == q.color &&
           p.lod[0].level == q.lod[0].level && p.lod[0].nextLevel == q.lod[0].nextLevel &&
           p.lod[0].nextWeight == q.lod[0].nextWeight && p.lod[0].filter == q.lod[0].filter;
}

void FillSpriteRectangle(const DrawContext& ctx, const TriangleFill& f) {
    const int right =
        std::min(ctx.scissorRight, static_cast<int>((f.maxFx + 255) >> kSubpixelBits) - 1);
    const int bottom =
        std::min(ctx.scissorBottom, static_cast<int>((f.maxFy + 255) >> kSubpixelBits) - 1);
    if (f.left > right || f.top > bottom)
        return;
    std::int64_t u, v;
    AffineAt(f.sh, f.left, f.top, &u, &v);
    const std::size_t pitch = ctx.target->pitchPixels;
    SpriteRectangle(ctx, f.sh, f.sprite,
                    ctx.target->pixels + static_cast<std::size_t>(f.top) * pitch + f.left, pitch,
                    right - f.left + 1, bottom - f.top + 1, u, v);
}

}  // namespace

void FillTriangle(const DrawContext& ctx, const RasterVertex* const* verts,
                  const std::uint32_t* flatColor) {
    TriangleFill fill;
    if (SetUp(ctx, verts, flatColor, &fill)) {
        Walk(ctx, fill);
    }
}

void FillTrianglePair(const DrawContext& ctx, const RasterVertex* const* first,
                      const std::uint32_t* firstFlat, const RasterVertex* const* second,
                      const std::uint32_t* secondFlat) {
    TriangleFill a;
    TriangleFill b;
    const bool drawA = SetUp(ctx, first, firstFlat, &a);
    const bool drawB = SetUp(ctx, second, secondFlat, &b);
    if (drawA && drawB && FormOneSpriteRectangle(a, b)) {
        FillSpriteRectangle(ctx, a);
        return;
    }
    if (drawA) {
        Walk(ctx, a);
    }
    if (drawB) {
        Walk(ctx, b);
    }
}

}  // namespace vellorn_d3d9
