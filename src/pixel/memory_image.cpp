#include "pixel/memory_image.h"

#include <cstdint>
#include <limits>

#include "pixel/format_groups.h"

namespace {

// No image a process can address spans more bytes: 2^47, the user address
// space of the 64-bit platforms with 48-bit virtual addresses.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{1} << 47;

}  // namespace

bool DescribeMemoryImage(const void* data, D3DFORMAT format, UINT rowPitch, UINT slicePitch,
                         const PixelBox& box, DWORD colorKey, const PALETTEENTRY* palette,
                         SurfaceDesc* desc) {
    if (box.left > box.right || box.top > box.bottom || box.front > box.back) {
        return false;
    }
    // Every byte the box reaches lies below back x slice pitch + bottom x row
    // pitch + right x the widest texel; each product fits in 64 bits.
    const std::uint64_t slices = std::uint64_t{box.back} * slicePitch;
    const std::uint64_t rows = std::uint64_t{box.bottom} * rowPitch;
    const std::uint64_t columns = std::uint64_t{box.right} * kWidestTexelBytes;
    std::uint64_t reach = 0;
    if (__builtin_add_overflow(slices, rows, &reach) ||
        __builtin_add_overflow(reach, columns, &reach)) {
        return false;
    }
    const std::uint64_t start = reinterpret_cast<std::uintptr_t>(data);
    const std::uint64_t room = std::numeric_limits<std::uintptr_t>::max() - start;
    if (reach > room || reach > kMaxImageBytes) {
        return false;
    }
    *desc = {};
    // The source side of a conversion is only read.
    desc->data = const_cast<void*>(data);
    desc->format = format;
    desc->rowPitch = rowPitch;
    desc->slicePitch = slicePitch;
    desc->extent = box;
    desc->box = box;
    desc->colorKey = colorKey;
    desc->palette = palette;
    return true;
}
