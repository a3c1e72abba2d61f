#include "pixel/palette_search.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

// Ranges per axis: red, green and blue are split finer than alpha, which in
// most images and palettes takes few values. Besides the ranges every axis
// has a cell for exactly 0 and one for exactly 1, the most common values,
// whose bounds are tight.
constexpr int kColourRanges = 32;
constexpr int kAlphaRanges = 4;

// Searches made by measuring every entry before the grid pays for itself.
constexpr std::uint32_t kSearchesBeforeGrid = 1024;

// What the grid holds per cell: kUnseen until the cell is first searched,
// kSeenOnce after that first search (which measures every entry: a list pays
// only for a cell that is searched again); then kAnswer | index when one
// entry is nearest for every colour of the cell, else kFirstList + the offset
// of the cell's list in the pool; kNoList when memory ran out for the list.
constexpr std::uint32_t kUnseen = 0;
constexpr std::uint32_t kSeenOnce = 1;
constexpr std::uint32_t kFirstList = 2;
constexpr std::uint32_t kAnswer = 0x80000000u;
constexpr std::uint32_t kNoList = std::numeric_limits<std::uint32_t>::max();

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kLargest = std::numeric_limits<float>::max();

// Four floats (or indices) worked on at once; every lane rounds exactly as a
// single float operation does.
constexpr int kLanes = 4;
using Lanes = float __attribute__((vector_size(kLanes * sizeof(float))));
using IndexLanes = std::int32_t __attribute__((vector_size(kLanes * sizeof(std::int32_t))));

Lanes Max(Lanes a, Lanes b) {
    return a > b ? a : b;
}

Lanes Min(Lanes a, Lanes b) {
    return a < b ? a : b;
}

Lanes LoadLanes(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

// Candidates measured between two checks for the end of a list.
constexpr std::uint32_t kGroup = 4;

struct Candidate {
    float lower;  // the smallest distance any colour of the cell can have to it
    std::uint32_t index;
};

}  // namespace

template <int Channels>
struct PaletteSearch<Channels>::Grid {
    static constexpr int kAxes = Channels;
    static constexpr int kRanges[4] = {kColourRanges, kColourRanges, kColourRanges, kAlphaRanges};
    static constexpr int Slots(int axis) { return kRanges[axis] + 2; }
    static constexpr int kCells = Slots(0) * Slots(1) * Slots(2) * (Channels == 4 ? Slots(3) : 1);

    // The cell of c, or -1 when a channel searched lies outside 0..1 (or is
    // a NaN).
    static int CellOf(const ColorF& c) {
        const float v[4] = {c.r, c.g, c.b, c.a};
        bool inside = true;
#pragma GCC unroll 4
        for (int axis = 0; axis < kAxes; ++axis) {
            inside = inside && v[axis] >= 0.0f && v[axis] <= 1.0f;
        }
        if (!inside) {
            return -1;
        }
        // Alpha (the last axis) varies slowest: colours of one alpha, the
        // common case, use one compact part of the grid.
        int cell = 0;
#pragma GCC unroll 4
        for (int axis = kAxes - 1; axis >= 0; --axis) {
            // The range count n is a power of two, so v x n is exact and v
            // lies in [i / n, (i + 1) / n] for i = truncate(v x n); that is
            // slot i + 1, except that 0 has slot 0 and 1 (i = n) slot n + 1.
            const int n = kRanges[axis];
            const int i = static_cast<int>(v[axis] * static_cast<float>(n));
            cell = cell * Slots(axis) + i + (v[axis] != 0.0f ? 1 : 0);
        }
        return cell;
    }

