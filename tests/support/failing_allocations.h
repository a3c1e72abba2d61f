// Fails chosen allocations of a test program: replaces the global operator
// new (see replaced_operator_new.h) with one that counts every allocation and
// fails the one after allocationFaults.allowed more have succeeded, or every
// one while allocationFaults.failEvery is set. Include it in exactly one file
// of the program.
#pragma once

#include <cstdlib>

#include "support/replaced_operator_new.h"

struct AllocationFaults {
    // Allocations still to succeed before the one that fails; negative: none
    // fails.
    long allowed = -1;
    bool failEvery = false;
    // Set when an allocation has been failed.
    bool injected = false;
    // Allocations asked for, failed ones included.
    long count = 0;
};

inline AllocationFaults allocationFaults;

void* TestAllocate(std::size_t size) noexcept {
    ++allocationFaults.count;
    if (allocationFaults.failEvery || allocationFaults.allowed == 0) {
        if (!allocationFaults.failEvery) {
            allocationFaults.allowed = -1;
        }
        allocationFaults.injected = true;
        return nullptr;
    }
    if (allocationFaults.allowed > 0) {
        --allocationFaults.allowed;
    }
    return std::malloc(size == 0 ? 1 : size);
}
