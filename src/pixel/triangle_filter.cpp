// The triangle filter in scatter form: every source row (2-D) or slice (3-D)
// is read once and added, weighted, into the accumulators of the destination
// rows or slices it covers. An accumulator is written out, clamped to the
// source's value range, as soon as the last source row or slice naming it has
// been added, and its buffer goes back to a free list for the next one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "pixel/resampling_filters.h"
#include "pixel/resampling_support.h"
#include "pixel/triangle_weights.h"
#include "vellorn/result_codes.h"

namespace {

// More destination rows than this for one source row are refused.
constexpr std::size_t kMaxTargets = std::size_t{1} << 32;

bool BuildAxis(UINT sourceSize, UINT destinationSize, bool wrap, TriangleWeights* weights) {
    const std::uint64_t capacity = TriangleWeightCapacity(sourceSize, destinationSize, wrap);
    return capacity != 0 &&
           BuildTriangleWeights(sourceSize, destinationSize, wrap, capacity, weights);
}

// The longest run of a list: how many destination entries one source index
// names at most.
std::size_t LongestRun(const TriangleWeights& weights) {
    std::size_t longest = 0;
    for (UINT j = 0; j < weights.sourceSize; ++j) {
        longest = std::max(longest, weights.runStart[j + 1] - weights.runStart[j]);
    }
    return longest;
}

// One accumulator per destination row (2-D) or slice (3-D) that has begun and
// has not been written yet, with the number of source entries still to come
// for each; written accumulators go to a free list for reuse.
class Accumulators {
  public:
    // Each accumulator holds rows x width colours. False when memory runs out.
    bool Init(UINT targets, UINT width, UINT rows, const TriangleWeights& weights) {
        width_ = width;
        rows_ = rows;
        pending_.reset(new (std::nothrow) UINT[targets]());
        live_.reset(new (std::nothrow) ColorF*[targets]());
        free_.reset(new (std::nothrow) ColorF*[targets]);
        owned_.reset(new (std::nothrow) std::unique_ptr<ColorF[]>[targets]);
        if (!pending_ || !live_ || !free_ || !owned_) {
            return false;
        }
        for (UINT j = 0; j < weights.sourceSize; ++j) {
            for (const TriangleWeight* e = weights.RunBegin(j); e != weights.RunEnd(j); ++e) {
                ++pending_[e->index];
            }
        }
        return true;
    }

    // Source entries still to come for target; 0 before the first one means
    // that no source entry names it.
    UINT Pending(UINT target) const { return pending_[target]; }

    // The accumulator of target; a zeroed one from the free list or newly
    // made when target has none yet. nullptr when memory runs out.
    ColorF* Acquire(UINT target) {
        if (live_[target] != nullptr) {
            return live_[target];
        }
        ColorF* buffer = nullptr;
        if (freeCount_ > 0) {
            buffer = free_[--freeCount_];
            std::fill_n(buffer, std::size_t{width_} * rows_, ColorF{});
        } else {
            std::unique_ptr<ColorF[]> made = NewColorRows(width_, rows_);
            if (!made) {
                return nullptr;
            }
            buffer = made.get();
            owned_[ownedCount_++] = std::move(made);
        }
        live_[target] = buffer;
        return buffer;
    }

    ColorF* Live(UINT target) const { return live_[target]; }

    // Counts one entry of target as added. Returns its accumulator when that
    // was the last entry, else nullptr.
    ColorF* Finish(UINT target) { return --pending_[target] == 0 ? live_[target] : nullptr; }

    // Puts target's written accumulator on the free list.
    void Release(UINT target) {
        free_[freeCount_++] = live_[target];
        live_[target] = nullptr;
    }

