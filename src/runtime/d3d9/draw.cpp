// Drawing: vertex fetch through the declaration from stream 0, the world,
// view and projection transforms (row vectors), the fixed-function vertex
// colour, and the hand-over of triangle lists to the rasteriser.
#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/d3d9/device.h"
#include "runtime/d3d9/resources.h"
#include "runtime/d3d9/runtime_services.h"

namespace {

// Render states without a named constant here, by number.
constexpr DWORD kAmbientMaterialSource = 147;
constexpr DWORD kEmissiveMaterialSource = 148;

float FloatFromBits(DWORD bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX result{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[row][k] * b.m[k][column];
            }
            result.m[row][column] = sum;
        }
    }
    return result;
}

struct Colour {
    float r, g, b, a;
};

Colour FromD3DColor(D3DCOLOR colour) {
    return {static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
            static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
            static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>(colour >> 24) / 255.0f};
}

// Floats in an element of a float type, 0 for other types.
int FloatCount(BYTE type) {
    return type <= D3DDECLTYPE_FLOAT4 ? type + 1 : 0;
}

}  // namespace

// Fills layout from the bound declaration. Fails for a missing declaration
// or position, or for an element this device reads in a type or stream it
// does not offer.
static HRESULT BuildLayout(IDirect3DVertexDeclaration9* declaration, VertexLayout* layout) {
    const std::vector<D3DVERTEXELEMENT9>* elements =
        declaration != nullptr ? ElementsOf(declaration) : nullptr;
    if (elements == nullptr) {
        ReportInvalidCall("Draw: no vertex declaration is set");
        return D3DERR_INVALIDCALL;
    }
    for (const D3DVERTEXELEMENT9& element : *elements) {
        const bool position = element.Usage == D3DDECLUSAGE_POSITION && element.UsageIndex == 0;
        const bool colour = element.Usage == D3DDECLUSAGE_COLOR && element.UsageIndex == 0;
        const bool texcoord = element.Usage == D3DDECLUSAGE_TEXCOORD && element.UsageIndex == 0;
        if (!position && !colour && !texcoord) {
            continue;
        }
        if (element.Stream != 0) {
            ReportInvalidCall("Draw: only stream 0 is offered (element in stream %u)",
                              element.Stream);
            return D3DERR_INVALIDCALL;
        }
        UINT size = 0;
        if (position || texcoord) {
            const int floats = FloatCount(element.Type);
            if (floats == 0 || (position && floats < 2) || (texcoord && floats < 2)) {
                ReportInvalidCall("Draw: element type %u is not offered for %s", element.Type,
                                  position ? "positions" : "texture coordinates");
                return D3DERR_INVALIDCALL;
            }
            size = static_cast<UINT>(floats) * 4;
            if (position) {
                layout->positionOffset = element.Offset;
                layout->positionFloats = floats;
            } else {
                layout->texcoordOffset = element.Offset;
                layout->texcoordFloats = floats;
            }
        } else {
            if (element.Type != D3DDECLTYPE_D3DCOLOR) {
                ReportInvalidCall("Draw: diffuse colour must be D3DCOLOR, not type %u",
                                  element.Type);
                return D3DERR_INVALIDCALL;
            }
            size = 4;
            layout->colorOffset = element.Offset;
        }
        layout->extent = std::max(layout->extent, static_cast<UINT>(element.Offset) + size);
    }
    if (layout->positionOffset < 0) {
        ReportInvalidCall("Draw: the vertex declaration has no position");
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

HRESULT Device::CheckVertexInStream(std::uint64_t index, const VertexLayout& layout) const {
    const BufferStorage* stream = layout.stream;
    // Below 2^32 the product cannot overflow 64 bits.
    if (index > 0xFFFFFFFFu ||
        std::uint64_t{state_.streamOffset} + index * state_.streamStride + layout.extent >
            stream->size) {
        ReportInvalidCall("Draw: vertex %llu lies outside the vertex buffer",
                          static_cast<unsigned long long>(index));
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

void Device::FetchVertex(UINT index, RasterVertex* vertex, const VertexLayout& layout) {
    const BufferStorage* stream = layout.stream;
    const BYTE* data =
        stream->data + state_.streamOffset + std::size_t{index} * state_.streamStride;
    float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(position, data + layout.positionOffset,
                sizeof(float) * static_cast<std::size_t>(std::min(layout.positionFloats, 3)));
    const D3DMATRIX& m = combined_;
    vertex->x = position[0] * m._11 + position[1] * m._21 + position[2] * m._31 + m._41;
    vertex->y = position[0] * m._12 + position[1] * m._22 + position[2] * m._32 + m._42;
    vertex->z = position[0] * m._13 + position[1] * m._23 + position[2] * m._33 + m._43;
    vertex->w = position[0] * m._14 + position[1] * m._24 + position[2] * m._34 + m._44;

    // Without a colour element the vertex is opaque white.
    Colour diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    if (layout.colorOffset >= 0) {
        D3DCOLOR packed;
        std::memcpy(&packed, data + layout.colorOffset, sizeof packed);
        diffuse = FromD3DColor(packed);
    }
    if (state_.renderStates[D3DRS_LIGHTING] != FALSE) {
        // Fixed-function lighting without lights: ambient light times the
        // ambient material plus the emissive material; alpha from the diffuse
        // material. Material colours are black; a material source of
        // COLOR1 takes the vertex colour when colour vertices are enabled.
        const bool vertexColour =
            state_.renderStates[D3DRS_COLORVERTEX] != FALSE && layout.colorOffset >= 0;
        auto source = [&](DWORD materialSource) {
            return vertexColour && materialSource == D3DMCS_COLOR1 ? diffuse : Colour{0, 0, 0, 0};
        };
        const Colour ambient = FromD3DColor(state_.renderStates[D3DRS_AMBIENT]);
        const Colour ambientMaterial = source(state_.renderStates[kAmbientMaterialSource]);
        const Colour emissive = source(state_.renderStates[kEmissiveMaterialSource]);
        const Colour diffuseMaterial = source(state_.renderStates[D3DRS_DIFFUSEMATERIALSOURCE]);
        diffuse = {std::min(1.0f, ambient.r * ambientMaterial.r + emissive.r),
                   std::min(1.0f, ambient.g * ambientMaterial.g + emissive.g),
                   std::min(1.0f, ambient.b * ambientMaterial.b + emissive.b), diffuseMaterial.a};
    }
    vertex->r = diffuse.r;
    vertex->g = diffuse.g;
    vertex->b = diffuse.b;
    vertex->a = diffuse.a;
    vertex->u = 0.0f;
    vertex->v = 0.0f;
    if (layout.texcoordOffset >= 0) {
        float uv[2];
        std::memcpy(uv, data + layout.texcoordOffset, sizeof uv);
        vertex->u = uv[0];
        vertex->v = uv[1];
    }
}

D3DMATRIX Device::CombinedTransform() const {
    return Multiply(Multiply(state_.transforms[D3DTS_WORLD], state_.transforms[D3DTS_VIEW]),
                    state_.transforms[D3DTS_PROJECTION]);
}

HRESULT Device::PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout,
                            bool* skip) {
    *skip = false;
    if (!inScene_) {
        ReportInvalidCall("Draw: called outside BeginScene/EndScene");
        return D3DERR_INVALIDCALL;
    }
    if (CheckLost()) {
        // A lost device draws nothing and says nothing.
        *skip = true;
        return S_OK;
    }
    if (type != D3DPT_TRIANGLELIST) {
        ReportInvalidCall("Draw: primitive type %u is not offered; use triangle lists",
                          static_cast<unsigned>(type));
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0 || (profile_.caps.MaxPrimitiveCount != 0 &&
                                primitiveCount > profile_.caps.MaxPrimitiveCount)) {
        ReportInvalidCall("Draw: %u primitives is not a valid count", primitiveCount);
        return D3DERR_INVALIDCALL;
    }
    const HRESULT hr = BuildLayout(state_.declaration.Get(), layout);
    if (FAILED(hr)) {
        return hr;
    }
    layout->stream = StorageOf(state_.streamBuffer.Get());
    if (layout->stream == nullptr || state_.streamStride == 0) {
        ReportInvalidCall("Draw: no vertex buffer with a stride is set on stream 0");
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    DEVICE_OPERATION("DrawPrimitive");
    VertexLayout layout;
    bool skip = false;
    HRESULT hr = PrepareDraw(type, primitiveCount, &layout, &skip);
    if (FAILED(hr) || skip) {
        return hr;
    }
    const std::uint64_t vertexCount = std::uint64_t{primitiveCount} * 3;
    // Vertices are consecutive: the last one fitting the stream means all do.
    hr = CheckVertexInStream(std::uint64_t{startVertex} + vertexCount - 1, layout);
    if (FAILED(hr) || !profile_.rasterize) {
        return hr;
    }
    try {
        drawVertices_.resize(vertexCount);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    combined_ = CombinedTransform();
    for (std::size_t i = 0; i < drawVertices_.size(); ++i) {
        FetchVertex(static_cast<UINT>(startVertex + i), &drawVertices_[i], layout);
    }
    Rasterise();
    return S_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                     UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                     UINT primitiveCount) {
    DEVICE_OPERATION("DrawIndexedPrimitive");
    RecordDraw({baseVertexIndex, minVertexIndex, numVertices, startIndex, primitiveCount,
                state_.textures[0].Get()});
    VertexLayout layout;
    bool skip = false;
    HRESULT hr = PrepareDraw(type, primitiveCount, &layout, &skip);
    if (FAILED(hr) || skip) {
        return hr;
    }
    const BufferStorage* indices = state_.indices ? StorageOf(state_.indices.Get()) : nullptr;
    if (indices == nullptr) {
        ReportInvalidCall("DrawIndexedPrimitive: no index buffer is set");
        return D3DERR_INVALIDCALL;
    }
    const UINT indexSize = indices->format == D3DFMT_INDEX32 ? 4 : 2;
    const std::uint64_t indexCount = std::uint64_t{primitiveCount} * 3;
    if ((std::uint64_t{startIndex} + indexCount) * indexSize > indices->size) {
        ReportInvalidCall("DrawIndexedPrimitive: indices %u to %llu lie outside the index buffer",
                          startIndex, static_cast<unsigned long long>(startIndex + indexCount - 1));
        return D3DERR_INVALIDCALL;
    }
    if (numVertices == 0) {
        ReportInvalidCall("DrawIndexedPrimitive: the vertex range is empty");
        return D3DERR_INVALIDCALL;
    }
    // Indices lie in [minVertexIndex, minVertexIndex + numVertices) and
    // address vertices from baseVertexIndex on: the whole range of vertices
    // must lie in the stream before anything is allocated for it.
    const std::int64_t firstVertex = std::int64_t{baseVertexIndex} + minVertexIndex;
    if (firstVertex < 0) {
        ReportInvalidCall("DrawIndexedPrimitive: the vertex range starts before the buffer");
        return D3DERR_INVALIDCALL;
    }
    hr = CheckVertexInStream(static_cast<std::uint64_t>(firstVertex) + numVertices - 1, layout);
    if (FAILED(hr)) {
        return hr;
    }
    try {
        drawSlots_.resize(indexCount);
        if (profile_.rasterize) {
            vertexCache_.assign(numVertices, RasterVertex{});
            vertexCached_.assign(numVertices, false);
            drawVertices_.resize(indexCount);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    // The indices as vertex slots of the range, checked against it.
    const BYTE* indexData = indices->data + std::size_t{startIndex} * indexSize;
    for (std::size_t i = 0; i < indexCount; ++i) {
        std::uint32_t index;
        if (indexSize == 4) {
            std::memcpy(&index, indexData + i * 4, 4);
        } else {
            std::uint16_t small;
            std::memcpy(&small, indexData + i * 2, 2);
            index = small;
        }
        if (index < minVertexIndex || index - minVertexIndex >= numVertices) {
            ReportInvalidCall("DrawIndexedPrimitive: index %u lies outside the range %u..%llu",
                              index, minVertexIndex,
                              static_cast<unsigned long long>(minVertexIndex) + numVertices - 1);
            return D3DERR_INVALIDCALL;
        }
        drawSlots_[i] = index - minVertexIndex;
    }
    if (!profile_.rasterize) {
        return S_OK;
    }
    // Each vertex of the range is transformed once.
    combined_ = CombinedTransform();
    for (std::size_t i = 0; i < indexCount; ++i) {
        const std::uint32_t slot = drawSlots_[i];
        if (!vertexCached_[slot]) {
            FetchVertex(static_cast<UINT>(firstVertex + slot), &vertexCache_[slot], layout);
            vertexCached_[slot] = true;
        }
        drawVertices_[i] = vertexCache_[slot];
    }
    Rasterise();
    return S_OK;
}

void Device::Rasterise() {
    const SurfaceStorage* target = StorageOf(backBuffer_.Get());
    if (target == nullptr) {
        return;
    }
    const auto& rs = state_.renderStates;
    RasterState raster;
    raster.viewport = state_.viewport;
    raster.cullMode = rs[D3DRS_CULLMODE];
    raster.shadeMode = rs[D3DRS_SHADEMODE];
    raster.alphaTestEnable = rs[D3DRS_ALPHATESTENABLE] != FALSE;
    raster.alphaFunc = rs[D3DRS_ALPHAFUNC];
    raster.alphaRef = rs[D3DRS_ALPHAREF];
    raster.alphaBlendEnable = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    raster.srcBlend = rs[D3DRS_SRCBLEND];
    raster.destBlend = rs[D3DRS_DESTBLEND];
    raster.blendOp = rs[D3DRS_BLENDOP];
    raster.colorWriteEnable = rs[D3DRS_COLORWRITEENABLE];
    raster.textureFactor = rs[D3DRS_TEXTUREFACTOR];
    raster.targetHasAlpha = target->format == D3DFMT_A8R8G8B8;
    for (int stage = 0; stage < 2; ++stage) {
        const auto& ts = state_.stageStates[stage];
        raster.stages[stage] = {ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2],
                                ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2]};
        const auto& ss = state_.samplerStates[stage];
        SamplerSettings& sampler = raster.samplers[stage];
        sampler.addressU = ss[D3DSAMP_ADDRESSU];
        sampler.addressV = ss[D3DSAMP_ADDRESSV];
        sampler.borderColor = ss[D3DSAMP_BORDERCOLOR];
        sampler.magFilter = ss[D3DSAMP_MAGFILTER];
        sampler.minFilter = ss[D3DSAMP_MINFILTER];
        sampler.mipFilter = ss[D3DSAMP_MIPFILTER];
        sampler.mipLodBias = FloatFromBits(ss[D3DSAMP_MIPMAPLODBIAS]);
        sampler.maxMipLevel = ss[D3DSAMP_MAXMIPLEVEL];
        if (state_.textures[stage]) {
            const std::vector<SampledLevel>& levels = SamplingLevels(state_.textures[stage].Get());
            if (!levels.empty()) {
                raster.textureLevels[stage] = levels.data();
                raster.textureLevelCount[stage] = static_cast<UINT>(levels.size());
            }
        }
    }
    RasterTarget rasterTarget{reinterpret_cast<std::uint32_t*>(target->data), target->width,
                              target->height, target->pitch / 4};
    DrawTriangles(raster, drawVertices_.data(), drawVertices_.size() / 3, rasterTarget);
}
