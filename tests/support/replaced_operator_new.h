// Replaces the global operator new and delete of a test program: every
// allocation goes through TestAllocate, which the program defines (to count
// allocations or to fail chosen ones), and memory is returned with std::free.
// Include it in exactly one file of the program.
#pragma once

#include <cstdlib>
#include <new>

// Memory of size bytes from std::malloc, or null for a failed allocation.
void* TestAllocate(std::size_t size) noexcept;

void* operator new(std::size_t size) {
    if (void* memory = TestAllocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return TestAllocate(size);
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
