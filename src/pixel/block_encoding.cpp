#include "pixel/block_encoding.h"

#include <cstdint>
#include <utility>

#include "pixel/block_decoding.h"
#include "pixel/endpoint_fit.h"

namespace {

void PutLittleEndian(BYTE* p, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) {
        p[i] = static_cast<BYTE>(v >> (8 * i));
    }
}

int ClampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Floyd-Steinberg inside one block: the error of texel i goes 7/16 to its
// right neighbour and 3/16, 5/16, 1/16 to the row below; nothing leaves the
// block. Always inlined: it runs for every channel of every texel.
[[gnu::always_inline]] inline void SpreadError(float* carry, int i, float error) {
    const int column = i & 3;
    if (column < 3) {
        carry[i + 1] += error * 0.4375f;
    }
    if (i < 12) {
        if (column > 0) {
            carry[i + 3] += error * 0.1875f;
        }
        carry[i + 4] += error * 0.3125f;
        if (column < 3) {
            carry[i + 5] += error * 0.0625f;
        }
    }
}

// q / steps for q = 0..steps, divided once ahead of time: the dithering
// encoders quantise texel after texel, each texel's value waiting for the
// error of the one before, and a division on that chain would slow every
// block down. Exactly the quotients the division gives.
template <int Steps>
struct Levels {
    float values[Steps + 1];
    constexpr Levels() : values() {
        for (int q = 0; q <= Steps; ++q) {
            values[q] = static_cast<float>(q) / static_cast<float>(Steps);
        }
    }
    // q / Steps, also for q outside the table.
    float operator()(int q) const {
        return q >= 0 && q <= Steps ? values[q] : static_cast<float>(q) / static_cast<float>(Steps);
    }
};

constexpr Levels<15> k4BitLevels;
constexpr Levels<31> k5BitLevels;
constexpr Levels<63> k6BitLevels;
constexpr Levels<255> k8BitLevels;

Rgb Weighted(const ColorF& c) {
    return Rgb{c.r * kChannelWeights.r, c.g * kChannelWeights.g, c.b * kChannelWeights.b};
}

float Clamp01(float v) {
    v = v > 0.0f ? v : 0.0f;
    return v < 1.0f ? v : 1.0f;
}

// A colour in weighted space as a 5:6:5 word.
unsigned Pack565(const Rgb& weighted) {
    const auto field = [](float v, float scale) {
        return static_cast<unsigned>(TruncateToInt(Clamp01(v) * scale + 0.5f));
    };
    return field(weighted.r * kInverseChannelWeights.r, 31.0f) << 11 |
           field(weighted.g * kInverseChannelWeights.g, 63.0f) << 5 |
           field(weighted.b * kInverseChannelWeights.b, 31.0f);
}

