#include "pixel/block_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "pixel/block_decoding.h"
#include "pixel/block_encoding.h"
#include "pixel/endpoint_fit.h"
#include "pixel/format_groups.h"
#include "pixel/row_buffer.h"
#include "vellorn/result_codes.h"

namespace {

// No buffer of the codec may exceed this: one block row of decoded colours,
// or the write grid.
constexpr std::uint64_t kMaxBufferBytes = std::uint64_t{1} << 30;

constexpr unsigned kAllRows = 15;

// Which row (or column) of a block stands in for each position, by the
// number of valid rows (or columns) 1..4: positions past the last valid one
// repeat the valid ones.
constexpr int kEdgeMap[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};

// One block row of one slice of the widened box being written: the rows
// present so far and, while any is, their colours.
struct GridEntry {
    unsigned mask;
    std::unique_ptr<ColorF[]> buffer;
};

class BlockCodec final : public PixelCodec {
  public:
    HRESULT Bind(const SurfaceDesc& desc);
    ~BlockCodec() override;

    void ReadRow(UINT y, UINT z, ColorF* row) override;
    void WriteRow(UINT y, UINT z, const ColorF* row) override;
    // The key quantised as reading quantises each texel for the comparison.
    void PrepareColorKey() override;

  private:
    // The first byte of block column of block row blockRow (both counted in
    // the widened box) of slice z of the box.
    BYTE* BlockAddress(std::uint64_t blockRow, UINT z, std::uint64_t column) const {
        return data + (std::uint64_t{box.front} + z) * slicePitch +
               (top_ / 4 + blockRow) * rowPitch + (left_ / 4 + column) * blockBytes_;
    }
    // Decodes blocks [first, end) of a block row into buffer, which holds the
    // block row as 4 rows of rowTexels_ colours.
    void DecodeBlocks(std::uint64_t blockRow, UINT z, std::uint64_t first, std::uint64_t end,
                      ColorF* buffer) const;
    // Before the first row of a block row is written: decodes the texels of
    // the block row that the box does not cover and the surface holds, and
    // answers the mask of the block row's rows outside the box.
    unsigned FillOutside(std::uint64_t blockRow, UINT z, ColorF* buffer) const;
    // Encodes a complete block row into the surface, the texels beyond the
    // surface's right and bottom edges repeating the valid ones.
    void Encode(std::uint64_t blockRow, UINT z, const ColorF* buffer);
    // Fills the rows missing from an entry's buffer from the surface and
    // encodes the block row.
    void Complete(std::size_t entry);
    ColorF QuantiseForKey(const ColorF& c) const;

    UINT blockBytes_ = 0;
    BlockDecoder decoder_ = nullptr;
    BlockEncoder encoder_ = nullptr;
    bool ditherBlocks_ = false;
    float alphaScale_ = 255.0f;
    float alphaReciprocal_ = 1.0f / 255.0f;

    // The box widened to whole blocks, in texels of the surface.
    std::uint64_t left_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t right_ = 0;
    std::uint64_t bottom_ = 0;
    std::uint64_t across_ = 0;     // blocks across
    std::uint64_t down_ = 0;       // block rows
    std::uint64_t rowTexels_ = 0;  // 4 x across_
    std::uint64_t offset_ = 0;     // the box's left edge inside the first block

    std::unique_ptr<ColorF[]> cache_;  // one decoded block row, on first read
    bool cacheValid_ = false;
    std::uint64_t cacheRow_ = 0;
    UINT cacheSlice_ = 0;

    std::unique_ptr<GridEntry[]> grid_;  // down_ x depth entries
    std::size_t liveBuffers_ = 0;
    std::unique_ptr<ColorF[]> spare_;  // a released buffer, kept for the next block row
};

HRESULT BlockCodec::Bind(const SurfaceDesc& desc) {
    format = desc.format;
    valueClass = ValueClass::Unsigned;
    perPixel = false;
    bytesPerPixel = 0;
    BindSurface(desc);
    blockBytes_ = BlockBytes(format);
    decoder_ = BlockDecoderOf(format);
    encoder_ = BlockEncoderOf(format);
    ditherBlocks_ = desc.dither || desc.diffusion;
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        alphaScale_ = 15.0f;
        alphaReciprocal_ = 1.0f / 15.0f;
    }

