#include "runtime/d3d9/dxt_decoder.h"

namespace {

struct Rgb {
    UINT r, g, b;
};

UINT Widen(UINT value, UINT maximum) {
    return (value * 255 + maximum / 2) / maximum;
}

Rgb Unpack565(UINT word) {
    return {Widen((word >> 11) & 31, 31), Widen((word >> 5) & 63, 63), Widen(word & 31, 31)};
}

std::uint32_t Pack(UINT a, const Rgb& c) {
    return (a << 24) | (c.r << 16) | (c.g << 8) | c.b;
}

// Weighted mix (wa x a + wb x b) / (wa + wb), rounded to nearest.
UINT Mix(UINT a, UINT b, UINT wa, UINT wb) {
    const UINT sum = wa + wb;
    return (a * wa + b * wb + sum / 2) / sum;
}

Rgb MixRgb(const Rgb& a, const Rgb& b, UINT wa, UINT wb) {
    return {Mix(a.r, b.r, wa, wb), Mix(a.g, b.g, wa, wb), Mix(a.b, b.b, wa, wb)};
}

// The colour half of a block. threeColourMode allows the mode of "DXT1"
// where c0 <= c1 selects a midpoint and transparent black; the colour halves
// of the alpha formats always use four colours.
void DecodeColours(const BYTE* block, bool threeColourMode, std::uint32_t texels[16]) {
    const UINT word0 = block[0] | (block[1] << 8);
    const UINT word1 = block[2] | (block[3] << 8);
    const Rgb c0 = Unpack565(word0);
    const Rgb c1 = Unpack565(word1);
    std::uint32_t palette[4];
    palette[0] = Pack(255, c0);
    palette[1] = Pack(255, c1);
    if (threeColourMode && word0 <= word1) {
        palette[2] = Pack(255, MixRgb(c0, c1, 1, 1));
        palette[3] = 0;
    } else {
        palette[2] = Pack(255, MixRgb(c0, c1, 2, 1));
        palette[3] = Pack(255, MixRgb(c0, c1, 1, 2));
    }
    const std::uint32_t indices = block[4] | (block[5] << 8) | (block[6] << 16) |
                                  (static_cast<std::uint32_t>(block[7]) << 24);
    for (int i = 0; i < 16; ++i) {
        texels[i] = palette[(indices >> (2 * i)) & 3];
    }
}

void SetAlpha(std::uint32_t& texel, UINT alpha) {
    texel = (texel & 0x00FFFFFFu) | (alpha << 24);
}

void DecodeExplicitAlpha(const BYTE* block, std::uint32_t texels[16]) {
    for (int i = 0; i < 16; ++i) {
        const UINT nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
        SetAlpha(texels[i], nibble * 17);
    }
}

void DecodeInterpolatedAlpha(const BYTE* block, std::uint32_t texels[16]) {
    const UINT a0 = block[0];
    const UINT a1 = block[1];
    UINT values[8] = {a0, a1, 0, 0, 0, 0, 0, 0};
    if (a0 > a1) {
        for (UINT i = 1; i <= 6; ++i) {
            values[i + 1] = Mix(a0, a1, 7 - i, i);
        }
    } else {
        for (UINT i = 1; i <= 4; ++i) {
            values[i + 1] = Mix(a0, a1, 5 - i, i);
        }
        values[6] = 0;
        values[7] = 255;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        SetAlpha(texels[i], values[(bits >> (3 * i)) & 7]);
    }
}

}  // namespace

void DecodeDxtBlock(D3DFORMAT format, const BYTE* block, std::uint32_t texels[16]) {
    switch (format) {
        case D3DFMT_DXT1: DecodeColours(block, true, texels); break;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
            DecodeColours(block + 8, false, texels);
            DecodeExplicitAlpha(block, texels);
            break;
        default:  // "DXT4", "DXT5"
            DecodeColours(block + 8, false, texels);
            DecodeInterpolatedAlpha(block, texels);
            break;
    }
}
