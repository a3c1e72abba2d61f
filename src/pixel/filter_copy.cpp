// The two filters that copy samples instead of blending them: none (the
// top-left part of the source, black and transparent beyond it) and point
// (nearest sample in 16.16 fixed-point steps).
#include <algorithm>
#include <cstdint>

#include "pixel/resampling_filters.h"
#include "pixel/resampling_support.h"
#include "vellorn/result_codes.h"

HRESULT FilterNone(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_NONE) {
        return E_FAIL;
    }
    const UINT rows = std::min(source.height, destination.height);
    const UINT slices = std::min(source.depth, destination.depth);
    std::unique_ptr<ColorF[]> row = NewColorRows(std::max(source.width, destination.width));
    if (!row) {
        return E_OUTOFMEMORY;
    }
    CopyEncodedValues(source, destination);

    // The row is zeroed once: a wider destination gets (0, 0, 0, 0) past the
    // source's width in every row.
    for (UINT z = 0; z < slices; ++z) {
        for (UINT y = 0; y < rows; ++y) {
            source.ReadRow(y, z, row.get());
            destination.WriteRow(y, z, row.get());
        }
    }
    std::fill_n(row.get(), source.width, ColorF{});
    for (UINT z = 0; z < destination.depth; ++z) {
        for (UINT y = z < slices ? rows : 0; y < destination.height; ++y) {
            destination.WriteRow(y, z, row.get());
        }
    }
    return S_OK;
}

namespace {

// The 16.16 step from one destination index to the next along an axis. The
// arithmetic is 64-bit so that no size can overflow it; the sampled index
// (i x step) >> 16 then always lies below sourceSize.
std::int64_t PointStep(UINT sourceSize, UINT destinationSize) {
    return (std::int64_t{sourceSize} * 65536) / destinationSize;
}

UINT PointIndex(UINT i, std::int64_t step) {
    return static_cast<UINT>((std::int64_t{i} * step) >> 16);
}

}  // namespace

HRESULT FilterPoint(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_POINT) {
        return E_FAIL;
    }
    if (!HasPixels(destination)) {
        return S_OK;
    }
    if (!HasPixels(source)) {
        return E_FAIL;  // nothing to sample
    }
    std::unique_ptr<ColorF[]> sourceRow = NewColorRows(source.width);
    std::unique_ptr<ColorF[]> destinationRow = NewColorRows(destination.width);
    if (!sourceRow || !destinationRow) {
        return E_OUTOFMEMORY;
    }
    CopyEncodedValues(source, destination);

    const std::int64_t stepX = PointStep(source.width, destination.width);
    const std::int64_t stepY = PointStep(source.height, destination.height);
    const std::int64_t stepZ = PointStep(source.depth, destination.depth);
    const ColorF* in = sourceRow.get();
    ColorF* out = destinationRow.get();
    for (UINT z = 0; z < destination.depth; ++z) {
        const UINT sourceZ = PointIndex(z, stepZ);
        bool haveRow = false;
        UINT sourceY = 0;
        for (UINT y = 0; y < destination.height; ++y) {
            const UINT wantedY = PointIndex(y, stepY);
            if (!haveRow || wantedY != sourceY) {
                sourceY = wantedY;
                source.ReadRow(sourceY, sourceZ, sourceRow.get());
                haveRow = true;
            }
            std::int64_t position = 0;
            for (UINT x = 0; x < destination.width; ++x, position += stepX) {
                out[x] = in[position >> 16];
            }
            destination.WriteRow(y, z, out);
        }
    }
    return S_OK;
}
