#include "pixel/pixel_codec.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "pixel/block_codec.h"
#include "pixel/packed_pair_codec.h"
#include "pixel/per_pixel_codec.h"
#include "pixel/pixel_tables.h"
#include "pixel/row_buffer.h"
#include "vellorn/result_codes.h"

// clang-format off
const float kPlainThresholds[32] = {
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
};

// Entry (2k + 1) / 32 for the 4 x 4 matrix k =
//   15  7 13  5
//    3 11  1  9
//   12  4 14  6
//    0  8  2 10
const float kOrderedThresholds[32] = {
    31 / 32.0f, 15 / 32.0f, 27 / 32.0f, 11 / 32.0f, 31 / 32.0f, 15 / 32.0f, 27 / 32.0f, 11 / 32.0f,
     7 / 32.0f, 23 / 32.0f,  3 / 32.0f, 19 / 32.0f,  7 / 32.0f, 23 / 32.0f,  3 / 32.0f, 19 / 32.0f,
    25 / 32.0f,  9 / 32.0f, 29 / 32.0f, 13 / 32.0f, 25 / 32.0f,  9 / 32.0f, 29 / 32.0f, 13 / 32.0f,
     1 / 32.0f, 17 / 32.0f,  5 / 32.0f, 21 / 32.0f,  1 / 32.0f, 17 / 32.0f,  5 / 32.0f, 21 / 32.0f,
};
// clang-format on

namespace {

constexpr float kByteScale = 1.0f / 255.0f;  // 0.003921569

struct GammaTableStore {
    float values[512];
    GammaTableStore() {
        for (int k = 0; k < 255; ++k) {
            const double x = k / 254.0;
            values[k] = static_cast<float>(std::pow(x, 1.0 / 1.1));
            values[256 + k] = static_cast<float>(std::pow(x, 1.1));
        }
        values[255] = 1.0f;
        values[511] = 1.0f;
    }
};

float Clamp(float v, float lo, float hi) {
    // Written so that a NaN comes out as lo.
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
}

// Linear interpolation in a 256-entry table at s in 0..254.
float Lookup(const float* table, float s) {
    const int i = static_cast<int>(s);
    return table[i] + (table[i + 1] - table[i]) * (s - static_cast<float>(i));
}

bool RgbSigned(ValueClass c) {
    return c == ValueClass::SignedColor || c == ValueClass::Signed;
}

float ConvertChannel(float v, bool fromSigned, bool toSigned) {
    if (fromSigned && !toSigned) {
        return v * 0.5f + 0.5f;
    }
    if (!fromSigned && toSigned) {
        return 2.0f * v - 1.0f;
    }
    return v;
}

ColorF ConvertClass(const ColorF& c, ValueClass from, ValueClass to) {
    if (from == ValueClass::Float) {
        const float lo = RgbSigned(to) ? -1.0f : 0.0f;
        const float alphaLo = to == ValueClass::Signed ? -1.0f : 0.0f;
        return {Clamp(c.r, lo, 1.0f), Clamp(c.g, lo, 1.0f), Clamp(c.b, lo, 1.0f),
                Clamp(c.a, alphaLo, 1.0f)};
    }
    const bool rgbFrom = RgbSigned(from);
    const bool rgbTo = RgbSigned(to);
    const bool alphaFrom = from == ValueClass::Signed;
    const bool alphaTo = to == ValueClass::Signed;
    return {ConvertChannel(c.r, rgbFrom, rgbTo), ConvertChannel(c.g, rgbFrom, rgbTo),
            ConvertChannel(c.b, rgbFrom, rgbTo), ConvertChannel(c.a, alphaFrom, alphaTo)};
}

bool GammaOnRgb(ValueClass c) {
    return c == ValueClass::Unsigned || c == ValueClass::Float;
}

}  // namespace

const float* GammaTables() {
    static const GammaTableStore store;
    return store.values;
}

PixelCodec::~PixelCodec() = default;

void PixelCodec::FinishRead(ColorF* row) const {
    if (colorKey != 0) {
        const ColorF k = keyColor;
        for (UINT x = 0; x < width; ++x) {
            const ColorF& c = row[x];
            if (c.r == k.r && c.g == k.g && c.b == k.b && c.a == k.a) {
                row[x] = ColorF{0.0f, 0.0f, 0.0f, 0.0f};
            }
        }
    }
    DecodeGamma(row);
}

