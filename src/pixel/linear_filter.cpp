// The linear filter: each destination pixel blends the two nearest source
// pixels along each axis (four in 2-D, eight in 3-D), with the sample centres
// of source and destination aligned.
#include "pixel/linear_filter.h"

#include <cstdint>
#include <new>
#include <utility>

#include "pixel/resampling_filters.h"
#include "pixel/resampling_support.h"
#include "vellorn/result_codes.h"

std::unique_ptr<LinearTap[]> BuildLinearTaps(UINT sourceSize, UINT destinationSize, bool wrap) {
    std::unique_ptr<LinearTap[]> taps(new (std::nothrow) LinearTap[destinationSize]);
    if (!taps) {
        return nullptr;
    }
    const std::int64_t size = sourceSize;
    const auto fit = [size, wrap](std::int64_t index) {
        if (index < 0) {
            return static_cast<UINT>(wrap ? size - 1 : 0);
        }
        if (index >= size) {
            return static_cast<UINT>(wrap ? 0 : size - 1);
        }
        return static_cast<UINT>(index);
    };
    const float ratio = static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
    for (UINT i = 0; i < destinationSize; ++i) {
        // The destination centre i + 0.5 in source coordinates, plus 0.5: its
        // integer part k is the source index right of the centre.
        const float f = (static_cast<float>(i) + 0.5f) * ratio + 0.5f;
        const std::int64_t k = static_cast<std::int64_t>(f);
        const float firstWeight = static_cast<float>(k + 1) - f;
        taps[i] = LinearTap{fit(k - 1), firstWeight, fit(k), 1.0f - firstWeight};
    }
    return taps;
}

namespace {

// Two source rows of one slice kept from one destination row to the next.
// Keys are row + slice x 2^32; -1 is no row.
class RowPair {
  public:
    RowPair(ColorF* first, ColorF* second) : buffer_{first, second} {}

    // Makes rows (firstRow, z) and (secondRow, z) available, reading only what
    // is not cached; the cached second row moves to the front when the first
    // row asked for is it.
    void Fetch(PixelCodec& source, UINT firstRow, UINT secondRow, UINT z) {
        const std::int64_t firstKey = Key(firstRow, z);
        const std::int64_t secondKey = Key(secondRow, z);
        if (key_[1] == firstKey && key_[0] != firstKey) {
            std::swap(buffer_[0], buffer_[1]);
            std::swap(key_[0], key_[1]);
        }
        if (key_[0] != firstKey) {
            source.ReadRow(firstRow, z, buffer_[0]);
            key_[0] = firstKey;
        }
        if (key_[1] != secondKey) {
            source.ReadRow(secondRow, z, buffer_[1]);
            key_[1] = secondKey;
        }
    }

    const ColorF* First() const { return buffer_[0]; }
    const ColorF* Second() const { return buffer_[1]; }

  private:
    static std::int64_t Key(UINT row, UINT z) {
        return static_cast<std::int64_t>(row) + (static_cast<std::int64_t>(z) << 32);
    }