    // Gamma encoding and class conversion on writing work in this buffer.
    conversionBuffer = NewRowBuffer<ColorF>(width > 0 ? width : 1);
    if (!conversionBuffer) {
        return E_OUTOFMEMORY;
    }
    if (width == 0) {
        return S_OK;
    }
    left_ = box.left & ~3u;
    top_ = box.top & ~3u;
    right_ = (std::uint64_t{box.right} + 3) & ~std::uint64_t{3};
    bottom_ = (std::uint64_t{box.bottom} + 3) & ~std::uint64_t{3};
    across_ = (right_ - left_) / 4;
    down_ = (bottom_ - top_) / 4;
    rowTexels_ = 4 * across_;
    offset_ = box.left - left_;
    const std::uint64_t entries = down_ * depth;
    if (16 * across_ * sizeof(ColorF) > kMaxBufferBytes ||
        entries * sizeof(GridEntry) > kMaxBufferBytes) {
        return E_OUTOFMEMORY;
    }
    grid_ = NewRowBuffer<GridEntry>(entries);
    return grid_ ? S_OK : E_OUTOFMEMORY;
}

BlockCodec::~BlockCodec() {
    const std::uint64_t entries = down_ * depth;
    for (std::size_t i = 0; i < entries && liveBuffers_ > 0; ++i) {
        if (grid_[i].buffer) {
            Complete(i);
        }
    }
}

void BlockCodec::DecodeBlocks(std::uint64_t blockRow, UINT z, std::uint64_t first,
                              std::uint64_t end, ColorF* buffer) const {
    ColorF texels[16];
    for (std::uint64_t column = first; column < end; ++column) {
        decoder_(BlockAddress(blockRow, z, column), texels);
        for (int r = 0; r < 4; ++r) {
            std::copy_n(texels + 4 * r, 4, buffer + r * rowTexels_ + 4 * column);
        }
    }
}

unsigned BlockCodec::FillOutside(std::uint64_t blockRow, UINT z, ColorF* buffer) const {
    const std::uint64_t rowTop = top_ + 4 * blockRow;
    const bool above = rowTop < box.top && extent.top < box.top;
    const bool below = rowTop + 4 > box.bottom && extent.bottom > box.bottom;
    if (above || below) {
        DecodeBlocks(blockRow, z, 0, across_, buffer);
    } else {
        if (left_ < box.left && extent.left < box.left) {
            DecodeBlocks(blockRow, z, 0, 1, buffer);
        }
        if (right_ > box.right && extent.right > box.right) {
            DecodeBlocks(blockRow, z, across_ - 1, across_, buffer);
        }
    }
    unsigned outside = 0;
    for (unsigned r = 0; r < 4; ++r) {
        if (rowTop + r < box.top || rowTop + r >= box.bottom) {
            outside |= 1u << r;
        }
    }
    return outside;
}

void BlockCodec::Encode(std::uint64_t blockRow, UINT z, const ColorF* buffer) {
    const auto valid = [](std::uint64_t start, UINT edge) {
        return edge > start ? static_cast<int>(std::min<std::uint64_t>(edge - start, 4)) : 1;
    };
    const int* rowMap = kEdgeMap[valid(top_ + 4 * blockRow, extent.bottom) - 1];
    ColorF texels[16];
    for (std::uint64_t column = 0; column < across_; ++column) {
        const int* columnMap = kEdgeMap[valid(left_ + 4 * column, extent.right) - 1];
        for (int r = 0; r < 4; ++r) {
            const ColorF* source = buffer + rowMap[r] * rowTexels_ + 4 * column;
            for (int c = 0; c < 4; ++c) {
                texels[4 * r + c] = source[columnMap[c]];
            }
        }
        encoder_(texels, ditherBlocks_, BlockAddress(blockRow, z, column));
    }
    // The surface changed under the read cache.
    cacheValid_ = false;
}

