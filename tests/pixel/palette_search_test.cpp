// The palette search answers exactly what measuring every entry from index 0
// answers, for every colour: random, quantised, on exact ties between
// entries, on duplicate entries, at the edges of the unit cube and outside it.
#include "pixel/palette_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "codec_test_util.h"

namespace {

// The search as the palette writers define it: from entry 0, keeping only a
// strictly smaller squared distance.
template <int Channels>
int LinearNearest(const std::vector<ColorF>& palette, const ColorF& c) {
    float best = std::numeric_limits<float>::max();
    int index = 0;
    for (int k = 0; k < 256; ++k) {
        const float dr = c.r - palette[k].r;
        const float dg = c.g - palette[k].g;
        const float db = c.b - palette[k].b;
        float d = dr * dr + dg * dg + db * db;
        if (Channels == 4) {
            const float da = c.a - palette[k].a;
            d += da * da;
        }
        if (d < best) {
            best = d;
            index = k;
        }
    }
    return index;
}

// How many entries share the smallest distance to c.
template <int Channels>
int NearestCount(const std::vector<ColorF>& palette, const ColorF& c) {
    const float best = PaletteDistance<Channels>(c, palette[LinearNearest<Channels>(palette, c)]);
    int count = 0;
    for (const ColorF& e : palette) {
        count += PaletteDistance<Channels>(c, e) == best ? 1 : 0;
    }
    return count;
}

struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 32);
    }
    float Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
    // A multiple of 1/steps in 0..1.
    float Step(int steps) {
        return static_cast<float>(Next() % (steps + 1)) / static_cast<float>(steps);
    }
};

enum class PaletteKind {
    Random,      // bytes as a palette from an image holds them
    Lattice,     // multiples of 1/4: many exact ties between entries
    Duplicates,  // 24 colours, each at many indices
    Greys,       // a ramp: every entry on the grey axis
    White,       // the palette of a surface without one
};

std::vector<ColorF> MakePalette(PaletteKind kind, Random& random) {
    std::vector<ColorF> palette(256);
    std::vector<ColorF> few(24);
    for (ColorF& c : few) {
        c = ColorF{random.Step(4), random.Step(4), random.Step(4), random.Step(1)};
    }
    for (int k = 0; k < 256; ++k) {
        ColorF& e = palette[k];
        switch (kind) {
            case PaletteKind::Random:
                e = ColorF{random.Step(255), random.Step(255), random.Step(255), random.Step(255)};
                break;
            case PaletteKind::Lattice:
                e = ColorF{random.Step(4), random.Step(4), random.Step(4), random.Step(2)};
                break;
            case PaletteKind::Duplicates: e = few[random.Next() % few.size()]; break;
            case PaletteKind::Greys: {
                const float v = static_cast<float>(k) / 255.0f;
                e = ColorF{v, v, v, 1.0f};
                break;
            }
            case PaletteKind::White: e = ColorF{1.0f, 1.0f, 1.0f, 1.0f}; break;
        }
    }
    return palette;
}

// Colours of every sort: random, quantised to bytes, on the 1/8 lattice
// (halfway between lattice entries, so exact ties), palette entries
// themselves, channels of exactly 0 or 1, and channels outside 0..1
// (negative zero, slightly and far outside, infinities, NaN).
std::vector<ColorF> MakeColours(const std::vector<ColorF>& palette, Random& random) {
    const float inf = std::numeric_limits<float>::infinity();
    const float odd[] = {-0.0f,  -1e-7f, 1.0000001f, 1e30f,
                         -1e30f, inf,    -inf,       std::numeric_limits<float>::quiet_NaN(),
                         2.0f,   -0.5f};
    std::vector<ColorF> colours;
    for (int i = 0; i < 6000; ++i) {
        float v[4];
        const std::uint32_t sort = random.Next() % 8;
        for (float& x : v) {
            switch (sort) {
                case 0: x = random.Unit(); break;
                case 1: x = random.Step(255); break;
                case 2:
                case 3: x = random.Step(8); break;
                case 4: x = random.Next() % 2 ? 1.0f : 0.0f; break;
                case 5: x = random.Next() % 4 ? random.Step(8) : odd[random.Next() % 10]; break;
                default: x = random.Step(16); break;
            }
        }
        ColorF c = {v[0], v[1], v[2], v[3]};
        if (sort == 7) {
            c = palette[random.Next() % 256];
        }
        colours.push_back(c);
    }
    return colours;
}

