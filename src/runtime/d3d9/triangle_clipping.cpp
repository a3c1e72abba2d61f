#include "runtime/d3d9/triangle_clipping.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellorn_d3d9 {

namespace {

// The guard band is this many viewport half-sizes wide.
constexpr float kGuardBand = 8.0f;
constexpr float kMinimumW = 1e-6f;

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

RasterVertex Lerp(const RasterVertex& a, const RasterVertex& b, float t) {
    auto mix = [t](float p, float q) { return p + (q - p) * t; };
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w), mix(a.r, b.r),
            mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a), mix(a.u, b.u), mix(a.v, b.v)};
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

}  // namespace

bool PositionsFinite(const RasterVertex* triangle) {
    for (int i = 0; i < 3; ++i) {
        const RasterVertex& v = triangle[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) ||
            !std::isfinite(v.w)) {
            return false;
        }
    }
    return true;
}

bool InsideClipVolume(const RasterVertex* triangle) {
    for (const ClipPlane& plane : kClipPlanes) {
        if (plane.Distance(triangle[0]) < 0 || plane.Distance(triangle[1]) < 0 ||
            plane.Distance(triangle[2]) < 0) {
            return false;
        }
    }
    return true;
}

int ClipTriangle(const RasterVertex* triangle, RasterVertex* polygon, RasterVertex* scratch,
                 const RasterVertex** result) {
    int count = 3;
    std::copy(triangle, triangle + 3, polygon);
    RasterVertex* in = polygon;
    RasterVertex* out = scratch;
    for (const ClipPlane& plane : kClipPlanes) {
        count = ClipAgainst(plane, in, count, out);
        std::swap(in, out);
        if (count < 3)
            break;
    }
    *result = in;
    return count;
}

}  // namespace vellorn_d3d9
