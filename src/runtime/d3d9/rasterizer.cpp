// The draw entry: sets up the draw's context (scissor, active stages and
// samplers, the route the sprite path offers), then clips each triangle and
// hands what remains to the triangle fill.
#include "runtime/d3d9/rasterizer.h"

#include <algorithm>

#include "runtime/d3d9/pixel_arithmetic.h"
#include "runtime/d3d9/pixel_pipeline.h"
#include "runtime/d3d9/triangle_clipping.h"
#include "runtime/d3d9/triangle_fill.h"

using namespace vellorn_d3d9;

void DrawTriangles(const RasterState& state, const RasterVertex* vertices,
                   std::size_t triangleCount, RasterTarget& target, RasterRoutes routes) {
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
    if (routes == RasterRoutes::Fastest) {
        ctx.sprite = SpritePathFor(state);
    }

    RasterVertex polygon[kMaxClipVertices];
    RasterVertex scratch[kMaxClipVertices];
    const bool isFlat = state.shadeMode == D3DSHADE_FLAT;
    auto drawable = [vertices](std::size_t t) {
        return PositionsFinite(vertices + 3 * t);  // else nothing sensible to draw
    };
    auto flatColour = [vertices](std::size_t t) {
        const RasterVertex& v = vertices[3 * t];
        return PackFloat(v.a, v.r, v.g, v.b);
    };
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (!drawable(t))
            continue;
        const RasterVertex* tv = vertices + 3 * t;
        const std::uint32_t flat = isFlat ? flatColour(t) : 0;
        if (InsideClipVolume(tv)) {
            const RasterVertex* tri[3] = {&tv[0], &tv[1], &tv[2]};
            // Sprites come as pairs of triangles that need no clipping.
            const RasterVertex* nv = tv + 3;
            if (t + 1 < triangleCount && drawable(t + 1) && InsideClipVolume(nv)) {
                const RasterVertex* next[3] = {&nv[0], &nv[1], &nv[2]};
                const std::uint32_t nextFlat = isFlat ? flatColour(t + 1) : 0;
                FillTrianglePair(ctx, tri, isFlat ? &flat : nullptr, next,
                                 isFlat ? &nextFlat : nullptr);
                ++t;
                continue;
            }
            FillTriangle(ctx, tri, isFlat ? &flat : nullptr);
            continue;
        }
        const RasterVertex* clipped = nullptr;
        const int count = ClipTriangle(tv, polygon, scratch, &clipped);
        for (int i = 1; i + 1 < count; ++i) {
            const RasterVertex* tri[3] = {&clipped[0], &clipped[i], &clipped[i + 1]};
            FillTriangle(ctx, tri, isFlat ? &flat : nullptr);
        }
    }
}