    // Lists the candidates of a cell; false when memory runs out for them.
    bool MakeList(const float (&entries)[4][256], int cell) {
        float lo[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        float hi[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int axis = 0, rest = cell; axis < kAxes; ++axis) {
            const int n = kRanges[axis];
            const int slot = rest % Slots(axis);
            rest /= Slots(axis);
            if (slot == n + 1) {
                lo[axis] = hi[axis] = 1.0f;
            } else if (slot != 0) {
                const float step = 1.0f / static_cast<float>(n);
                lo[axis] = static_cast<float>(slot - 1) * step;
                hi[axis] = static_cast<float>(slot) * step;
            }
        }

        // For a colour v in [lo, hi] and an entry e, the difference v - e
        // rounds to a magnitude between those of the nearest and the farthest
        // edge (rounding is monotone), so SquaredLength over the nearest
        // edges is a lower and over the farthest an upper bound of the
        // distance, exactly as computed.
        alignas(16) float lower[256];
        Lanes upper = Lanes{} + kInfinity;
        for (int k = 0; k < 256; k += kLanes) {
            Lanes nearest[4];
            Lanes farthest[4];
#pragma GCC unroll 4
            for (int axis = 0; axis < 4; ++axis) {
                const Lanes e = LoadLanes(&entries[axis][k]);
                const Lanes below = lo[axis] - e;
                const Lanes above = e - hi[axis];
                nearest[axis] = Max(Max(below, above), Lanes{});
                farthest[axis] = Max(hi[axis] - e, e - lo[axis]);
            }
            const Lanes low =
                SquaredLength<Channels>(nearest[0], nearest[1], nearest[2], nearest[3]);
            std::memcpy(&lower[k], &low, sizeof(low));
            upper = Min(
                upper, SquaredLength<Channels>(farthest[0], farthest[1], farthest[2], farthest[3]));
        }
        float bestUpper = upper[0];
        for (int lane = 1; lane < kLanes; ++lane) {
            bestUpper = std::min(bestUpper, upper[lane]);
        }

        // The winner for any colour of the cell is no farther than bestUpper,
        // so entries that cannot come that near are left out.
        Candidate list[256 + kGroup];
        std::uint32_t count = 0;
        for (int k = 0; k < 256; ++k) {
            list[count] = Candidate{lower[k], static_cast<std::uint32_t>(k)};
            count += lower[k] <= bestUpper ? 1 : 0;
        }
        if (count == 1) {
            cells[cell] = kAnswer | list[0].index;
            return true;
        }
        std::sort(list, list + count, [](const Candidate& a, const Candidate& b) {
            return a.lower < b.lower || (a.lower == b.lower && a.index < b.index);
        });
        // Lists are searched by groups of kGroup; the last group is filled up
        // with the first candidate again, which cannot change the answer, and
        // one more entry that is never near enough ends the list.
        const Candidate filler = {kInfinity, list[0].index};
        while (count % kGroup != 0) {
            list[count++] = filler;
        }
        list[count++] = filler;

        if (!Reserve(count)) {
            return false;
        }
        std::copy(list, list + count, pool.get() + used);
        cells[cell] = kFirstList + static_cast<std::uint32_t>(used);
        used += count;
        return true;
    }

    // Room for count more candidates in the pool, which grows by doubling.
    bool Reserve(std::size_t count) {
        if (used + count <= capacity) {
            return true;
        }
        const std::size_t grown = std::max<std::size_t>(2 * capacity, 4096);
        if (grown >= kAnswer - kFirstList) {
            return false;
        }
        std::unique_ptr<Candidate[]> larger(new (std::nothrow) Candidate[grown]);
        if (!larger) {
            return false;
        }
        std::copy(pool.get(), pool.get() + used, larger.get());
        pool = std::move(larger);
        capacity = grown;
        return true;
    }

    // Per cell: kUnseen, kSeenOnce, kAnswer | index, kFirstList + the offset
    // of its list in pool, or kNoList.
    std::uint32_t cells[kCells] = {};
    std::unique_ptr<Candidate[]> pool;
    std::size_t used = 0;
    std::size_t capacity = 0;
};

template <int Channels>
PaletteSearch<Channels>::PaletteSearch() = default;

template <int Channels>
PaletteSearch<Channels>::~PaletteSearch() = default;

template <int Channels>
std::uint8_t PaletteSearch<Channels>::NearestOfAll(const ColorF& c) const {
    // Lane j keeps the first nearest of entries j, j + 4, j + 8, ... as a
    // search from entry 0 would: only a strictly nearer entry replaces the
    // best, which starts at the largest float (a NaN distance never wins).
    const Lanes cr = Lanes{} + c.r;
    const Lanes cg = Lanes{} + c.g;
    const Lanes cb = Lanes{} + c.b;
    const Lanes ca = Lanes{} + c.a;
    Lanes best = Lanes{} + kLargest;
    IndexLanes bestIndex = IndexLanes{} + 256;
    IndexLanes index = {0, 1, 2, 3};
    for (int k = 0; k < 256; k += kLanes) {
        const Lanes d = SquaredLength<Channels>(
            cr - LoadLanes(&entries_[0][k]), cg - LoadLanes(&entries_[1][k]),
            cb - LoadLanes(&entries_[2][k]), ca - LoadLanes(&entries_[3][k]));
        const IndexLanes nearer = d < best;
        best = nearer ? d : best;
        bestIndex = nearer ? index : bestIndex;
        index += kLanes;
    }
    // The smallest (distance, index) of the lanes; entry 0 when no distance
    // was below the largest float.
    float distance = kLargest;
    std::int32_t nearest = 256;
    for (int lane = 0; lane < kLanes; ++lane) {
        if (best[lane] < distance || (best[lane] == distance && bestIndex[lane] < nearest)) {
            distance = best[lane];
            nearest = bestIndex[lane];
        }
    }
    return static_cast<std::uint8_t>(nearest == 256 ? 0 : nearest);
}

template <int Channels>
std::uint8_t PaletteSearch<Channels>::Nearest(const ColorF* palette, const ColorF& c) {
    if (!loaded_) {
        for (int k = 0; k < 256; ++k) {
            entries_[0][k] = palette[k].r;
            entries_[1][k] = palette[k].g;
            entries_[2][k] = palette[k].b;
            entries_[3][k] = palette[k].a;
        }
        loaded_ = true;
    }
    if (!grid_) {
        if (searches_ < kSearchesBeforeGrid) {
            ++searches_;
            return NearestOfAll(c);
        }
        grid_.reset(new (std::nothrow) Grid);
        if (!grid_) {
            // Try again after as many searches.
            searches_ = 0;
            return NearestOfAll(c);
        }
    }
    const int cell = Grid::CellOf(c);
    if (cell < 0) {
        return NearestOfAll(c);
    }
    std::uint32_t& list = grid_->cells[cell];
    if (list <= kSeenOnce) {
        if (list == kUnseen) {
            list = kSeenOnce;
            return NearestOfAll(c);
        }
        if (!grid_->MakeList(entries_, cell)) {
            list = kNoList;
        }
    }
    if (list >= kAnswer) {
        return list != kNoList ? static_cast<std::uint8_t>(list) : NearestOfAll(c);
    }

    // The smallest (distance, index) of the list: the entry a search of
    // every entry keeps, since that entry is on the list. Distances are not
    // negative, so their bits order like the distances, and one 64-bit key
    // orders by distance, then index. The search stops before a group whose
    // first candidate cannot come as near as the best one found; the
    // infinite bound at the end of the list guarantees that it stops.
    const Candidate* k = grid_->pool.get() + (list - kFirstList);
    std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
    for (;; k += kGroup) {
#pragma GCC unroll 4
        for (std::uint32_t i = 0; i < kGroup; ++i) {
            const float d = PaletteDistance<Channels>(c, palette[k[i].index]);
            const std::uint64_t key =
                std::uint64_t{std::bit_cast<std::uint32_t>(d)} << 32 | k[i].index;
            best = std::min(best, key);
        }
        if (k[kGroup].lower > std::bit_cast<float>(static_cast<std::uint32_t>(best >> 32))) {
            break;
        }
    }
    return static_cast<std::uint8_t>(best);
}

template class PaletteSearch<3>;
template class PaletteSearch<4>;
