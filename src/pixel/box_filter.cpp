// The box filter: exact halving, each destination pixel the average of a
// 2 x 2 (2-D) or 2 x 2 x 2 (3-D) block of source pixels. An odd source size
// above 1 loses its last column, row or slice; a size of 1 uses its one
// column or row twice.
#include <cstddef>

#include "pixel/packed_box.h"
#include "pixel/resampling_filters.h"
#include "pixel/resampling_support.h"
#include "vellorn/result_codes.h"

namespace {

// Whether destinationSize is the halving of sourceSize along a width or height
// axis, where a size of 1 stays 1.
bool Halves(UINT sourceSize, UINT destinationSize) {
    return destinationSize == sourceSize / 2 || (sourceSize == 1 && destinationSize == 1);
}

bool HalvesInPlane(const PixelCodec& source, const PixelCodec& destination) {
    return Halves(source.width, destination.width) && Halves(source.height, destination.height);
}

// Columns 2x and 2x + 1 of a block; 2x twice for a one-pixel-wide source.
struct BlockColumns {
    UINT left;
    UINT right;
};

BlockColumns ColumnsOf(UINT x, UINT sourceWidth) {
    return {2 * x, sourceWidth > 1 ? 2 * x + 1 : 2 * x};
}

// The samples of the block's columns in the given rows, added one after the
// other in row order, left before right.
template <std::size_t Rows>
inline ColorF SumBlock(const ColorF* const (&rows)[Rows], BlockColumns columns) {
    ColorF sum = rows[0][columns.left];
    const auto add = [&sum](const ColorF& c) {
        sum.r += c.r;
        sum.g += c.g;
        sum.b += c.b;
        sum.a += c.a;
    };
    add(rows[0][columns.right]);
    for (std::size_t k = 1; k < Rows; ++k) {
        add(rows[k][columns.left]);
        add(rows[k][columns.right]);
    }
    return sum;
}

// The packed fast path; false when the codecs do not allow it or the format
// has no routine.
bool AveragePacked(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if ((filter & D3DX_FILTER_DITHER) != 0 || source.format != destination.format ||
        source.colorKey != 0 || source.width < 2 || source.height < 2 || source.gamma ||
        destination.gamma) {
        return false;
    }
    const PackedBoxRow averageRow = FindPackedBoxRow(source.format);
    if (averageRow == nullptr) {
        return false;
    }
    for (UINT y = 0; y < destination.height; ++y) {
        const BYTE* upper = source.data + std::size_t{2 * y} * source.rowPitch;
        averageRow(upper, upper + source.rowPitch,
                   destination.data + std::size_t{y} * destination.rowPitch, destination.width);
    }
    return true;
}

}  // namespace

HRESULT FilterBox2D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_BOX || !HalvesInPlane(source, destination) ||
        source.depth != 1 || destination.depth != 1) {
        return E_FAIL;
    }
    if (AveragePacked(source, destination, filter)) {
        return S_OK;
    }

    std::unique_ptr<ColorF[]> rows = NewColorRows(source.width, 2);
    std::unique_ptr<ColorF[]> out = NewColorRows(destination.width);
    if (!rows || !out) {
        return E_OUTOFMEMORY;
    }
    ColorF* const upper = rows.get();
    ColorF* const lower = source.height > 1 ? upper + source.width : upper;
    const ColorF* const block[2] = {upper, lower};
    for (UINT y = 0; y < destination.height; ++y) {
        source.ReadRow(2 * y, 0, upper);
        if (lower != upper) {
            source.ReadRow(2 * y + 1, 0, lower);
        }
        for (UINT x = 0; x < destination.width; ++x) {
            const ColorF sum = SumBlock(block, ColumnsOf(x, source.width));
            out[x] = ColorF{0.25f * sum.r, 0.25f * sum.g, 0.25f * sum.b, 0.25f * sum.a};
        }
        destination.WriteRow(y, 0, out.get());
    }
    return S_OK;
}

HRESULT FilterBox3D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (FilterKind(filter) != D3DX_FILTER_BOX || !HalvesInPlane(source, destination) ||
        destination.depth != source.depth / 2) {
        return E_FAIL;
    }

    // Rows (2y, 2z), (2y, 2z + 1), (2y + 1, 2z), (2y + 1, 2z + 1); the rows
    // of a one-row source alias.
    std::unique_ptr<ColorF[]> rows = NewColorRows(source.width, 4);
    std::unique_ptr<ColorF[]> out = NewColorRows(destination.width);
    if (!rows || !out) {
        return E_OUTOFMEMORY;
    }
    const bool oneRow = source.height == 1;
    ColorF* row[4];
    for (std::size_t k = 0; k < 4; ++k) {
        row[k] = rows.get() + (oneRow ? k % 2 : k) * std::size_t{source.width};
    }
    const ColorF* const block[4] = {row[0], row[1], row[2], row[3]};
    for (UINT z = 0; z < destination.depth; ++z) {
        for (UINT y = 0; y < destination.height; ++y) {
            source.ReadRow(2 * y, 2 * z, row[0]);
            source.ReadRow(2 * y, 2 * z + 1, row[1]);
            if (!oneRow) {
                source.ReadRow(2 * y + 1, 2 * z, row[2]);
                source.ReadRow(2 * y + 1, 2 * z + 1, row[3]);
            }
            for (UINT x = 0; x < destination.width; ++x) {
                const ColorF sum = SumBlock(block, ColumnsOf(x, source.width));
                out[x] = ColorF{0.125f * sum.r, 0.125f * sum.g, 0.125f * sum.b, 0.125f * sum.a};
            }
            destination.WriteRow(y, z, out.get());
        }
    }
    return S_OK;
}
