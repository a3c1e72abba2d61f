#include "pixel/per_pixel_codec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "pixel/half_float.h"
#include "pixel/palette_search.h"
#include "vellorn/result_codes.h"

static_assert(std::endian::native == std::endian::little,
              "pixel words are loaded as little-endian integers");
static_assert(sizeof(ColorF) == 4 * sizeof(float), "rows of ColorF are copied as floats");

namespace {

constexpr float ColorF::*kChannel[4] = {&ColorF::r, &ColorF::g, &ColorF::b, &ColorF::a};

enum : int { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

// What a channel reads besides a field of the pixel word.
constexpr int kOne = -1;           // filled with 1.0
constexpr int kZero = -2;          // filled with 0.0
constexpr int kComputedBlue = -3;  // square root of 1 - U^2 - V^2
constexpr int kPaletteEntry = -4;  // the channel of the indexed palette entry

// One field of the pixel word; channel is the input channel written into it
// (red carries L for the luminance formats).
struct Field {
    int shift;
    int bits;
    bool isSigned;
    int channel;
};

// Compile-time description of a format laid out as integer fields.
struct Layout {
    int bytes;
    ValueClass valueClass;
    int fieldCount;
    Field fields[4];
    int read[4];          // per channel: a field index or one of the constants above
    bool luminance;       // the colour field holds 0.2125 r + 0.7154 g + 0.0721 b
    int paletteChannels;  // 0, or 3 / 4: bits 0-7 index the palette matched over them
};

constexpr Field U(int shift, int bits, int channel) {
    return Field{shift, bits, false, channel};
}
constexpr Field S(int shift, int bits, int channel) {
    return Field{shift, bits, true, channel};
}

// The largest code of a field: 2^n - 1 unsigned, 2^(n-1) - 1 signed.
constexpr int FieldMax(const Field& f) {
    return f.isSigned ? (1 << (f.bits - 1)) - 1 : static_cast<int>((1u << f.bits) - 1);
}
constexpr float FieldScale(const Field& f) {
    return static_cast<float>(FieldMax(f));
}
// The single-precision reciprocal that reading multiplies codes by.
constexpr float FieldStep(const Field& f) {
    return 1.0f / FieldScale(f);
}

constexpr ValueClass kU = ValueClass::Unsigned;
constexpr ValueClass kSC = ValueClass::SignedColor;
constexpr ValueClass kS = ValueClass::Signed;

// clang-format off
constexpr Layout kR8G8B8 = {3, kU, 3, {U(16, 8, kRed), U(8, 8, kGreen), U(0, 8, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kA8R8G8B8 = {4, kU, 4, {U(16, 8, kRed), U(8, 8, kGreen), U(0, 8, kBlue), U(24, 8, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kX8R8G8B8 = {4, kU, 3, {U(16, 8, kRed), U(8, 8, kGreen), U(0, 8, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kR5G6B5 = {2, kU, 3, {U(11, 5, kRed), U(5, 6, kGreen), U(0, 5, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kX1R5G5B5 = {2, kU, 3, {U(10, 5, kRed), U(5, 5, kGreen), U(0, 5, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kA1R5G5B5 = {2, kU, 4, {U(10, 5, kRed), U(5, 5, kGreen), U(0, 5, kBlue), U(15, 1, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kA4R4G4B4 = {2, kU, 4, {U(8, 4, kRed), U(4, 4, kGreen), U(0, 4, kBlue), U(12, 4, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kR3G3B2 = {1, kU, 3, {U(5, 3, kRed), U(2, 3, kGreen), U(0, 2, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kA8 = {1, kU, 1, {U(0, 8, kAlpha)}, {kZero, kZero, kZero, 0}, false, 0};
constexpr Layout kA8R3G3B2 = {2, kU, 4, {U(5, 3, kRed), U(2, 3, kGreen), U(0, 2, kBlue), U(8, 8, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kX4R4G4B4 = {2, kU, 3, {U(8, 4, kRed), U(4, 4, kGreen), U(0, 4, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kA2B10G10R10 = {4, kU, 4, {U(0, 10, kRed), U(10, 10, kGreen), U(20, 10, kBlue), U(30, 2, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kA8B8G8R8 = {4, kU, 4, {U(0, 8, kRed), U(8, 8, kGreen), U(16, 8, kBlue), U(24, 8, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kX8B8G8R8 = {4, kU, 3, {U(0, 8, kRed), U(8, 8, kGreen), U(16, 8, kBlue)}, {0, 1, 2, kOne}, false, 0};
constexpr Layout kG16R16 = {4, kU, 2, {U(0, 16, kRed), U(16, 16, kGreen)}, {0, 1, kOne, kOne}, false, 0};
constexpr Layout kA2R10G10B10 = {4, kU, 4, {U(20, 10, kRed), U(10, 10, kGreen), U(0, 10, kBlue), U(30, 2, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kA16B16G16R16 = {8, kU, 4, {U(0, 16, kRed), U(16, 16, kGreen), U(32, 16, kBlue), U(48, 16, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kA8P8 = {2, kU, 1, {U(8, 8, kAlpha)}, {kPaletteEntry, kPaletteEntry, kPaletteEntry, 0}, false, 3};
constexpr Layout kP8 = {1, kU, 0, {}, {kPaletteEntry, kPaletteEntry, kPaletteEntry, kPaletteEntry}, false, 4};
constexpr Layout kL8 = {1, kU, 1, {U(0, 8, kRed)}, {0, 0, 0, kOne}, true, 0};
constexpr Layout kA8L8 = {2, kU, 2, {U(0, 8, kRed), U(8, 8, kAlpha)}, {0, 0, 0, 1}, true, 0};
constexpr Layout kA4L4 = {1, kU, 2, {U(0, 4, kRed), U(4, 4, kAlpha)}, {0, 0, 0, 1}, true, 0};
constexpr Layout kV8U8 = {2, kSC, 2, {S(0, 8, kRed), S(8, 8, kGreen)}, {0, 1, kOne, kOne}, false, 0};
constexpr Layout kL6V5U5 = {2, kSC, 3, {S(0, 5, kRed), S(5, 5, kGreen), U(10, 6, kAlpha)}, {0, 1, kOne, 2}, false, 0};
constexpr Layout kX8L8V8U8 = {4, kSC, 3, {S(0, 8, kRed), S(8, 8, kGreen), U(16, 8, kAlpha)}, {0, 1, kOne, 2}, false, 0};
constexpr Layout kQ8W8V8U8 = {4, kS, 4, {S(0, 8, kRed), S(8, 8, kGreen), S(16, 8, kBlue), S(24, 8, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kV16U16 = {4, kSC, 2, {S(0, 16, kRed), S(16, 16, kGreen)}, {0, 1, kOne, kOne}, false, 0};
constexpr Layout kA2W10V10U10 = {4, kSC, 4, {S(0, 10, kRed), S(10, 10, kGreen), S(20, 10, kBlue), U(30, 2, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kL16 = {2, kU, 1, {U(0, 16, kRed)}, {0, 0, 0, kOne}, true, 0};
constexpr Layout kQ16W16V16U16 = {8, kS, 4, {S(0, 16, kRed), S(16, 16, kGreen), S(32, 16, kBlue), S(48, 16, kAlpha)}, {0, 1, 2, 3}, false, 0};
constexpr Layout kCxV8U8 = {2, kSC, 2, {S(0, 8, kRed), S(8, 8, kGreen)}, {0, 1, kComputedBlue, kOne}, false, 0};
constexpr Layout kAL16 = {4, kU, 2, {U(0, 16, kRed), U(16, 16, kAlpha)}, {0, 0, 0, 1}, true, 0};
constexpr Layout kR16 = {6, kU, 3, {U(32, 16, kRed), U(16, 16, kGreen), U(0, 16, kBlue)}, {0, 1, 2, kOne}, false, 0};
// clang-format on

// Keeps a float in int range before truncation; a NaN comes out as -limit.
constexpr float kIntLimit = 1073741824.0f;  // 2^30
inline float ClampToIntRange(float v) {
    v = v > -kIntLimit ? v : -kIntLimit;
    return v < kIntLimit ? v : kIntLimit;
}

// The code of a signed field for q = v x S + t (q within int range): the
// largest integer not above q. Truncation toward zero, as unsigned fields
// use, would move every negative q with a fraction up a code: -1.0 would
// store -126 rather than -127 in 8 bits, and no negative code read back would
// write back unchanged. Rounding down makes negative values round half up
// exactly as positive ones do.
inline int SignedCode(float q) {
    const int code = static_cast<int>(q);
    return static_cast<float>(code) > q ? code - 1 : code;
}

// The state and row preparation shared by the per-pixel formats.
class PerPixelCodec : public PixelCodec {
  protected:
    PerPixelCodec(D3DFORMAT f, ValueClass c, UINT bytes, bool withPalette) {
        format = f;
        valueClass = c;
        perPixel = true;
        bytesPerPixel = bytes;
        hasPalette = withPalette;
    }

    // Class conversion and gamma encoding, then (luminance formats) L into
    // red, then the error carried from the previous row when diffusing. The
    // caller's row is never written; the result is it or the conversion
    // buffer.
    const ColorF* PrepareRow(const ColorF* row, bool luminance) {
        const ColorF* src = BeginWrite(row);
        ColorF* buffer = conversionBuffer.get();
        if (luminance) {
            for (UINT x = 0; x < width; ++x) {
                const ColorF c = src[x];
                buffer[x] = ColorF{0.2125f * c.r + 0.7154f * c.g + 0.0721f * c.b, c.g, c.b, c.a};
            }
            src = buffer;
        }
        if (diffusionBuffer) {
            ColorF* carried = diffusionBuffer.get();
            for (UINT x = 0; x < width; ++x) {
                const ColorF c = src[x];
                const ColorF e = carried[x + 1];
                buffer[x] = ColorF{c.r + e.r, c.g + e.g, c.b + e.b, c.a + e.a};
            }
            std::fill(carried, carried + width + 2, ColorF{});
            src = buffer;
        }
        return src;
    }
};

struct NoPaletteSearch {};

// The palette search of a layout matched over 3 or 4 channels; nothing for
// the formats without a palette.
template <int Channels>
using PaletteSearchOf =
    std::conditional_t<Channels == 0, NoPaletteSearch, PaletteSearch<Channels == 0 ? 3 : Channels>>;

template <int Bytes>
using WordOf = std::conditional_t<
    (Bytes <= 1), std::uint8_t,
    std::conditional_t<(Bytes <= 2), std::uint16_t,
                       std::conditional_t<(Bytes <= 4), std::uint32_t, std::uint64_t>>>;

template <Layout L>
class PackedCodec final : public PerPixelCodec {
  public:
    explicit PackedCodec(D3DFORMAT f)
        : PerPixelCodec(f, L.valueClass, L.bytes, L.paletteChannels != 0) {}

    void ReadRow(UINT y, UINT z, ColorF* row) override {
        const BYTE* p = RowAddress(y, z);
        for (UINT x = 0; x < width; ++x, p += L.bytes) {
            const Word w = Load(p);
            ColorF c;
            if constexpr (L.paletteChannels != 0) {
                c = palette[w & 0xFF];
            }
            ReadChannel<0>(w, c);
            ReadChannel<1>(w, c);
            ReadChannel<2>(w, c);
            ReadChannel<3>(w, c);
            row[x] = c;
        }
        FinishRead(row);
    }

    void WriteRow(UINT y, UINT z, const ColorF* row) override {
        if (width == 0) {
            return;
        }
        const ColorF* src = PrepareRow(row, L.luminance);
        BYTE* p = RowAddress(y, z);
        const float* t = threshold + (y & 3) * 8 + (z & 3);
        const bool odd = (y & 1) != 0;
        if (diffusionBuffer) {
            WriteDiffused(p, odd, t, src);
        } else if (odd) {
            // Right to left: the threshold follows the writing order.
            for (UINT i = 0; i < width; ++i) {
                const UINT x = width - 1 - i;
                Store(p + static_cast<std::size_t>(x) * L.bytes, Pack(src[x], t[i & 3]));
            }
        } else {
            for (UINT x = 0; x < width; ++x) {
                Store(p + static_cast<std::size_t>(x) * L.bytes, Pack(src[x], t[x & 3]));
            }
        }
    }

  private:
    using Word = WordOf<L.bytes>;
    using FieldIndices = std::make_integer_sequence<int, L.fieldCount>;

    // The index written for a colour: the palette entry nearest to it.
    [[no_unique_address]] PaletteSearchOf<L.paletteChannels> search_;

    static Word Load(const BYTE* p) {
        Word w = 0;
        std::memcpy(&w, p, L.bytes);
        return w;
    }
    static void Store(BYTE* p, Word w) { std::memcpy(p, &w, L.bytes); }

    template <int F>
    static float Decode(Word w) {
        constexpr Field f = L.fields[F];
        constexpr std::uint32_t kMask = (1u << f.bits) - 1;
        auto x = static_cast<std::int32_t>(static_cast<std::uint32_t>(w >> f.shift) & kMask);
        if constexpr (f.isSigned) {
            constexpr std::int32_t kHalf = 1 << (f.bits - 1);
            if (x >= kHalf) {
                x -= 2 * kHalf;
            }
            // The most negative code reads like the one above it.
            x = x > -kHalf ? x : -kHalf + 1;
        }
        return static_cast<float>(x) * FieldStep(f);
    }

    template <int C>
    static void ReadChannel(Word w, ColorF& c) {
        constexpr int kSource = L.read[C];
        constexpr float ColorF::*kMember = kChannel[C];
        if constexpr (kSource >= 0) {
            c.*kMember = Decode<kSource>(w);
        } else if constexpr (kSource == kOne) {
            c.*kMember = 1.0f;
        } else if constexpr (kSource == kZero) {
            c.*kMember = 0.0f;
        } else if constexpr (kSource == kComputedBlue) {
            const float rest = 1.0f - c.r * c.r - c.g * c.g;
            c.*kMember = rest > 0.0f ? std::sqrt(rest) : 0.0f;
        }
    }

    // Quantises one field without error diffusion: v x S + t clamped, then
    // truncated (unsigned) or rounded down (signed, see SignedCode).
    template <int F>
    static Word PlainField(const ColorF& c, float t) {
        constexpr Field f = L.fields[F];
        constexpr float kScale = FieldScale(f);
        float q = c.*kChannel[f.channel] * kScale + t;
        if constexpr (f.isSigned) {
            q = q > -kScale ? q : -kScale;
            q = q < kScale ? q : kScale;
            const int code = SignedCode(q);
            return static_cast<Word>(
                static_cast<Word>(static_cast<std::uint32_t>(code) & ((1u << f.bits) - 1))
                << f.shift);
        } else {
            q = q > 0.0f ? q : 0.0f;
            q = q < kScale ? q : kScale;
            return static_cast<Word>(static_cast<Word>(static_cast<std::uint32_t>(q)) << f.shift);
        }
    }

    Word Pack(const ColorF& c, float t) {
        Word w = 0;
        if constexpr (L.paletteChannels != 0) {
            w = search_.Nearest(palette.get(), c);
        }
        [&]<int... F>(std::integer_sequence<int, F...>) {
            ((w = static_cast<Word>(w | PlainField<F>(c, t))), ...);
        }
        (FieldIndices{});
        return w;
    }

    // Quantises one field with error diffusion. The error is measured before
    // clamping; 7/16 of it goes to the next pixel, 3/16, 5/16 and 1/16 to the
    // next row behind, below and ahead of the pixel.
    template <int F>
    static Word DiffusedField(const ColorF& c, float t, float& carry, ColorF* next,
                              std::ptrdiff_t x, std::ptrdiff_t dir) {
        constexpr Field f = L.fields[F];
        constexpr float ColorF::*kMember = kChannel[f.channel];
        const float v = (c.*kMember + carry) * FieldScale(f);
        const float q = ClampToIntRange(v + t);
        int code = f.isSigned ? SignedCode(q) : static_cast<int>(q);
        const float e = (v - static_cast<float>(code)) * FieldStep(f);
        carry = 0.4375f * e;
        next[x - dir + 1].*kMember += 0.1875f * e;
        next[x + 1].*kMember += 0.3125f * e;
        next[x + dir + 1].*kMember += 0.0625f * e;
        constexpr int kMax = FieldMax(f);
        constexpr int kMin = f.isSigned ? -kMax : 0;
        code = std::clamp(code, kMin, kMax);
        return static_cast<Word>(
            static_cast<Word>(static_cast<std::uint32_t>(code) & ((1u << f.bits) - 1)) << f.shift);
    }

    void WriteDiffused(BYTE* p, bool odd, const float* t, const ColorF* src) {
        ColorF* next = diffusionBuffer.get();
        float carry[4] = {};
        const std::ptrdiff_t dir = odd ? -1 : 1;
        for (UINT i = 0; i < width; ++i) {
            const UINT x = odd ? width - 1 - i : i;
            const float threshold_i = t[i & 3];
            Word w = 0;
            if constexpr (L.paletteChannels != 0) {
                w = search_.Nearest(palette.get(), src[x]);
            }
            [&]<int... F>(std::integer_sequence<int, F...>) {
                ((w = static_cast<Word>(
                      w | DiffusedField<F>(src[x], threshold_i, carry[F], next, x, dir))),
                 ...);
            }
            (FieldIndices{});
            Store(p + static_cast<std::size_t>(x) * L.bytes, w);
        }
    }
};

// Float formats: N channels of binary16 (Half) or binary32 from red on, the
// rest filled with 1. Written without dither, scaling or clamping.
template <int N, bool Half>
class FloatCodec final : public PerPixelCodec {
  public:
    explicit FloatCodec(D3DFORMAT f)
        : PerPixelCodec(f, ValueClass::Float, N * (Half ? 2 : 4), false) {}

    void ReadRow(UINT y, UINT z, ColorF* row) override {
        const BYTE* p = RowAddress(y, z);
        if constexpr (N == 4 && !Half) {
            std::memcpy(row, p, sizeof(ColorF) * width);
        } else if constexpr (N == 4) {
            std::uint16_t halves[kChunk * 4];
            float floats[kChunk * 4];
            for (UINT x = 0; x < width; x += kChunk) {
                const UINT n = std::min<UINT>(kChunk, width - x);
                std::memcpy(halves, p + static_cast<std::size_t>(x) * 8, std::size_t{n} * 8);
                HalfToFloatArray(floats, halves, std::size_t{n} * 4);
                std::memcpy(row + x, floats, sizeof(ColorF) * n);
            }
        } else {
            for (UINT x = 0; x < width; ++x, p += N * kUnit) {
                float v[N];
                if constexpr (Half) {
                    std::uint16_t h[N];
                    std::memcpy(h, p, sizeof(h));
                    for (int c = 0; c < N; ++c) {
                        v[c] = HalfToFloat(h[c]);
                    }
                } else {
                    std::memcpy(v, p, sizeof(v));
                }
                ColorF c = {v[0], 1.0f, 1.0f, 1.0f};
                if constexpr (N > 1) {
                    c.g = v[1];
                }
                row[x] = c;
            }
        }
        FinishRead(row);
    }

    void WriteRow(UINT y, UINT z, const ColorF* row) override {
        if (width == 0) {
            return;
        }
        const ColorF* src = BeginWrite(row);
        BYTE* p = RowAddress(y, z);
        if constexpr (N == 4 && !Half) {
            std::memcpy(p, src, sizeof(ColorF) * width);
        } else if constexpr (N == 4) {
            std::uint16_t halves[kChunk * 4];
            float floats[kChunk * 4];
            for (UINT x = 0; x < width; x += kChunk) {
                const UINT n = std::min<UINT>(kChunk, width - x);
                std::memcpy(floats, src + x, sizeof(ColorF) * n);
                FloatToHalfArray(halves, floats, std::size_t{n} * 4);
                std::memcpy(p + static_cast<std::size_t>(x) * 8, halves, std::size_t{n} * 8);
            }
        } else {
            for (UINT x = 0; x < width; ++x, p += N * kUnit) {
                const float v[2] = {src[x].r, src[x].g};
                if constexpr (Half) {
                    std::uint16_t h[N];
                    for (int c = 0; c < N; ++c) {
                        h[c] = FloatToHalf(v[c]);
                    }
                    std::memcpy(p, h, sizeof(h));
                } else {
                    std::memcpy(p, v, N * sizeof(float));
                }
            }
        }
    }

  private:
    static constexpr UINT kChunk = 256;
    static constexpr int kUnit = Half ? 2 : 4;
};

using Factory = PixelCodec* (*)(D3DFORMAT);

template <typename Codec>
PixelCodec* Make(D3DFORMAT format) {
    return new (std::nothrow) Codec(format);
}

// The maker of a format's codec object; none for a format outside the table.
Factory FactoryOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8: return Make<PackedCodec<kR8G8B8>>;
        case D3DFMT_A8R8G8B8: return Make<PackedCodec<kA8R8G8B8>>;
        case D3DFMT_X8R8G8B8: return Make<PackedCodec<kX8R8G8B8>>;
        case D3DFMT_R5G6B5: return Make<PackedCodec<kR5G6B5>>;
        case D3DFMT_X1R5G5B5: return Make<PackedCodec<kX1R5G5B5>>;
        case D3DFMT_A1R5G5B5: return Make<PackedCodec<kA1R5G5B5>>;
        case D3DFMT_A4R4G4B4: return Make<PackedCodec<kA4R4G4B4>>;
        case D3DFMT_R3G3B2: return Make<PackedCodec<kR3G3B2>>;
        case D3DFMT_A8: return Make<PackedCodec<kA8>>;
        case D3DFMT_A8R3G3B2: return Make<PackedCodec<kA8R3G3B2>>;
        case D3DFMT_X4R4G4B4: return Make<PackedCodec<kX4R4G4B4>>;
        case D3DFMT_A2B10G10R10: return Make<PackedCodec<kA2B10G10R10>>;
        case D3DFMT_A8B8G8R8: return Make<PackedCodec<kA8B8G8R8>>;
        case D3DFMT_X8B8G8R8: return Make<PackedCodec<kX8B8G8R8>>;
        case D3DFMT_G16R16: return Make<PackedCodec<kG16R16>>;
        case D3DFMT_A2R10G10B10: return Make<PackedCodec<kA2R10G10B10>>;
        case D3DFMT_A16B16G16R16: return Make<PackedCodec<kA16B16G16R16>>;
        case D3DFMT_A8P8: return Make<PackedCodec<kA8P8>>;
        case D3DFMT_P8: return Make<PackedCodec<kP8>>;
        case D3DFMT_L8: return Make<PackedCodec<kL8>>;
        case D3DFMT_A8L8: return Make<PackedCodec<kA8L8>>;
        case D3DFMT_A4L4: return Make<PackedCodec<kA4L4>>;
        case D3DFMT_V8U8: return Make<PackedCodec<kV8U8>>;
        case D3DFMT_L6V5U5: return Make<PackedCodec<kL6V5U5>>;
        case D3DFMT_X8L8V8U8: return Make<PackedCodec<kX8L8V8U8>>;
        case D3DFMT_Q8W8V8U8: return Make<PackedCodec<kQ8W8V8U8>>;
        case D3DFMT_V16U16: return Make<PackedCodec<kV16U16>>;
        case D3DFMT_A2W10V10U10: return Make<PackedCodec<kA2W10V10U10>>;
        case D3DFMT_D16_LOCKABLE: return Make<PackedCodec<kL16>>;
        case D3DFMT_L16: return Make<PackedCodec<kL16>>;
        case D3DFMT_Q16W16V16U16: return Make<PackedCodec<kQ16W16V16U16>>;
        case D3DFMT_CxV8U8: return Make<PackedCodec<kCxV8U8>>;
        case D3DFMT_D32F_LOCKABLE: return Make<FloatCodec<1, false>>;
        case D3DFMT_R32F: return Make<FloatCodec<1, false>>;
        case D3DFMT_G32R32F: return Make<FloatCodec<2, false>>;
        case D3DFMT_A32B32G32R32F: return Make<FloatCodec<4, false>>;
        case D3DFMT_R16F: return Make<FloatCodec<1, true>>;
        case D3DFMT_G16R16F: return Make<FloatCodec<2, true>>;
        case D3DFMT_A16B16G16R16F: return Make<FloatCodec<4, true>>;
        default: break;
    }
    if (format == D3DFMT_PRIVATE_AL16) {
        return Make<PackedCodec<kAL16>>;
    }
    if (format == D3DFMT_PRIVATE_R16) {
        return Make<PackedCodec<kR16>>;
    }
    return nullptr;
}

}  // namespace

HRESULT CreatePerPixelCodec(D3DFORMAT format, std::unique_ptr<PixelCodec>* codec) {
    codec->reset();
    const Factory make = FactoryOf(format);
    if (make == nullptr) {
        return E_FAIL;
    }
    codec->reset(make(format));
    return *codec ? S_OK : E_OUTOFMEMORY;
}
