#include "runner/machine/allocation_limit.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gFailAbove{0}; // 0: no limit
} // namespace

// GCC sees the replaced delete inlined next to a call of the library's new and warns of a
// mismatch; both are replaced here, as a pair.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    const std::size_t limit = gFailAbove.load(std::memory_order_relaxed);
    if (limit != 0 && size > limit) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tessivor::testing {

AllocationLimit::AllocationLimit(std::size_t bytes) { gFailAbove = bytes; }
AllocationLimit::~AllocationLimit() { gFailAbove = 0; }

} // namespace tessivor::testing
