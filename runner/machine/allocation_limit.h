#pragma once
// For tests: a test program that links allocation_limit.cpp replaces the global operator new,
// so that large allocations can fail on demand, as they would on a machine out of memory.

#include <cstddef>

namespace tessivor::testing {

/// While an instance lives, allocations larger than `bytes` throw std::bad_alloc.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t bytes);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};

} // namespace tessivor::testing
