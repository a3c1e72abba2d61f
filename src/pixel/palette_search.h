// PaletteSearch: the entry of a 256-entry palette nearest to a colour, as the
// palette writers store it, found without measuring every entry.
#pragma once

#include <cstdint>
#include <memory>

#include "pixel/color.h"

// The squared length of a difference as the palette writers measure it: red,
// green and blue, then alpha when Channels is 4, added in this order in single
// precision (Float is float, or several floats worked on at once, each
// rounded as a float). Rounding keeps it monotone in the magnitude of every
// component, which is what lets PaletteSearch bound it.
template <int Channels, typename Float>
inline Float SquaredLength(Float dr, Float dg, Float db, Float da) {
    Float d = dr * dr + dg * dg + db * db;
    if constexpr (Channels == 4) {
        d += da * da;
    }
    return d;
}

template <int Channels>
inline float PaletteDistance(const ColorF& c, const ColorF& e) {
    return SquaredLength<Channels>(c.r - e.r, c.g - e.g, c.b - e.b, c.a - e.a);
}

// Answers the index of the entry with the smallest PaletteDistance to a
// colour, the lowest index of equally near entries: bit for bit what a search
// from entry 0 that keeps only strictly nearer entries answers, for every
// colour (NaNs and infinities included).
//
// The first searches measure every entry, four at a time, which is the
// cheapest way for a few pixels. After that, colours inside the unit cube
// (where every palette entry lies) go by a grid of cells over it. A cell
// searched a second time lists its candidates: every entry whose smallest
// possible distance to a colour of the cell is no larger than the smallest of
// the entries' largest possible distances (no other entry can be nearest
// anywhere in the cell), ordered by that smallest possible distance; a cell
// with one candidate holds the answer itself. Searching a cell's list stops
// before an entry whose smallest possible distance exceeds the best distance
// found. The bounds are worked out with the same single-precision operations
// as the distance itself, so they hold exactly and no entry that could win
// (or tie) is ever passed over.
//
// When memory runs out for the grid or a cell's list, the search measures
// every entry instead; the answer is the same.
template <int Channels>
class PaletteSearch {
  public:
    PaletteSearch();
    ~PaletteSearch();
    PaletteSearch(const PaletteSearch&) = delete;
    PaletteSearch& operator=(const PaletteSearch&) = delete;

    // palette: 256 entries, the same at every call.
    std::uint8_t Nearest(const ColorF* palette, const ColorF& c);

  private:
    struct Grid;

    // Measures every entry.
    std::uint8_t NearestOfAll(const ColorF& c) const;

    // The palette by channel, taken at the first search.
    alignas(16) float entries_[4][256];
    bool loaded_ = false;
    std::unique_ptr<Grid> grid_;
    // Searches made by measuring every entry before the grid is made.
    std::uint32_t searches_ = 0;
};

extern template class PaletteSearch<3>;
extern template class PaletteSearch<4>;
