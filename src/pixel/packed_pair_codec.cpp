#include "pixel/packed_pair_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "pixel/pixel_tables.h"
#include "pixel/row_buffer.h"
#include "vellorn/result_codes.h"

namespace {

constexpr float kByteScale = 0.003921569f;  // 1 / 255

// Which byte of each 16-bit word holds luma (green) and which chroma (red in
// the first word of a pair, blue in the second; U and V for the YUV formats).
struct PairLayout {
    bool yuv;
    unsigned lumaByte;
    unsigned chromaByte;
};

bool LayoutOf(D3DFORMAT format, PairLayout* layout) {
    switch (format) {
        case D3DFMT_YUY2: *layout = {true, 0, 1}; return true;
        case D3DFMT_UYVY: *layout = {true, 1, 0}; return true;
        case D3DFMT_R8G8_B8G8: *layout = {false, 0, 1}; return true;
        case D3DFMT_G8R8_G8B8: *layout = {false, 1, 0}; return true;
        default: return false;
    }
}

float Clamp01(float v) {
    // A NaN comes out as 0.
    v = v > 0.0f ? v : 0.0f;
    return v < 1.0f ? v : 1.0f;
}

int ClampByte(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Truncation toward zero. Values far outside the byte range (and NaNs) are
// limited first so that the conversion stays defined; within the range this
// changes nothing.
int Truncate(float v) {
    if (!(v > -1024.0f)) {
        return -1024;
    }
    if (v > 1024.0f) {
        return 1024;
    }
    return static_cast<int>(v);
}

ColorF YuvToColor(int y, int u, int v) {
    const float luma = static_cast<float>(y - 16) * 0.00456621f;
    const auto cu = static_cast<float>(u - 128);
    const auto cv = static_cast<float>(v - 128);
    return ColorF{
        Clamp01(luma + 0.00625893f * cv),
        Clamp01(luma - 0.00153632f * cu - 0.00318811f * cv),
        Clamp01(luma + 0.00791071f * cu),
        1.0f,
    };
}

BYTE EncodeLuma(const ColorF& c) {
    return static_cast<BYTE>(
        ClampByte(Truncate(65.481f * c.r + 128.553f * c.g + 24.966f * c.b + 0.5f) + 16));
}

BYTE EncodeU(const ColorF& c) {
    return static_cast<BYTE>(
        ClampByte(Truncate(-37.797f * c.r - 74.203f * c.g + 112.0f * c.b + 0.5f) + 128));
}

BYTE EncodeV(const ColorF& c) {
    return static_cast<BYTE>(
        ClampByte(Truncate(112.0f * c.r - 93.786f * c.g - 18.214f * c.b + 0.5f) + 128));
}

BYTE EncodeByte(float v) {
    return static_cast<BYTE>(ClampByte(Truncate(v * 255.0f + 0.5f)));
}

// Chroma of the second pixel of pair k: a four-tap interpolation between the
// pair and the next one, the row's edge pairs repeated outward. chroma holds
// the pairs' bytes at chroma[2 * j + which].
int InterpolateChroma(const BYTE* chroma, std::ptrdiff_t pairs, std::ptrdiff_t k, int which) {
    auto q = [&](std::ptrdiff_t j) {
        j = std::clamp<std::ptrdiff_t>(j, 0, pairs - 1);
        return static_cast<int>(chroma[2 * j + which]);
    };
    const int v = (-q(k - 1) + 9 * q(k) + 9 * q(k + 1) - q(k + 2) + 8) >> 4;
    return ClampByte(v);
}

// Decodes a row of pairs given as luma and chroma bytes per pixel position.
void DecodePairs(bool yuv, const BYTE* luma, const BYTE* chroma, std::size_t pairs, ColorF* out) {
    const auto count = static_cast<std::ptrdiff_t>(pairs);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        const int first = luma[2 * k];
        const int second = luma[2 * k + 1];
        const int red = chroma[2 * k];
        const int blue = chroma[2 * k + 1];
        if (yuv) {
            out[2 * k] = YuvToColor(first, red, blue);
            out[2 * k + 1] = YuvToColor(second, InterpolateChroma(chroma, count, k, 0),
                                        InterpolateChroma(chroma, count, k, 1));
        } else {
            const float r = static_cast<float>(red) * kByteScale;
            const float b = static_cast<float>(blue) * kByteScale;
            out[2 * k] = ColorF{r, static_cast<float>(first) * kByteScale, b, 1.0f};
            out[2 * k + 1] = ColorF{r, static_cast<float>(second) * kByteScale, b, 1.0f};
        }
    }
}

// Encodes a row of pairs; the chroma (red and blue) of a pair comes from its
// first pixel.
void EncodePairs(bool yuv, const ColorF* in, std::size_t pairs, BYTE* luma, BYTE* chroma) {
    for (std::size_t k = 0; k < pairs; ++k) {
        const ColorF& first = in[2 * k];
        const ColorF& second = in[2 * k + 1];
        if (yuv) {
            luma[2 * k] = EncodeLuma(first);
            luma[2 * k + 1] = EncodeLuma(second);
            chroma[2 * k] = EncodeU(first);
            chroma[2 * k + 1] = EncodeV(first);
        } else {
            luma[2 * k] = EncodeByte(first.g);
            luma[2 * k + 1] = EncodeByte(second.g);
            chroma[2 * k] = EncodeByte(first.r);
            chroma[2 * k + 1] = EncodeByte(first.b);
        }
    }
}

class PackedPairCodec final : public PixelCodec {
  public:
    // False when memory runs out.
    bool Bind(const SurfaceDesc& desc, const PairLayout& layout);