template <int Channels>
void CheckEveryColour(PaletteKind kind, std::uint64_t seed) {
    Random random{seed};
    const std::vector<ColorF> palette = MakePalette(kind, random);
    const std::vector<ColorF> colours = MakeColours(palette, random);
    PaletteSearch<Channels> search;
    int ties = 0;
    int failures = 0;
    // Three passes: the first searches go before the grid is made, then
    // cells are seen once and then searched by their lists.
    for (int pass = 0; pass < 3; ++pass) {
        for (const ColorF& c : colours) {
            const int want = LinearNearest<Channels>(palette, c);
            const int got = search.Nearest(palette.data(), c);
            if (got != want && ++failures <= 10) {
                ADD_FAILURE() << "channels " << Channels << " palette " << static_cast<int>(kind)
                              << " colour (" << c.r << ", " << c.g << ", " << c.b << ", " << c.a
                              << "): " << got << " instead of " << want;
            }
            ties += pass == 0 && NearestCount<Channels>(palette, c) > 1 ? 1 : 0;
        }
    }
    EXPECT_EQ(failures, 0);
    // The colours do meet equally near entries, which only the lowest index
    // may win.
    if (kind != PaletteKind::Random && kind != PaletteKind::Greys) {
        EXPECT_GT(ties, 500) << static_cast<int>(kind);
    }
}

class PaletteSearchProperty : public ::testing::TestWithParam<PaletteKind> {};

TEST_P(PaletteSearchProperty, AnswersAsMeasuringEveryEntry) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        ASSERT_NO_FATAL_FAILURE(CheckEveryColour<3>(GetParam(), seed));
        ASSERT_NO_FATAL_FAILURE(CheckEveryColour<4>(GetParam(), seed));
    }
}

std::string PaletteName(const ::testing::TestParamInfo<PaletteKind>& info) {
    static const char* const kNames[] = {"Random", "Lattice", "Duplicates", "Greys", "White"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Palettes, PaletteSearchProperty,
                         ::testing::Values(PaletteKind::Random, PaletteKind::Lattice,
                                           PaletteKind::Duplicates, PaletteKind::Greys,
                                           PaletteKind::White),
                         PaletteName);

// Through the codecs: rows written into D3DFMT_P8 and D3DFMT_A8P8 with every
// dither store the index of the linear search for each input colour.
TEST(PaletteSearchProperty, CodecsStoreTheLinearAnswer) {
    Random random{7};
    std::vector<ColorF> lattice = MakePalette(PaletteKind::Lattice, random);
    std::vector<PALETTEENTRY> entries(256);
    for (int k = 0; k < 256; ++k) {
        const auto byte = [](float v) { return static_cast<BYTE>(v * 255.0f + 0.5f); };
        entries[k] = PALETTEENTRY{byte(lattice[k].r), byte(lattice[k].g), byte(lattice[k].b),
                                  byte(lattice[k].a)};
    }
    constexpr UINT kWidth = 1500;
    constexpr UINT kRows = 4;
    std::vector<ColorF> rows;
    for (UINT i = 0; i < kWidth * kRows / 2; ++i) {
        rows.push_back(
            ColorF{random.Step(510), random.Step(510), random.Step(510), random.Step(510)});
    }
    rows.insert(rows.end(), rows.begin(), rows.end());  // every colour searched twice

    for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8}) {
        for (int dither = 0; dither < 3; ++dither) {
            TestSurface surface(format == D3DFMT_P8 ? 1 : 2, kWidth, kRows);
            CodecOptions options;
            options.palette = entries.data();
            options.dither = dither == 1;
            options.diffusion = dither == 2;
            std::unique_ptr<PixelCodec> codec = MakeCodec(surface, format, options);
            ASSERT_NE(codec, nullptr);
            const std::vector<ColorF> palette(codec->palette.get(), codec->palette.get() + 256);
            int failures = 0;
            for (UINT y = 0; y < kRows; ++y) {
                const ColorF* row = rows.data() + y * kWidth;
                codec->WriteRow(y, 0, row);
                for (UINT x = 0; x < kWidth; ++x) {
                    const int want = format == D3DFMT_P8 ? LinearNearest<4>(palette, row[x])
                                                         : LinearNearest<3>(palette, row[x]);
                    if (surface.Pixel(x, y)[0] != want && ++failures <= 5) {
                        ADD_FAILURE()
                            << format << " dither " << dither << " at " << x << "," << y << ": "
                            << int{surface.Pixel(x, y)[0]} << " instead of " << want;
                    }
                }
            }
            EXPECT_EQ(failures, 0);
        }
    }
}

}  // namespace
