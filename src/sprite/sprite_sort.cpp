#include "sprite/sprite_sort.h"

namespace {

int ByIndex(std::uint32_t a, std::uint32_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

int TextureOrder::operator()(std::uint32_t a, std::uint32_t b) const {
    const auto ta = reinterpret_cast<std::uintptr_t>(textures[a]);
    const auto tb = reinterpret_cast<std::uintptr_t>(textures[b]);
    if (ta != tb) {
        return ta > tb ? -1 : 1;
    }
    return ByIndex(a, b);
}

int AscendingDepthOrder::operator()(std::uint32_t a, std::uint32_t b) const {
    if (keys[a] < keys[b]) {
        return -1;
    }
    if (keys[a] > keys[b]) {
        return 1;
    }
    return ByIndex(a, b);
}

int DescendingDepthOrder::operator()(std::uint32_t a, std::uint32_t b) const {
    if (keys[a] > keys[b]) {
        return -1;
    }
    if (keys[a] < keys[b]) {
        return 1;
    }
    return ByIndex(a, b);
}
