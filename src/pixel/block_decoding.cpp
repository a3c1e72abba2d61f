#include "pixel/block_decoding.h"

#include <cstdint>

namespace {

constexpr float k5Bit = 0.032258064f;    // 1 / 31
constexpr float k6Bit = 0.015873017f;    // 1 / 63
constexpr float k4Bit = 0.06666667f;     // 1 / 15
constexpr float kByte = 0.003921569f;    // 1 / 255
constexpr float kSeventh = 0.14285715f;  // 1 / 7

unsigned Word16(const BYTE* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// n little-endian bytes as one number.
std::uint64_t LittleEndian(const BYTE* p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

ColorF Mix(const ColorF& a, const ColorF& b, float f) {
    return ColorF{a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f,
                  a.a + (b.a - a.a) * f};
}

// 4 bits of alpha per texel, texel 0 in the lowest bits.
void DecodeExplicitAlpha(const BYTE* block, ColorF* texels) {
    const std::uint64_t bits = LittleEndian(block, 8);
    for (int i = 0; i < 16; ++i) {
        texels[i].a = static_cast<float>((bits >> (4 * i)) & 15) * k4Bit;
    }
}

// Two 8-bit endpoints and 3-bit indices into 8 values (a0 > a1) or 6 values
// plus 0 and 1.
void DecodeInterpolatedAlpha(const BYTE* block, ColorF* texels) {
    float values[8];
    AlphaPalette(block[0], block[1], values);
    const std::uint64_t bits = LittleEndian(block + 2, 6);
    for (int i = 0; i < 16; ++i) {
        texels[i].a = values[(bits >> (3 * i)) & 7];
    }
}

// Premultiplied colour back to straight colour.
void UndoPremultiplication(ColorF* texels) {
    for (int i = 0; i < 16; ++i) {
        ColorF& t = texels[i];
        if (t.a == 0.0f) {
            t.r = t.g = t.b = 0.0f;
        } else if (t.a < 1.0f) {
            t.r = t.r < t.a ? t.r / t.a : 1.0f;
            t.g = t.g < t.a ? t.g / t.a : 1.0f;
            t.b = t.b < t.a ? t.b / t.a : 1.0f;
        }
    }
}

void DecodeDxt1(const BYTE* block, ColorF* texels) {
    DecodeColorBlock(block, texels);
}

void DecodeDxt3(const BYTE* block, ColorF* texels) {
    DecodeColorBlock(block + 8, texels);
    DecodeExplicitAlpha(block, texels);
}

void DecodeDxt2(const BYTE* block, ColorF* texels) {
    DecodeDxt3(block, texels);
    UndoPremultiplication(texels);
}

void DecodeDxt5(const BYTE* block, ColorF* texels) {
    DecodeColorBlock(block + 8, texels);
    DecodeInterpolatedAlpha(block, texels);
}

void DecodeDxt4(const BYTE* block, ColorF* texels) {
    DecodeDxt5(block, texels);
    UndoPremultiplication(texels);
}

}  // namespace

void AlphaPalette(unsigned a0, unsigned a1, float* values) {
    const float first = static_cast<float>(a0) * kByte;
    const float second = static_cast<float>(a1) * kByte;
    values[0] = first;
    values[1] = second;
    if (a1 < a0) {
        for (int i = 1; i <= 6; ++i) {
            values[i + 1] =
                (static_cast<float>(7 - i) * first + static_cast<float>(i) * second) * kSeventh;
        }
    } else {
        for (int i = 1; i <= 4; ++i) {
            values[i + 1] =
                (static_cast<float>(5 - i) * first + static_cast<float>(i) * second) * 0.2f;
        }
        values[6] = 0.0f;
        values[7] = 1.0f;
    }
}

ColorF ColorFrom565(unsigned word) {
    return ColorF{static_cast<float>((word >> 11) & 31) * k5Bit,
                  static_cast<float>((word >> 5) & 63) * k6Bit,
                  static_cast<float>(word & 31) * k5Bit, 1.0f};
}

void DecodeColorBlock(const BYTE* block, ColorF* texels) {
    const unsigned c0 = Word16(block);
    const unsigned c1 = Word16(block + 2);
    ColorF colors[4];
    colors[0] = ColorFrom565(c0);
    colors[1] = ColorFrom565(c1);
    if (c1 < c0) {
        colors[2] = Mix(colors[0], colors[1], 0.33333334f);
        colors[3] = Mix(colors[0], colors[1], 0.6666667f);
    } else {
        colors[2] = Mix(colors[0], colors[1], 0.5f);
        colors[3] = ColorF{0.0f, 0.0f, 0.0f, 0.0f};
    }
    const auto indices = static_cast<std::uint32_t>(LittleEndian(block + 4, 4));
    for (int i = 0; i < 16; ++i) {
        texels[i] = colors[(indices >> (2 * i)) & 3];
    }
}

BlockDecoder BlockDecoderOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT1: return DecodeDxt1;
        case D3DFMT_DXT2: return DecodeDxt2;
        case D3DFMT_DXT3: return DecodeDxt3;
        case D3DFMT_DXT4: return DecodeDxt4;
        case D3DFMT_DXT5: return DecodeDxt5;
        default: return nullptr;
    }
}