Rgb Lerp(const Rgb& a, const Rgb& b, float f) {
    return Rgb{a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

void WriteColorBlock(BYTE* block, unsigned c0, unsigned c1, std::uint32_t indices) {
    PutLittleEndian(block, c0, 2);
    PutLittleEndian(block + 2, c1, 2);
    PutLittleEndian(block + 4, indices, 4);
}

// The 16 colours quantised to 5:6:5 (the error dithered inside the block when
// asked) and weighted.
void QuantiseColors(const ColorF* texels, bool dither, Rgb* weighted) {
    float carry[3][16] = {};
    for (int i = 0; i < 16; ++i) {
        const float values[3] = {texels[i].r, texels[i].g, texels[i].b};
        float quantised[3];
        for (int c = 0; c < 3; ++c) {
            const float x = dither ? values[c] + carry[c][i] : values[c];
            quantised[c] = c == 1 ? k6BitLevels(TruncateToInt(x * 63.0f + 0.5f))
                                  : k5BitLevels(TruncateToInt(x * 31.0f + 0.5f));
            if (dither) {
                SpreadError(carry[c], i, x - quantised[c]);
            }
        }
        weighted[i] = Weighted(ColorF{quantised[0], quantised[1], quantised[2], 1.0f});
    }
}

// 4 bits of alpha per texel.
void EncodeExplicitAlpha(const ColorF* texels, bool dither, BYTE* block) {
    float carry[16] = {};
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        const float x = dither ? texels[i].a + carry[i] : texels[i].a;
        const int q = ClampInt(TruncateToInt(x * 15.0f + 0.5f), 0, 15);
        bits |= static_cast<std::uint64_t>(q) << (4 * i);
        if (dither) {
            SpreadError(carry, i, x - k4BitLevels(q));
        }
    }
    PutLittleEndian(block, bits, 8);
}

// Two alpha endpoint bytes and 3-bit indices.
void EncodeInterpolatedAlpha(const ColorF* texels, bool dither, BYTE* block) {
    float alphas[16];
    float carry[16] = {};
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int i = 0; i < 16; ++i) {
        const float x = dither ? texels[i].a + carry[i] : texels[i].a;
        alphas[i] = k8BitLevels(ClampInt(TruncateToInt(x * 255.0f + 0.5f), 0, 255));
        if (dither) {
            SpreadError(carry, i, x - alphas[i]);
        }
        lowest = alphas[i] < lowest ? alphas[i] : lowest;
        highest = alphas[i] > highest ? alphas[i] : highest;
    }
    if (lowest == 1.0f) {
        PutLittleEndian(block, 0xFFFF, 8);
        return;
    }
    const int mode = lowest == 0.0f || highest == 1.0f ? 6 : 8;
    float lo = 0.0f;
    float hi = 0.0f;
    FitAlphaEndpoints(alphas, mode, &lo, &hi);
    const int loByte = TruncateToInt(lo * 255.0f + 0.5f);
    const int hiByte = TruncateToInt(hi * 255.0f + 0.5f);
    lo = static_cast<float>(loByte) / 255.0f;
    hi = static_cast<float>(hiByte) / 255.0f;
    if (mode == 8 && loByte == hiByte) {
        PutLittleEndian(block, static_cast<unsigned>(loByte) * 0x101u, 8);
        return;
    }

    // Palette positions run from first to last; map turns a position into
    // its index.
    static constexpr int kMap6[6] = {0, 2, 3, 4, 5, 1};
    static constexpr int kMap8[8] = {0, 2, 3, 4, 5, 6, 7, 1};
    const int* map = mode == 6 ? kMap6 : kMap8;
    const int a0 = mode == 6 ? loByte : hiByte;
    const int a1 = mode == 6 ? hiByte : loByte;
    const float first = mode == 6 ? lo : hi;
    const float last = mode == 6 ? hi : lo;
    const auto steps = static_cast<float>(mode - 1);
    const float scale = last != first ? steps / (last - first) : 0.0f;
    float values[8];
    AlphaPalette(static_cast<unsigned>(a0), static_cast<unsigned>(a1), values);

    float indexCarry[16] = {};
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        const float a = dither ? alphas[i] + indexCarry[i] : alphas[i];
        const float t = (a - first) * scale;
        int index = 0;
        if (t > 0.0f && t < steps) {
            index = map[TruncateToInt(t + 0.5f)];
        } else if (t >= steps) {
            index = mode == 6 && a > (hi + 1.0f) * 0.5f ? 7 : 1;
        } else {
            index = mode == 6 && a <= lo * 0.5f ? 6 : 0;
        }
        if (dither) {
            SpreadError(indexCarry, i, a - values[index]);
        }
        bits |= static_cast<std::uint64_t>(index) << (3 * i);
    }
    block[0] = static_cast<BYTE>(a0);
    block[1] = static_cast<BYTE>(a1);
    PutLittleEndian(block + 2, bits, 6);
}

void Premultiply(const ColorF* texels, ColorF* out) {
    for (int i = 0; i < 16; ++i) {
        const ColorF& t = texels[i];
        out[i] = ColorF{t.r * t.a, t.g * t.a, t.b * t.a, t.a};
    }
}

void EncodeDxt1(const ColorF* texels, bool dither, BYTE* block) {
    if (!dither) {
        EncodeColorBlock(texels, true, false, block);
        return;
    }
    // Alpha becomes 0 or 1 first, its error dithered inside the block.
    ColorF reduced[16];
    float carry[16] = {};
    for (int i = 0; i < 16; ++i) {
        reduced[i] = texels[i];
        const float x = texels[i].a + carry[i];
        reduced[i].a = static_cast<float>(TruncateToInt(x + 0.5f));
        SpreadError(carry, i, x - reduced[i].a);
    }
    EncodeColorBlock(reduced, true, true, block);
}

void EncodeDxt3(const ColorF* texels, bool dither, BYTE* block) {
    EncodeExplicitAlpha(texels, dither, block);
    EncodeColorBlock(texels, false, dither, block + 8);
}

