// Row buffers of the codecs, allocated without throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

// count value-initialised elements (zero for colours and bytes); none when
// memory runs out or count elements are more than one allocation can address.
// count is taken in 64 bits so that a width plus a margin cannot wrap.
template <typename T>
std::unique_ptr<T[]> NewRowBuffer(std::uint64_t count) {
    constexpr std::uint64_t kMaxCount =
        static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T);
    if (count > kMaxCount) {
        return nullptr;
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]());
}
