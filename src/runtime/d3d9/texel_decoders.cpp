#include "runtime/d3d9/texel_decoders.h"

#include <cmath>
#include <cstring>

#include "runtime/d3d9/dxt_decoder.h"
#include "runtime/d3d9/format_layout.h"

namespace {

using Texel = std::uint32_t;

// A channel of `bits` bits widened to 8, rounded to nearest.
UINT Widen(std::uint64_t value, UINT bits) {
    const std::uint64_t maximum = (std::uint64_t{1} << bits) - 1;
    return static_cast<UINT>(((value & maximum) * 255 + maximum / 2) / maximum);
}

UINT FromFloat(float value) {
    if (!(value > 0.0f)) {  // negative, zero and NaN
        return 0;
    }
    if (value >= 1.0f) {
        return 255;
    }
    return static_cast<UINT>(std::floor(value * 255.0f + 0.5f));
}

Texel Argb(UINT a, UINT r, UINT g, UINT b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

template <class T>
T Load(const BYTE* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

// Decodes one pixel of an unblocked format; false for formats without a
// decoder.
bool DecodePixel(D3DFORMAT format, const BYTE* p, Texel* out) {
    switch (format) {
        case D3DFMT_A8R8G8B8: *out = Load<std::uint32_t>(p); return true;
        case D3DFMT_X8R8G8B8: *out = Load<std::uint32_t>(p) | 0xFF000000u; return true;
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8: {
            const std::uint32_t v = Load<std::uint32_t>(p);
            const UINT a = format == D3DFMT_A8B8G8R8 ? v >> 24 : 255;
            *out = Argb(a, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
            return true;
        }
        case D3DFMT_R5G6B5: {
            const UINT v = Load<std::uint16_t>(p);
            *out = Argb(255, Widen(v >> 11, 5), Widen(v >> 5, 6), Widen(v, 5));
            return true;
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            const UINT v = Load<std::uint16_t>(p);
            const UINT a = format == D3DFMT_A1R5G5B5 ? ((v >> 15) ? 255 : 0) : 255;
            *out = Argb(a, Widen(v >> 10, 5), Widen(v >> 5, 5), Widen(v, 5));
            return true;
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            const UINT v = Load<std::uint16_t>(p);
            const UINT a = format == D3DFMT_A4R4G4B4 ? Widen(v >> 12, 4) : 255;
            *out = Argb(a, Widen(v >> 8, 4), Widen(v >> 4, 4), Widen(v, 4));
            return true;
        }
        case D3DFMT_R3G3B2: {
            const UINT v = p[0];
            *out = Argb(255, Widen(v >> 5, 3), Widen(v >> 2, 3), Widen(v, 2));
            return true;
        }
        case D3DFMT_A8R3G3B2: {
            const UINT v = Load<std::uint16_t>(p);
            *out = Argb(v >> 8, Widen(v >> 5, 3), Widen(v >> 2, 3), Widen(v, 2));
            return true;
        }
        case D3DFMT_A8: *out = Argb(p[0], 255, 255, 255); return true;
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A2R10G10B10: {
            const std::uint32_t v = Load<std::uint32_t>(p);
            const UINT low = Widen(v, 10);
            const UINT high = Widen(v >> 20, 10);
            const UINT g = Widen(v >> 10, 10);
            const UINT a = Widen(v >> 30, 2);
            *out = format == D3DFMT_A2B10G10R10 ? Argb(a, low, g, high) : Argb(a, high, g, low);
            return true;
        }
        case D3DFMT_G16R16: {
            const std::uint32_t v = Load<std::uint32_t>(p);
            *out = Argb(255, Widen(v, 16), Widen(v >> 16, 16), 255);
            return true;
        }
        case D3DFMT_A16B16G16R16: {
            const std::uint64_t v = Load<std::uint64_t>(p);
            *out = Argb(Widen(v >> 48, 16), Widen(v, 16), Widen(v >> 16, 16), Widen(v >> 32, 16));
            return true;
        }
        case D3DFMT_L8: *out = Argb(255, p[0], p[0], p[0]); return true;
        case D3DFMT_A8L8: *out = Argb(p[1], p[0], p[0], p[0]); return true;
        case D3DFMT_A4L4: {
            const UINT l = Widen(p[0], 4);
            *out = Argb(Widen(p[0] >> 4, 4), l, l, l);
            return true;
        }
        case D3DFMT_L16: {
            const UINT l = Widen(Load<std::uint16_t>(p), 16);
            *out = Argb(255, l, l, l);
            return true;
        }
        case D3DFMT_R16F:
            *out = Argb(255, FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p))), 255, 255);
            return true;
        case D3DFMT_G16R16F:
            *out = Argb(255, FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p))),
                        FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p + 2))), 255);
            return true;
        case D3DFMT_A16B16G16R16F:
            *out = Argb(FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p + 6))),
                        FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p))),
                        FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p + 2))),
                        FromFloat(IeeeHalfToFloat(Load<std::uint16_t>(p + 4))));
            return true;
        case D3DFMT_R32F: *out = Argb(255, FromFloat(Load<float>(p)), 255, 255); return true;
        case D3DFMT_G32R32F:
            *out = Argb(255, FromFloat(Load<float>(p)), FromFloat(Load<float>(p + 4)), 255);
            return true;
        case D3DFMT_A32B32G32R32F:
            *out = Argb(FromFloat(Load<float>(p + 12)), FromFloat(Load<float>(p)),
                        FromFloat(Load<float>(p + 4)), FromFloat(Load<float>(p + 8)));
            return true;
        default: return false;
    }
}