  private:
    UINT width_ = 0;
    UINT rows_ = 0;
    std::unique_ptr<UINT[]> pending_;
    std::unique_ptr<ColorF*[]> live_;
    std::unique_ptr<ColorF*[]> free_;
    std::size_t freeCount_ = 0;
    std::unique_ptr<std::unique_ptr<ColorF[]>[]> owned_;
    std::size_t ownedCount_ = 0;
};

// A destination row that one source row adds into, with the weight of the
// outer axes (wy in 2-D, wz x wy in 3-D).
struct Target {
    ColorF* row;
    float weight;
};

// acc[c] += (weight x wx) x source[x] for every source pixel x, every target
// and every (c, wx) of x's run, in that order.
void ScatterRow(const ColorF* source, const TriangleWeights& weightsX, const Target* targets,
                std::size_t targetCount) {
    for (UINT x = 0; x < weightsX.sourceSize; ++x) {
        const ColorF s = source[x];
        const TriangleWeight* const begin = weightsX.RunBegin(x);
        const TriangleWeight* const end = weightsX.RunEnd(x);
        for (std::size_t k = 0; k < targetCount; ++k) {
            ColorF* const row = targets[k].row;
            const float outer = targets[k].weight;
            for (const TriangleWeight* e = begin; e != end; ++e) {
                const float w = outer * e->weight;
                ColorF& a = row[e->index];
                a.r += w * s.r;
                a.g += w * s.g;
                a.b += w * s.b;
                a.a += w * s.a;
            }
        }
    }
}

// Clamps rowCount rows of accumulator to valueClass and writes them as rows
// rowBegin.. of destination slice z.
void WriteFinished(PixelCodec& destination, ValueClass valueClass, ColorF* accumulator,
                   UINT rowBegin, UINT rowCount, UINT z) {
    for (UINT r = 0; r < rowCount; ++r) {
        ColorF* const row = accumulator + std::size_t{r} * destination.width;
        ClampToClass(valueClass, row, destination.width);
        destination.WriteRow(rowBegin + r, z, row);
    }
}

// The weight lists of the axes and the buffers every pass needs.
struct TrianglePass {
    TriangleWeights x;
    TriangleWeights y;
    TriangleWeights z;
    Accumulators accumulators;
    std::unique_ptr<ColorF[]> sourceRow;
    std::unique_ptr<Target[]> targets;
};

// Builds the lists (z only in 3-D) and the buffers: E_FAIL for an empty
// source or a list that cannot be built, E_OUTOFMEMORY for a buffer.
HRESULT PrepareTriangle(const PixelCodec& source, const PixelCodec& destination, DWORD filter,
                        bool volume, TrianglePass* pass) {
    if (!HasPixels(source)) {
        return E_FAIL;  // nothing to sample
    }
    if (!BuildAxis(source.width, destination.width, WrapsAlong(filter, D3DX_FILTER_MIRROR_U),
                   &pass->x) ||
        !BuildAxis(source.height, destination.height, WrapsAlong(filter, D3DX_FILTER_MIRROR_V),
                   &pass->y) ||
        (volume && !BuildAxis(source.depth, destination.depth,
                              WrapsAlong(filter, D3DX_FILTER_MIRROR_W), &pass->z))) {
        return E_FAIL;
    }
    const bool accumulatorsReady =
        volume ? pass->accumulators.Init(destination.depth, destination.width, destination.height,
                                         pass->z)
               : pass->accumulators.Init(destination.height, destination.width, 1, pass->y);
    // A source row adds into every (slice, row) pair its runs name.
    const std::size_t rowRun = std::max<std::size_t>(LongestRun(pass->y), 1);
    const std::size_t sliceRun = volume ? std::max<std::size_t>(LongestRun(pass->z), 1) : 1;
    if (rowRun > kMaxTargets / sliceRun) {
        return E_OUTOFMEMORY;
    }
    pass->targets.reset(new (std::nothrow) Target[rowRun * sliceRun]);
    pass->sourceRow = NewColorRows(source.width);
    return accumulatorsReady && pass->targets && pass->sourceRow ? S_OK : E_OUTOFMEMORY;
}

// Writes zero rows for every destination row (2-D) or slice (3-D) that no
// source entry names: only possible when all its weights were dropped, at
// reductions by a factor of about 100000.
HRESULT WriteUnnamed(PixelCodec& destination, Accumulators& accumulators, bool volume) {
    const UINT targets = volume ? destination.depth : destination.height;
    for (UINT t = 0; t < targets; ++t) {
        if (accumulators.Pending(t) != 0) {
            continue;
        }
        ColorF* const zero = accumulators.Acquire(t);
        if (zero == nullptr) {
            return E_OUTOFMEMORY;
        }
        for (UINT r = 0; r < (volume ? destination.height : 1); ++r) {
            destination.WriteRow(volume ? r : t, volume ? t : 0, zero);
        }
        accumulators.Release(t);
    }
    return S_OK;
}

}  // namespace

