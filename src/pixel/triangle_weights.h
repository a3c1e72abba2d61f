// The triangle filter's weight lists, one per axis, in scatter form: for each
// source index, the run of destination indices its pixel contributes to and
// the weight of each. Source pixel j is a tent over source positions
// j - 0.5 .. j + 1.5, rising to 1 at j + 0.5 and falling again; a weight is
// the tent's area over one destination cell, scaled to destination units.
// The tents of neighbouring pixels add up to 1 everywhere, so the weights a
// destination cell receives sum to 1, up to the dropped entries below
// 0.00001. Without wrap the outer halves of the first and last tents are
// flat at 1, so the edges keep their full weight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vellorn/win32_types.h"

struct TriangleWeight {
    UINT index;  // destination index
    float weight;
};

struct TriangleWeights {
    UINT sourceSize = 0;
    // Runs one after the other: run j is entries [runStart[j], runStart[j + 1]).
    std::unique_ptr<TriangleWeight[]> entries;
    std::unique_ptr<std::size_t[]> runStart;  // sourceSize + 1 offsets

    const TriangleWeight* RunBegin(UINT j) const { return entries.get() + runStart[j]; }
    const TriangleWeight* RunEnd(UINT j) const { return entries.get() + runStart[j + 1]; }
};

// The room in bytes a list of sourceSize runs to destinationSize cells may
// take when laid out as 32-bit counts (one for the list, one per run) and
// (index, weight) pairs of 8 bytes: 16 + S x (12 + 16 x n) with
// n = truncate(D / S + 1, plus 1 with wrap). 0 when that is beyond any list
// this library builds.
std::uint64_t TriangleWeightCapacity(UINT sourceSize, UINT destinationSize, bool wrap);

// Builds the list of one axis (both sizes non-zero). Destination indices of a
// run follow the order of their positions; with wrap a position before the
// first cell or past the last one wraps to the other end. Fails, reporting the
// failed check "uSize <= uSizeMax" on the diagnostic channel, when the list
// would take more than capacityBytes laid out as above; fails too when memory
// runs out.
bool BuildTriangleWeights(UINT sourceSize, UINT destinationSize, bool wrap,
                          std::uint64_t capacityBytes, TriangleWeights* weights);
