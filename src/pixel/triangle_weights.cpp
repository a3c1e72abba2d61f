#include "pixel/triangle_weights.h"

#include <cmath>
#include <new>

#include "platform/diagnostics.h"

namespace {

// Lists beyond this many bytes are refused: far beyond any real surface, and
// small enough that no count overflows.
constexpr std::uint64_t kMaxListBytes = std::uint64_t{1} << 36;

constexpr std::uint64_t kCountBytes = 4;  // a 32-bit count
constexpr std::uint64_t kPairBytes = 8;   // a destination index and a weight

constexpr float kDropBelow = 0.00001f;

// Appends runs and weights while keeping the list within its capacity.
class ListWriter {
  public:
    ListWriter(TriangleWeights* weights, std::uint64_t capacityBytes)
        : weights_(weights), capacityBytes_(capacityBytes) {}

    bool StartRun(UINT j) {
        weights_->runStart[j] = count_;
        return Take(kCountBytes);
    }

    void EndRun(UINT j) { weights_->runStart[j + 1] = count_; }

    // Appends a finished sum unless it is small enough to drop.
    bool Append(UINT index, float sum) {
        if (!(sum > kDropBelow)) {
            return true;
        }
        if (!Take(kPairBytes)) {
            return false;
        }
        weights_->entries[count_++] = TriangleWeight{index, sum};
        return true;
    }

  private:
    bool Take(std::uint64_t bytes) {
        if (usedBytes_ + bytes > capacityBytes_) {
            ReportAssertion(__FILE__, __LINE__, "uSize <= uSizeMax");
            return false;
        }
        usedBytes_ += bytes;
        return true;
    }

    TriangleWeights* weights_;
    std::uint64_t capacityBytes_;
    std::uint64_t usedBytes_ = kCountBytes;  // the list's own count
    std::size_t count_ = 0;
};

}  // namespace

std::uint64_t TriangleWeightCapacity(UINT sourceSize, UINT destinationSize, bool wrap) {
    const float b = static_cast<float>(destinationSize) / static_cast<float>(sourceSize);
    const float pairsPerRun = std::trunc(b + 1.0f + (wrap ? 1.0f : 0.0f));
    if (!(pairsPerRun < static_cast<float>(kMaxListBytes))) {
        return 0;
    }
    const std::uint64_t perRun = 12 + 16 * static_cast<std::uint64_t>(pairsPerRun);
    if (perRun > (kMaxListBytes - 16) / sourceSize) {
        return 0;
    }
    return 16 + std::uint64_t{sourceSize} * perRun;
}

bool BuildTriangleWeights(UINT sourceSize, UINT destinationSize, bool wrap,
                          std::uint64_t capacityBytes, TriangleWeights* weights) {
    if (capacityBytes > kMaxListBytes) {
        return false;
    }
    // The capacity bounds the pairs; the counts take at least 4 bytes of it.
    const std::size_t maxPairs = static_cast<std::size_t>(capacityBytes / kPairBytes);
    weights->sourceSize = sourceSize;
    weights->entries.reset(new (std::nothrow) TriangleWeight[maxPairs > 0 ? maxPairs : 1]);
    weights->runStart.reset(new (std::nothrow) std::size_t[std::size_t{sourceSize} + 1]);
    if (!weights->entries || !weights->runStart) {
        return false;
    }

    ListWriter writer(weights, capacityBytes);
    const std::int64_t cells = destinationSize;
    const float lastCell = static_cast<float>(destinationSize);
    const float sourceEnd = static_cast<float>(sourceSize);
    const float b = static_cast<float>(destinationSize) / static_cast<float>(sourceSize);
    const float halfInverse = 0.5f / b;
    for (UINT j = 0; j < sourceSize; ++j) {
        if (!writer.StartRun(j)) {
            return false;
        }
        std::int64_t current = -1;
        float sum = 0.0f;
        for (UINT half = 0; half < 2; ++half) {
            // e .. e + 1 is the rising half (0) or the falling half (1) of the
            // tent in source positions; f .. g the same in destination ones.
            const float e = static_cast<float>(j + half) - 0.5f;
            float f = b * e;
            float g = b * (e + 1.0f);
            if (!wrap) {
                f = f > 0.0f ? f : 0.0f;
                g = g < lastCell ? g : lastCell;
            }
            for (auto m = static_cast<std::int64_t>(std::floor(f)); static_cast<float>(m) < g;
                 ++m) {
                // One wrap is enough: f >= -b / 2 >= -D / 2 and g <= b x (S + 0.5)
                // < 2 x D for S >= 1, rounding included.
                const std::int64_t index = m < 0 ? m + cells : (m >= cells ? m - cells : m);
                const float cellStart = static_cast<float>(m);
                const float cellEnd = static_cast<float>(m + 1);
                const float r = cellStart > f ? cellStart : f;
                const float t = cellEnd < g ? cellEnd : g;
                // The tent's height at the middle of the overlap r .. t.
                float v = halfInverse * (r + t) - e;
                if (!wrap) {
                    if (e < 0.0f) {
                        v = 1.0f;
                    } else if (sourceEnd <= e + 1.0f) {
                        v = 0.0f;
                    }
                }
                const float contribution = (half == 0 ? v : 1.0f - v) * (t - r);
                if (index != current) {
                    if (current >= 0 && !writer.Append(static_cast<UINT>(current), sum)) {
                        return false;
                    }
                    sum = 0.0f;
                    current = index;
                }
                sum += contribution;
            }
        }
        if (current >= 0 && !writer.Append(static_cast<UINT>(current), sum)) {
            return false;
        }
        writer.EndRun(j);
    }
    return true;
}