    ~PackedPairCodec() override { WriteBack(); }

    void ReadRow(UINT y, UINT z, ColorF* row) override;
    void WriteRow(UINT y, UINT z, const ColorF* row) override;
    // The quantised key: the key colour written as a pair and read back as
    // the first pixel, the one that carries the pair's own chroma.
    void PrepareColorKey() override;

  private:
    // Texel 0 of row y of slice z of the box.
    BYTE* RowStart(UINT y, UINT z) const {
        return data + (static_cast<std::size_t>(box.front) + z) * slicePitch +
               (static_cast<std::size_t>(box.top) + y) * rowPitch;
    }

    // The x whose word stands in for the word at x: x itself inside the
    // extent, else the nearest word of the same kind, else the nearest word.
    std::uint64_t SourceX(std::uint64_t x) const;

    // Decodes the widened row that starts at texel 0 rowStart into the cache
    // and tags the cache with it.
    void Decode(BYTE* rowStart);
    // Encodes a dirty cached row back into the surface.
    void WriteBack();

    bool yuv_ = false;
    unsigned lumaByte_ = 0;
    unsigned chromaByte_ = 1;

    // The box widened to whole pairs: texels pairLeft_ .. pairLeft_ + 2 *
    // pairs_ - 1 of the row; the box starts offset_ texels in.
    UINT pairLeft_ = 0;
    std::size_t pairs_ = 0;
    std::size_t offset_ = 0;
    // The part of the widened row inside the extent, [memoryLeft_,
    // memoryRight_); the only words ever read or written.
    std::uint64_t memoryLeft_ = 0;
    std::uint64_t memoryRight_ = 0;
    // The box does not cover whole pairs, so a write must keep the decoded
    // neighbours of its edge pixels.
    bool partial_ = false;

