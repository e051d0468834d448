// Replaces the global operator new and delete so the fuzz targets can cap one run's memory.

#include "fuzz/fuzz_host.h"

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace tessivor::fuzz {
namespace {

// Only the fuzz target's own thread allocates while a budget is armed; libFuzzer's allocations
// outside a run are never counted.
bool armed = false;
std::size_t limit = 0;
std::size_t used = 0;
bool refused = false;

void* allocate(std::size_t size) {
    if (armed && (size > limit || used > limit - size)) {
        refused = true;
        return nullptr;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p && armed) used += malloc_usable_size(p);
    return p;
}

void release(void* p) {
    if (!p) return;
    if (armed) {
        const std::size_t size = malloc_usable_size(p);
        used = size > used ? 0 : used - size;
    }
    std::free(p);
}

} // namespace

MemoryBudget::MemoryBudget(std::size_t bytes) {
    limit = bytes;
    used = 0;
    refused = false;
    armed = true;
}

bool MemoryBudget::exceeded() { return refused; }

MemoryBudget::~MemoryBudget() { armed = false; }

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace tessivor::fuzz

void* operator new(std::size_t size) {
    if (void* p = tessivor::fuzz::allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return tessivor::fuzz::allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return tessivor::fuzz::allocate(size);
}
void operator delete(void* p) noexcept { tessivor::fuzz::release(p); }
void operator delete[](void* p) noexcept { tessivor::fuzz::release(p); }
void operator delete(void* p, std::size_t) noexcept { tessivor::fuzz::release(p); }
void operator delete[](void* p, std::size_t) noexcept { tessivor::fuzz::release(p); }
