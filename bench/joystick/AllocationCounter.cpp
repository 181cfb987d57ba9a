// The benchmarks' allocation counter: a replaced global operator new and a counting heap
// table; see AllocationCounter.h.
#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

std::atomic<bool> gCounting{false};
thread_local bool tCounting = false;
std::atomic<long> gAllocations{0};

namespace {
void Count() {
    if (tCounting || gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
}
void* CountedAlloc(size_t bytes) {
    Count();
    return kPlatformHeap.Alloc(bytes);
}
void* CountedResize(void* block, size_t bytes) {
    return kPlatformHeap.ResizeInPlace(block, bytes);
}
void CountedFree(void* block) {
    kPlatformHeap.Free(block);
}
}  // namespace

const HeapFunctions kCountedHeap = {CountedAlloc, CountedResize, CountedFree};

// GCC sees the malloc/free pairs through these replacements and warns of a mismatch that
// is none.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t bytes) {
    Count();
    void* p = std::malloc(bytes != 0 ? bytes : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t bytes) {
    return operator new(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    Count();
    return std::malloc(bytes != 0 ? bytes : 1);
}
void* operator new[](size_t bytes, const std::nothrow_t& tag) noexcept {
    return operator new(bytes, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
