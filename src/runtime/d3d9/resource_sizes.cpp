#include "runtime/d3d9/resource_sizes.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();

std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > kSaturated / a ? kSaturated : a * b;
}

std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return b > kSaturated - a ? kSaturated : a + b;
}

}  // namespace

std::uint64_t RowBytesOf(const FormatLayout& layout, std::uint64_t width) {
    const std::uint64_t units = layout.block ? width / 4 + (width % 4 != 0 ? 1 : 0) : width;
    return SaturatingProduct(units, layout.bytes);
}

std::uint64_t StorageRowsOf(const FormatLayout& layout, std::uint64_t height) {
    return layout.block ? height / 4 + (height % 4 != 0 ? 1 : 0) : height;
}

std::uint64_t LevelBytesOf(const FormatLayout& layout, UINT width, UINT height, UINT depth) {
    const std::uint64_t slice =
        SaturatingProduct(RowBytesOf(layout, width), StorageRowsOf(layout, height));
    return SaturatingProduct(slice, depth);
}

std::uint64_t TextureBytesOf(const FormatLayout& layout, const TextureRequest& request,
                             UINT levels) {
    std::uint64_t total = 0;
    for (UINT level = 0; level < levels; ++level) {
        total = SaturatingSum(total, LevelBytesOf(layout, LevelExtent(request.width, level),
                                                  LevelExtent(request.height, level),
                                                  LevelExtent(request.depth, level)));
    }
    return request.kind == TextureKind::Cube ? SaturatingProduct(total, 6) : total;
}

std::uint64_t AllocationLimitOf(const DeviceProfile& profile) {
    return std::min<std::uint64_t>(profile.maxResourceBytes, std::numeric_limits<INT>::max());
}

bool LevelSizeOf(const FormatLayout& layout, UINT width, UINT height, UINT depth,
                 std::uint64_t limit, LevelSize* size) {
    const std::uint64_t bytes = LevelBytesOf(layout, width, height, depth);
    if (width == 0 || height == 0 || depth == 0 ||
        bytes > std::min<std::uint64_t>(limit, std::numeric_limits<INT>::max())) {
        return false;
    }
    // Every factor of bytes is at most bytes, so each fits 32 bits.
    const std::uint64_t rowPitch = RowBytesOf(layout, width);
    const std::uint64_t rows = StorageRowsOf(layout, height);
    *size = {static_cast<UINT>(rowPitch), static_cast<UINT>(rows),
             static_cast<UINT>(rowPitch * rows), bytes};
    return true;
}

HRESULT OutOfMemoryIn(D3DPOOL pool) {
    return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;
}

HRESULT CheckAllocation(const DeviceProfile& profile, D3DPOOL pool, std::uint64_t bytes) {
    return bytes > AllocationLimitOf(profile) ? OutOfMemoryIn(pool) : S_OK;
}