void EncodeDxt5(const ColorF* texels, bool dither, BYTE* block) {
    EncodeColorBlock(texels, false, dither, block + 8);
    EncodeInterpolatedAlpha(texels, dither, block);
}

void EncodeDxt2(const ColorF* texels, bool dither, BYTE* block) {
    ColorF premultiplied[16];
    Premultiply(texels, premultiplied);
    EncodeDxt3(premultiplied, dither, block);
}

void EncodeDxt4(const ColorF* texels, bool dither, BYTE* block) {
    ColorF premultiplied[16];
    Premultiply(texels, premultiplied);
    EncodeDxt5(premultiplied, dither, block);
}

}  // namespace

void EncodeColorBlock(const ColorF* texels, bool allowTransparent, bool dither, BYTE* block) {
    int n = 4;
    if (allowTransparent) {
        int transparent = 0;
        for (int i = 0; i < 16; ++i) {
            transparent += texels[i].a < 0.5f ? 1 : 0;
        }
        if (transparent == 16) {
            WriteColorBlock(block, 0x0000, 0xFFFF, 0xFFFFFFFF);
            return;
        }
        n = transparent > 0 ? 3 : 4;
    }

    Rgb weighted[16];
    QuantiseColors(texels, dither, weighted);
    Rgb a;
    Rgb b;
    FitColorEndpoints(weighted, n, &a, &b);
    unsigned c0 = Pack565(a);
    unsigned c1 = Pack565(b);
    if (n == 4 && c0 == c1) {
        WriteColorBlock(block, c0, c1, 0);
        return;
    }
    if ((n == 4 && c0 < c1) || (n == 3 && c0 > c1)) {
        std::swap(c0, c1);
    }

    // The palette by position along c0 -> c1, and each position's index.
    const Rgb e0 = Weighted(ColorFrom565(c0));
    const Rgb e1 = Weighted(ColorFrom565(c1));
    static constexpr int kMap3[3] = {0, 2, 1};
    static constexpr int kMap4[4] = {0, 2, 3, 1};
    const int* map = n == 4 ? kMap4 : kMap3;
    Rgb palette[4];
    palette[0] = e0;
    palette[n - 1] = e1;
    if (n == 4) {
        palette[1] = Lerp(e0, e1, 0.33333334f);
        palette[2] = Lerp(e0, e1, 0.6666667f);
    } else {
        palette[1] = Lerp(e0, e1, 0.5f);
    }
    const auto steps = static_cast<float>(n - 1);
    Rgb d = {e1.r - e0.r, e1.g - e0.g, e1.b - e0.b};
    const float length = d.r * d.r + d.g * d.g + d.b * d.b;
    if (c0 == c1) {
        d = Rgb{0.0f, 0.0f, 0.0f};
    } else {
        d = Rgb{d.r * steps / length, d.g * steps / length, d.b * steps / length};
    }

    float carry[3][16] = {};
    std::uint32_t indices = 0;
    for (int i = 0; i < 16; ++i) {
        int index = 3;
        if (n == 4 || texels[i].a >= 0.5f) {
            Rgb p = Weighted(texels[i]);
            if (dither) {
                p = Rgb{p.r + carry[0][i], p.g + carry[1][i], p.b + carry[2][i]};
            }
            const float t = (p.r - e0.r) * d.r + (p.g - e0.g) * d.g + (p.b - e0.b) * d.b;
            int position = 0;
            if (t >= steps) {
                position = n - 1;
            } else if (t > 0.0f) {
                position = TruncateToInt(t + 0.5f);
            }
            index = map[position];
            if (dither) {
                SpreadError(carry[0], i, p.r - palette[position].r);
                SpreadError(carry[1], i, p.g - palette[position].g);
                SpreadError(carry[2], i, p.b - palette[position].b);
            }
        }
        indices |= static_cast<std::uint32_t>(index) << (2 * i);
    }
    WriteColorBlock(block, c0, c1, indices);
}

BlockEncoder BlockEncoderOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT1: return EncodeDxt1;
        case D3DFMT_DXT2: return EncodeDxt2;
        case D3DFMT_DXT3: return EncodeDxt3;
        case D3DFMT_DXT4: return EncodeDxt4;
        case D3DFMT_DXT5: return EncodeDxt5;
        default: return nullptr;
    }
}