HRESULT FilterTriangle2D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (source.depth != 1 || destination.depth != 1) {
        return E_FAIL;
    }
    TrianglePass pass;
    HRESULT hr = PrepareTriangle(source, destination, filter, false, &pass);
    if (SUCCEEDED(hr)) {
        hr = WriteUnnamed(destination, pass.accumulators, false);
    }
    if (FAILED(hr)) {
        return hr;
    }
    Accumulators& accumulators = pass.accumulators;
    for (UINT j = 0; j < source.height; ++j) {
        const TriangleWeight* const begin = pass.y.RunBegin(j);
        const TriangleWeight* const end = pass.y.RunEnd(j);
        std::size_t count = 0;
        for (const TriangleWeight* e = begin; e != end; ++e) {
            ColorF* const row = accumulators.Acquire(e->index);
            if (row == nullptr) {
                return E_OUTOFMEMORY;
            }
            pass.targets[count++] = Target{row, e->weight};
        }
        source.ReadRow(j, 0, pass.sourceRow.get());
        ScatterRow(pass.sourceRow.get(), pass.x, pass.targets.get(), count);
        for (const TriangleWeight* e = begin; e != end; ++e) {
            if (ColorF* const done = accumulators.Finish(e->index)) {
                WriteFinished(destination, source.valueClass, done, e->index, 1, 0);
                accumulators.Release(e->index);
            }
        }
    }
    return S_OK;
}

HRESULT FilterTriangle3D(PixelCodec& source, PixelCodec& destination, DWORD filter) {
    if (!HasPixels(destination)) {
        return S_OK;
    }
    TrianglePass pass;
    HRESULT hr = PrepareTriangle(source, destination, filter, true, &pass);
    if (SUCCEEDED(hr)) {
        hr = WriteUnnamed(destination, pass.accumulators, true);
    }
    if (FAILED(hr)) {
        return hr;
    }
    Accumulators& accumulators = pass.accumulators;
    const std::size_t rowStride = destination.width;
    for (UINT k = 0; k < source.depth; ++k) {
        const TriangleWeight* const sliceBegin = pass.z.RunBegin(k);
        const TriangleWeight* const sliceEnd = pass.z.RunEnd(k);
        for (const TriangleWeight* s = sliceBegin; s != sliceEnd; ++s) {
            if (accumulators.Acquire(s->index) == nullptr) {
                return E_OUTOFMEMORY;
            }
        }
        for (UINT j = 0; j < source.height; ++j) {
            std::size_t count = 0;
            for (const TriangleWeight* s = sliceBegin; s != sliceEnd; ++s) {
                ColorF* const slice = accumulators.Live(s->index);
                for (const TriangleWeight* e = pass.y.RunBegin(j); e != pass.y.RunEnd(j); ++e) {
                    pass.targets[count++] =
                        Target{slice + e->index * rowStride, s->weight * e->weight};
                }
            }
            source.ReadRow(j, k, pass.sourceRow.get());
            ScatterRow(pass.sourceRow.get(), pass.x, pass.targets.get(), count);
        }
        for (const TriangleWeight* s = sliceBegin; s != sliceEnd; ++s) {
            if (ColorF* const done = accumulators.Finish(s->index)) {
                WriteFinished(destination, source.valueClass, done, 0, destination.height,
                              s->index);
                accumulators.Release(s->index);
            }
        }
    }
    return S_OK;
}