void PixelCodec::DecodeGamma(ColorF* row) const {
    if (!gamma) {
        return;
    }
    const float* decode = GammaTables() + 256;
    auto decodeValue = [&](float v) {
        if (bothGamma) {
            return v * v;
        }
        v = Clamp(v, 0.0f, 1.0f);
        return Lookup(decode, v * v * 254.0f);
    };
    if (GammaOnRgb(valueClass)) {
        for (UINT x = 0; x < width; ++x) {
            row[x].r = decodeValue(row[x].r);
            row[x].g = decodeValue(row[x].g);
            row[x].b = decodeValue(row[x].b);
        }
    } else {
        for (UINT x = 0; x < width; ++x) {
            row[x].a = decodeValue(row[x].a);
        }
    }
}

const ColorF* PixelCodec::BeginWrite(const ColorF* row) {
    const bool convert = otherClass != ValueClass::None && otherClass != valueClass &&
                         valueClass != ValueClass::Float;
    if (!convert && !gamma) {
        return row;
    }
    ColorF* out = conversionBuffer.get();
    if (convert) {
        for (UINT x = 0; x < width; ++x) {
            out[x] = ConvertClass(row[x], otherClass, valueClass);
        }
    } else if (out != row) {
        std::memcpy(out, row, sizeof(ColorF) * width);
    }
    if (!gamma) {
        return out;
    }
    const float* encode = GammaTables();
    auto encodeValue = [&](float v) {
        if (bothGamma) {
            // A negative value has no root; it encodes as black.
            return std::sqrt(v > 0.0f ? v : 0.0f);
        }
        v = Clamp(v, 0.0f, 1.0f);
        return Lookup(encode, std::sqrt(v) * 254.0f);
    };
    if (GammaOnRgb(valueClass)) {
        for (UINT x = 0; x < width; ++x) {
            out[x].r = encodeValue(out[x].r);
            out[x].g = encodeValue(out[x].g);
            out[x].b = encodeValue(out[x].b);
        }
    } else {
        for (UINT x = 0; x < width; ++x) {
            out[x].a = encodeValue(out[x].a);
        }
    }
    return out;
}

ColorF PixelCodec::KeyAsColor() const {
    const ColorF key = {static_cast<float>((colorKey >> 16) & 0xFF) * kByteScale,
                        static_cast<float>((colorKey >> 8) & 0xFF) * kByteScale,
                        static_cast<float>(colorKey & 0xFF) * kByteScale,
                        static_cast<float>((colorKey >> 24) & 0xFF) * kByteScale};
    if (valueClass == ValueClass::SignedColor || valueClass == ValueClass::Signed) {
        return ConvertClass(key, ValueClass::Unsigned, valueClass);
    }
    return key;
}

void PixelCodec::BindSurface(const SurfaceDesc& desc) {
    // Formats with signed alpha are never gamma-converted; of the bump
    // formats only D3DFMT_L6V5U5 keeps the flag, so that its luminance (read
    // as alpha) is decoded and encoded.
    const bool noGamma = valueClass == ValueClass::Signed ||
                         (valueClass == ValueClass::SignedColor && format != D3DFMT_L6V5U5);
    gamma = desc.gamma && !noGamma;
    colorKey = desc.colorKey;
    threshold = desc.dither ? kOrderedThresholds : kPlainThresholds;
    data = static_cast<BYTE*>(desc.data);
    rowPitch = desc.rowPitch;
    slicePitch = desc.slicePitch;
    box = desc.box;
    extent = desc.extent;
    const auto span = [](UINT begin, UINT end) { return end > begin ? end - begin : 0; };
    width = span(box.left, box.right);
    height = span(box.top, box.bottom);
    depth = span(box.front, box.back);
    if (width == 0 || height == 0 || depth == 0) {
        // An empty box has no rows with pixels in them.
        width = height = depth = 0;
    }
    bytesPerRow = width * bytesPerPixel;
}

