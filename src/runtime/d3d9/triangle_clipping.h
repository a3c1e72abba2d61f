// Clipping of clip-space triangles against the near and far planes, the eye
// plane and a guard band around the viewport. Pixels outside the viewport
// are scissored away when filling, so the guard band never changes which
// pixels are drawn; it only keeps snapped coordinates small.
#pragma once

#include "runtime/d3d9/rasterizer.h"

namespace vellorn_d3d9 {

// The most vertices a triangle can have after clipping.
inline constexpr int kMaxClipVertices = 3 + 7;

// Whether all three positions are finite numbers.
bool PositionsFinite(const RasterVertex* triangle);

// Whether the triangle lies wholly inside every clipping plane.
bool InsideClipVolume(const RasterVertex* triangle);

// Clips the triangle into a convex polygon of the returned number of vertices
// (fewer than 3: nothing remains), in polygon or scratch, whichever *result
// points at afterwards. Both hold kMaxClipVertices.
int ClipTriangle(const RasterVertex* triangle, RasterVertex* polygon, RasterVertex* scratch,
                 const RasterVertex** result);

}  // namespace vellorn_d3d9