void BlockCodec::Complete(std::size_t entry) {
    GridEntry& e = grid_[entry];
    const std::uint64_t blockRow = entry % down_;
    const auto z = static_cast<UINT>(entry / down_);
    ColorF texels[16];
    for (std::uint64_t column = 0; column < across_; ++column) {
        decoder_(BlockAddress(blockRow, z, column), texels);
        for (unsigned r = 0; r < 4; ++r) {
            if ((e.mask & (1u << r)) == 0) {
                std::copy_n(texels + 4 * r, 4, e.buffer.get() + r * rowTexels_ + 4 * column);
            }
        }
    }
    Encode(blockRow, z, e.buffer.get());
    e.buffer.reset();
    e.mask = 0;
    --liveBuffers_;
}

ColorF BlockCodec::QuantiseForKey(const ColorF& c) const {
    const auto level = [](float v, float scale) {
        return static_cast<float>(TruncateToInt(v * scale + 0.5f));
    };
    return ColorF{level(c.r, 31.0f) / 31.0f, level(c.g, 63.0f) / 63.0f, level(c.b, 31.0f) / 31.0f,
                  level(c.a, alphaScale_) * alphaReciprocal_};
}

void BlockCodec::PrepareColorKey() {
    keyColor = QuantiseForKey(KeyAsColor());
}

void BlockCodec::ReadRow(UINT y, UINT z, ColorF* row) {
    if (width == 0) {
        return;
    }
    if (!cache_) {
        cache_ = NewRowBuffer<ColorF>(16 * across_);
        if (!cache_) {
            return;
        }
    }
    const std::uint64_t texelRow = std::uint64_t{box.top} + y;
    const std::uint64_t blockRow = texelRow / 4 - top_ / 4;
    if (!cacheValid_ || cacheRow_ != blockRow || cacheSlice_ != z) {
        DecodeBlocks(blockRow, z, 0, across_, cache_.get());
        cacheValid_ = true;
        cacheRow_ = blockRow;
        cacheSlice_ = z;
    }
    std::copy_n(cache_.get() + (texelRow & 3) * rowTexels_ + offset_, width, row);
    if (colorKey != 0) {
        const ColorF k = keyColor;
        for (UINT x = 0; x < width; ++x) {
            const ColorF q = QuantiseForKey(row[x]);
            if (q.r == k.r && q.g == k.g && q.b == k.b && q.a == k.a) {
                row[x] = ColorF{0.0f, 0.0f, 0.0f, 0.0f};
            }
        }
    }
    DecodeGamma(row);
}

void BlockCodec::WriteRow(UINT y, UINT z, const ColorF* row) {
    const ColorF* const source = BeginWrite(row);
    if (width == 0) {
        return;
    }
    const std::uint64_t texelRow = std::uint64_t{box.top} + y;
    const std::uint64_t blockRow = texelRow / 4 - top_ / 4;
    GridEntry& entry = grid_[z * down_ + blockRow];
    if (!entry.buffer) {
        entry.buffer = spare_ ? std::move(spare_) : NewRowBuffer<ColorF>(16 * across_);
        if (!entry.buffer) {
            return;
        }
        ++liveBuffers_;
    }
    if (entry.mask == 0) {
        entry.mask = FillOutside(blockRow, z, entry.buffer.get());
    }
    std::copy_n(source, width, entry.buffer.get() + (texelRow & 3) * rowTexels_ + offset_);
    entry.mask |= 1u << (texelRow & 3);
    if (entry.mask == kAllRows) {
        Encode(blockRow, z, entry.buffer.get());
        spare_ = std::move(entry.buffer);
        entry.mask = 0;
        --liveBuffers_;
    }
}

}  // namespace

HRESULT CreateBlockCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec) {
    codec->reset();
    if (!IsBlockFormat(desc.format)) {
        return E_FAIL;
    }
    std::unique_ptr<BlockCodec> made(new (std::nothrow) BlockCodec());
    if (!made) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = made->Bind(desc);
    if (FAILED(hr)) {
        return hr;
    }
    *codec = std::move(made);
    return S_OK;
}