void PixelCodec::PrepareColorKey() {
    const ColorF key = KeyAsColor();

    // Round-trip the key through one private pixel. Everything the round trip
    // touches is saved and restored: the binding to the surface, the
    // thresholds, gamma, class conversion, the key itself and the diffusion
    // buffer (detached so that the key's quantisation error is not carried
    // into the image).
    BYTE* const savedData = data;
    const UINT savedRowPitch = rowPitch;
    const UINT savedSlicePitch = slicePitch;
    const PixelBox savedBox = box;
    const UINT savedWidth = width;
    const UINT savedHeight = height;
    const UINT savedDepth = depth;
    const UINT savedBytesPerRow = bytesPerRow;
    const float* const savedThreshold = threshold;
    const bool savedGamma = gamma;
    const ValueClass savedOtherClass = otherClass;
    const DWORD savedKey = colorKey;
    std::unique_ptr<ColorF[]> savedDiffusion = std::move(diffusionBuffer);

    alignas(16) BYTE pixel[16] = {};
    data = pixel;
    rowPitch = bytesPerPixel;
    slicePitch = bytesPerPixel;
    box = PixelBox{0, 0, 1, 1, 0, 1};
    width = 1;
    height = 1;
    depth = 1;
    bytesPerRow = bytesPerPixel;
    threshold = kPlainThresholds;
    gamma = false;
    otherClass = ValueClass::None;
    colorKey = 0;

    WriteRow(0, 0, &key);
    ColorF quantised = {};
    ReadRow(0, 0, &quantised);

    data = savedData;
    rowPitch = savedRowPitch;
    slicePitch = savedSlicePitch;
    box = savedBox;
    width = savedWidth;
    height = savedHeight;
    depth = savedDepth;
    bytesPerRow = savedBytesPerRow;
    threshold = savedThreshold;
    gamma = savedGamma;
    otherClass = savedOtherClass;
    colorKey = savedKey;
    diffusionBuffer = std::move(savedDiffusion);

    keyColor = quantised;
}

namespace {

// Binds a per-pixel codec to desc's box and gives it its buffers: S_OK, or
// E_OUTOFMEMORY when memory runs out for one of them.
HRESULT BindPerPixel(PixelCodec& codec, const SurfaceDesc& desc) {
    codec.BindSurface(desc);
    const UINT width = codec.width;
    if (width != 0) {
        const PixelBox& b = desc.box;
        codec.data += static_cast<std::size_t>(b.front) * desc.slicePitch +
                      static_cast<std::size_t>(b.top) * desc.rowPitch +
                      static_cast<std::size_t>(b.left) * codec.bytesPerPixel;
    }
    codec.box = PixelBox{0, 0, width, codec.height, 0, codec.depth};

    // At least one entry: the colour key's round trip writes one pixel
    // through it even for an empty box.
    codec.conversionBuffer = NewRowBuffer<ColorF>(width > 0 ? width : 1);
    if (!codec.conversionBuffer) {
        return E_OUTOFMEMORY;
    }
    if (desc.diffusion) {
        // Entry x + 1 holds the error carried to pixel x of the next row.
        codec.diffusionBuffer = NewRowBuffer<ColorF>(std::uint64_t{width} + 2);
        if (!codec.diffusionBuffer) {
            return E_OUTOFMEMORY;
        }
    }

    if (codec.hasPalette) {
        codec.palette = NewRowBuffer<ColorF>(256);
        if (!codec.palette) {
            return E_OUTOFMEMORY;
        }
        for (int i = 0; i < 256; ++i) {
            if (desc.palette != nullptr) {
                const PALETTEENTRY& e = desc.palette[i];
                codec.palette[i] = ColorF{
                    static_cast<float>(e.peRed) * kByteScale,
                    static_cast<float>(e.peGreen) * kByteScale,
                    static_cast<float>(e.peBlue) * kByteScale,
                    static_cast<float>(e.peFlags) * kByteScale,
                };
            } else {
                codec.palette[i] = ColorF{1.0f, 1.0f, 1.0f, 1.0f};
            }
        }
    }
    return S_OK;
}

// The codec of desc's format bound to desc's box, key not yet prepared.
HRESULT CreateBoundCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec) {
    switch (desc.format) {
        case D3DFMT_YUY2:
        case D3DFMT_UYVY:
        case D3DFMT_R8G8_B8G8:
        case D3DFMT_G8R8_G8B8: return CreatePackedPairCodec(desc, codec);
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5: return CreateBlockCodec(desc, codec);
        default: break;
    }
    const HRESULT hr = CreatePerPixelCodec(desc.format, codec);
    if (FAILED(hr)) {
        return hr;
    }
    return BindPerPixel(**codec, desc);
}

}  // namespace

HRESULT CreatePixelCodec(const SurfaceDesc& desc, std::unique_ptr<PixelCodec>* codec) {
    std::unique_ptr<PixelCodec> made;
    const HRESULT hr = CreateBoundCodec(desc, &made);
    if (FAILED(hr)) {
        codec->reset();
        return hr;
    }
    if (made->colorKey != 0) {
        made->PrepareColorKey();
    }
    *codec = std::move(made);
    return S_OK;
}