bool IsDxt(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

void DecodeBlocks(D3DFORMAT format, const BYTE* data, UINT pitch, UINT width, UINT height,
                  Texel* out) {
    const UINT blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    Texel texels[16];
    for (UINT by = 0; by < (height + 3) / 4; ++by) {
        for (UINT bx = 0; bx < (width + 3) / 4; ++bx) {
            DecodeDxtBlock(format, data + by * pitch + bx * blockBytes, texels);
            for (UINT y = 0; y < 4 && by * 4 + y < height; ++y) {
                for (UINT x = 0; x < 4 && bx * 4 + x < width; ++x) {
                    out[(by * 4 + y) * width + bx * 4 + x] = texels[y * 4 + x];
                }
            }
        }
    }
}

}  // namespace

float IeeeHalfToFloat(std::uint16_t half) {
    const UINT sign = half >> 15;
    const UINT exponent = (half >> 10) & 31;
    const UINT mantissa = half & 1023;
    float magnitude;
    if (exponent == 0) {
        magnitude = std::ldexp(static_cast<float>(mantissa), -24);
    } else if (exponent == 31) {
        magnitude = mantissa == 0 ? INFINITY : NAN;
    } else {
        magnitude =
            std::ldexp(static_cast<float>(mantissa + 1024), static_cast<int>(exponent) - 25);
    }
    return sign ? -magnitude : magnitude;
}

bool CanDecode(D3DFORMAT format) {
    if (IsDxt(format)) {
        return true;
    }
    BYTE zero[16] = {};
    Texel ignored;
    return DecodePixel(format, zero, &ignored);
}

bool DecodeSurface(D3DFORMAT format, const BYTE* data, UINT pitch, UINT width, UINT height,
                   std::uint32_t* out) {
    if (IsDxt(format)) {
        DecodeBlocks(format, data, pitch, width, height, out);
        return true;
    }
    if (!CanDecode(format)) {
        return false;
    }
    FormatLayout layout{};
    LayoutOf(format, &layout);
    const UINT bytes = layout.bytes;
    for (UINT y = 0; y < height; ++y) {
        const BYTE* row = data + static_cast<std::size_t>(y) * pitch;
        for (UINT x = 0; x < width; ++x) {
            DecodePixel(format, row + x * bytes, &out[static_cast<std::size_t>(y) * width + x]);
        }
    }
    return true;
}
