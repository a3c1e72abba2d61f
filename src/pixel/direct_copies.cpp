#include "pixel/direct_copies.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "pixel/format_groups.h"
#include "vellorn/result_codes.h"

namespace {

UINT Span(UINT begin, UINT end) {
    return end > begin ? end - begin : 0;
}

bool SameSize(const PixelCodec& a, const PixelCodec& b) {
    return a.width == b.width && a.height == b.height && a.depth == b.depth;
}

bool SamePalette(const PixelCodec& a, const PixelCodec& b) {
    if (!a.hasPalette) {
        return true;
    }
    // Each codec holds its palette converted from the entries' bytes (all
    // entries white without a palette); the conversion is one-to-one, so
    // equal colours mean equal entries.
    for (int i = 0; i < 256; ++i) {
        const ColorF& p = a.palette[i];
        const ColorF& q = b.palette[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) {
            return false;
        }
    }
    return true;
}

// A box edge ends a whole block when it is a multiple of 4, or when it is the
// edge of the whole surface: the last block of a surface whose size is not a
// multiple of 4 (a 2 x 2 or 1 x 1 mip level) is stored whole.
bool EndsOnBlockEdge(UINT edge, UINT extentEdge) {
    return (edge & 3) == 0 || edge == extentEdge;
}

BYTE* Offset(void* data, std::size_t offset) {
    return static_cast<BYTE*>(data) + offset;
}

}  // namespace

HRESULT CopyBlocks(const SurfaceDesc& source, const SurfaceDesc& destination) {
    if (source.format != destination.format || !IsBlockFormat(source.format) ||
        source.colorKey != 0 || source.gamma != destination.gamma) {
        return E_FAIL;
    }
    const PixelBox& s = source.box;
    const PixelBox& d = destination.box;
    const UINT width = Span(s.left, s.right);
    const UINT height = Span(s.top, s.bottom);
    const UINT depth = Span(s.front, s.back);
    if (width != Span(d.left, d.right) || height != Span(d.top, d.bottom) ||
        depth != Span(d.front, d.back)) {
        return E_FAIL;
    }
    if (((s.left | s.top | d.left | d.top) & 3) != 0 ||
        !EndsOnBlockEdge(s.right, source.extent.right) ||
        !EndsOnBlockEdge(s.bottom, source.extent.bottom) ||
        !EndsOnBlockEdge(d.right, destination.extent.right) ||
        !EndsOnBlockEdge(d.bottom, destination.extent.bottom)) {
        return E_FAIL;
    }
    const std::size_t blockBytes = BlockBytes(source.format);
    const std::size_t rowBytes = std::size_t{(width + 3) / 4} * blockBytes;
    const UINT blockRows = (height + 3) / 4;
    for (UINT z = 0; z < depth; ++z) {
        for (UINT row = 0; row < blockRows; ++row) {
            const BYTE* from =
                Offset(source.data, std::size_t{s.front + z} * source.slicePitch +
                                        std::size_t{s.top / 4 + row} * source.rowPitch +
                                        std::size_t{s.left / 4} * blockBytes);
            BYTE* to =
                Offset(destination.data, std::size_t{d.front + z} * destination.slicePitch +
                                             std::size_t{d.top / 4 + row} * destination.rowPitch +
                                             std::size_t{d.left / 4} * blockBytes);
            std::memmove(to, from, rowBytes);
        }
    }
    return S_OK;
}

HRESULT CopySameFormat(const PixelCodec& source, const PixelCodec& destination) {
    if (!source.perPixel || !destination.perPixel || source.format != destination.format ||
        source.colorKey != 0 || !SameSize(source, destination) ||
        source.gamma != destination.gamma || !SamePalette(source, destination)) {
        return E_FAIL;
    }
    for (UINT z = 0; z < source.depth; ++z) {
        for (UINT y = 0; y < source.height; ++y) {
            const BYTE* from =
                source.data + std::size_t{z} * source.slicePitch + std::size_t{y} * source.rowPitch;
            BYTE* to = destination.data + std::size_t{z} * destination.slicePitch +
                       std::size_t{y} * destination.rowPitch;
            std::memmove(to, from, source.bytesPerRow);
        }
    }
    return S_OK;
}

HRESULT ConvertSameSize(PixelCodec& source, PixelCodec& destination) {
    if (!SameSize(source, destination)) {
        return E_FAIL;
    }
    std::unique_ptr<ColorF[]> row(new (std::nothrow) ColorF[source.width > 0 ? source.width : 1]);
    if (!row) {
        return E_OUTOFMEMORY;
    }
    if (source.gamma && destination.gamma) {
        source.gamma = false;
        destination.gamma = false;
    }
    for (UINT z = 0; z < source.depth; ++z) {
        for (UINT y = 0; y < source.height; ++y) {
            source.ReadRow(y, z, row.get());
            destination.WriteRow(y, z, row.get());
        }
    }
    return S_OK;
}