    ColorF* buffer_[2];
    std::int64_t key_[2] = {-1, -1};
};

// wy0 x (wx0 x first[x0] + wx1 x first[x1]) + wy1 x (wx0 x second[x0] +
// wx1 x second[x1]), channel by channel.
inline ColorF Blend(const RowPair& rows, const LinearTap& tx, const LinearTap& ty) {
    const ColorF& a0 = rows.First()[tx.first];
    const ColorF& a1 = rows.First()[tx.second];
    const ColorF& b0 = rows.Second()[tx.first];
    const ColorF& b1 = rows.Second()[tx.second];
    const float wx0 = tx.firstWeight;
    const float wx1 = tx.secondWeight;
    const float wy0 = ty.firstWeight;
    const float wy1 = ty.secondWeight;
    return ColorF{
        wy0 * (wx0 * a0.r + wx1 * a1.r) + wy1 * (wx0 * b0.r + wx1 * b1.r),
        wy0 * (wx0 * a0.g + wx1 * a1.g) + wy1 * (wx0 * b0.g + wx1 * b1.g),
        wy0 * (wx0 * a0.b + wx1 * a1.b) + wy1 * (wx0 * b0.b + wx1 * b1.b),
        wy0 * (wx0 * a0.a + wx1 * a1.a) + wy1 * (wx0 * b0.a + wx1 * b1.a),
    };
}

// What both variants need before the first row: the x and y taps and the
// output row.
struct LinearPlane {
    std::unique_ptr<LinearTap[]> tapsX;
    std::unique_ptr<LinearTap[]> tapsY;
    std::unique_ptr<ColorF[]> out;
};

// E_FAIL when there is no source pixel to sample.
HRESULT PrepareLinear(const PixelCodec& source, const PixelCodec& destination, DWORD filter,
                      LinearPlane* plane) {
    if (!HasPixels(source)) {
        return E_FAIL;
    }
    plane->tapsX =
        BuildLinearTaps(source.width, destination.width, WrapsAlong(filter, D3DX_FILTER_MIRROR_U));
    plane->tapsY = BuildLinearTaps(source.height, destination.height,
                                   WrapsAlong(filter, D3DX_FILTER_MIRROR_V));
    plane->out = NewColorRows(destination.width);
    return plane->tapsX && plane->tapsY && plane->out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT FilterLinear2D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_LINEAR || source.depth != 1 || destination.depth != 1) {
        return E_FAIL;
    }
    LinearPlane plane;
    const HRESULT prepared = PrepareLinear(source, destination, filter, &plane);
    if (FAILED(prepared)) {
        return prepared;
    }
    std::unique_ptr<ColorF[]> rows = NewColorRows(source.width, 2);
    if (!rows) {
        return E_OUTOFMEMORY;
    }
    RowPair pair(rows.get(), rows.get() + source.width);
    ColorF* const out = plane.out.get();
    for (UINT y = 0; y < destination.height; ++y) {
        const LinearTap& ty = plane.tapsY[y];
        pair.Fetch(source, ty.first, ty.second, 0);
        for (UINT x = 0; x < destination.width; ++x) {
            out[x] = Blend(pair, plane.tapsX[x], ty);
        }
        destination.WriteRow(y, 0, out);
    }
    return S_OK;
}

HRESULT FilterLinear3D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_LINEAR) {
        return E_FAIL;
    }
    if (!HasPixels(destination)) {
        return S_OK;
    }
    LinearPlane plane;
    const HRESULT prepared = PrepareLinear(source, destination, filter, &plane);
    if (FAILED(prepared)) {
        return prepared;
    }
    std::unique_ptr<LinearTap[]> tapsZ =
        BuildLinearTaps(source.depth, destination.depth, WrapsAlong(filter, D3DX_FILTER_MIRROR_W));
    std::unique_ptr<ColorF[]> rows = NewColorRows(source.width, 4);
    if (!tapsZ || !rows) {
        return E_OUTOFMEMORY;
    }
    const std::size_t w = source.width;
    RowPair front(rows.get(), rows.get() + w);
    RowPair back(rows.get() + 2 * w, rows.get() + 3 * w);
    ColorF* const out = plane.out.get();
    for (UINT z = 0; z < destination.depth; ++z) {
        const LinearTap& tz = tapsZ[z];
        const float wz0 = tz.firstWeight;
        const float wz1 = tz.secondWeight;
        for (UINT y = 0; y < destination.height; ++y) {
            const LinearTap& ty = plane.tapsY[y];
            front.Fetch(source, ty.first, ty.second, tz.first);
            back.Fetch(source, ty.first, ty.second, tz.second);
            for (UINT x = 0; x < destination.width; ++x) {
                const ColorF a = Blend(front, plane.tapsX[x], ty);
                const ColorF b = Blend(back, plane.tapsX[x], ty);
                out[x] = ColorF{wz0 * a.r + wz1 * b.r, wz0 * a.g + wz1 * b.g, wz0 * a.b + wz1 * b.b,
                                wz0 * a.a + wz1 * b.a};
            }
            destination.WriteRow(y, z, out);
        }
    }
    return S_OK;
}