    std::unique_ptr<ColorF[]> cache_;  // 2 * pairs_ decoded pixels
    std::unique_ptr<BYTE[]> luma_;     // 2 * pairs_ bytes
    std::unique_ptr<BYTE[]> chroma_;   // 2 * pairs_ bytes
    BYTE* cachedRow_ = nullptr;        // texel 0 of the cached row
    bool cacheValid_ = false;
    bool dirty_ = false;
};

bool PackedPairCodec::Bind(const SurfaceDesc& desc, const PairLayout& layout) {
    yuv_ = layout.yuv;
    lumaByte_ = layout.lumaByte;
    chromaByte_ = layout.chromaByte;

    format = desc.format;
    valueClass = ValueClass::Unsigned;
    perPixel = false;
    bytesPerPixel = 2;
    BindSurface(desc);

    if (width > 0) {
        pairLeft_ = box.left & ~1u;
        // 64 bits: the right edge may be the largest UINT, which is odd.
        const std::uint64_t pairRight = (std::uint64_t{box.right} + 1) & ~std::uint64_t{1};
        pairs_ = static_cast<std::size_t>((pairRight - pairLeft_) / 2);
        offset_ = box.left - pairLeft_;
        memoryLeft_ = std::max<std::uint64_t>(pairLeft_, extent.left);
        memoryRight_ = std::min<std::uint64_t>(pairRight, extent.right);
        if (memoryRight_ < memoryLeft_) {
            memoryRight_ = memoryLeft_;
        }
        partial_ = box.left != pairLeft_ || box.right != pairRight;

        const std::uint64_t pixels = 2 * std::uint64_t{pairs_};
        cache_ = NewRowBuffer<ColorF>(pixels);
        luma_ = NewRowBuffer<BYTE>(pixels);
        chroma_ = NewRowBuffer<BYTE>(pixels);
        if (!cache_ || !luma_ || !chroma_) {
            return false;
        }
    }
    // Gamma encoding and class conversion on writing work in this buffer.
    conversionBuffer = NewRowBuffer<ColorF>(width > 0 ? width : 1);
    return conversionBuffer != nullptr;
}

void PackedPairCodec::PrepareColorKey() {
    const ColorF key = KeyAsColor();
    const ColorF pair[2] = {key, key};
    BYTE luma[2];
    BYTE chroma[2];
    EncodePairs(yuv_, pair, 1, luma, chroma);
    ColorF decoded[2];
    DecodePairs(yuv_, luma, chroma, 1, decoded);
    keyColor = decoded[0];
}

std::uint64_t PackedPairCodec::SourceX(std::uint64_t x) const {
    if (x >= memoryLeft_ && x < memoryRight_) {
        return x;
    }
    if (x < memoryLeft_) {
        const std::uint64_t same = memoryLeft_ + ((x ^ memoryLeft_) & 1);
        return same < memoryRight_ ? same : memoryLeft_;
    }
    const std::uint64_t last = memoryRight_ - 1;
    const std::uint64_t same = last - ((x ^ last) & 1);
    return same >= memoryLeft_ && same <= last ? same : last;
}

void PackedPairCodec::Decode(BYTE* rowStart) {
    const std::size_t pixels = 2 * pairs_;
    if (memoryRight_ > memoryLeft_) {
        for (std::size_t i = 0; i < pixels; ++i) {
            const BYTE* word = rowStart + 2 * SourceX(pairLeft_ + std::uint64_t{i});
            luma_[i] = word[lumaByte_];
            chroma_[i] = word[chromaByte_];
        }
    } else {
        // No word of the row lies inside the extent.
        std::fill_n(luma_.get(), pixels, BYTE{0});
        std::fill_n(chroma_.get(), pixels, BYTE{0});
    }
    DecodePairs(yuv_, luma_.get(), chroma_.get(), pairs_, cache_.get());
    cachedRow_ = rowStart;
    cacheValid_ = true;
}

void PackedPairCodec::WriteBack() {
    if (!dirty_) {
        return;
    }
    dirty_ = false;
    EncodePairs(yuv_, cache_.get(), pairs_, luma_.get(), chroma_.get());
    for (std::uint64_t x = memoryLeft_; x < memoryRight_; ++x) {
        const std::size_t i = static_cast<std::size_t>(x - pairLeft_);
        BYTE* word = cachedRow_ + 2 * x;
        word[lumaByte_] = luma_[i];
        word[chromaByte_] = chroma_[i];
    }
}

void PackedPairCodec::ReadRow(UINT y, UINT z, ColorF* row) {
    if (width == 0) {
        return;
    }
    BYTE* const rowStart = RowStart(y, z);
    // A dirty row is written back and decoded again even when it is the row
    // asked for, so that reading gives what the surface now holds.
    if (!cacheValid_ || cachedRow_ != rowStart || dirty_) {
        WriteBack();
        Decode(rowStart);
    }
    std::copy_n(cache_.get() + offset_, width, row);
    FinishRead(row);
}

void PackedPairCodec::WriteRow(UINT y, UINT z, const ColorF* row) {
    const ColorF* const source = BeginWrite(row);
    if (width == 0) {
        return;
    }
    BYTE* const rowStart = RowStart(y, z);
    if (!cacheValid_ || cachedRow_ != rowStart) {
        WriteBack();
        if (partial_) {
            Decode(rowStart);
        } else {
            cachedRow_ = rowStart;
            cacheValid_ = true;
        }
    }
    std::copy_n(source, width, cache_.get() + offset_);
    dirty_ = true;
}

}  // namespace

HRESULT CreatePackedPairCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec) {
    codec->reset();
    PairLayout layout;
    if (!LayoutOf(desc.format, &layout)) {
        return E_FAIL;
    }
    std::unique_ptr<PackedPairCodec> made(new (std::nothrow) PackedPairCodec());
    if (!made || !made->Bind(desc, layout)) {
        return E_OUTOFMEMORY;
    }
    *codec = std::move(made);
    return S_OK;
}
