// A heap table for tests: counts allocations and the blocks still live, and can refuse
// allocations, to check that containers and tables leave themselves unchanged (and keep
// nothing) when memory runs out, and give back every block they took. It never resizes
// in place and scribbles over every block it frees, so that a pointer kept across a
// growth reads garbage in every build, not only under AddressSanitizer.
#pragma once

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/Heap.h"

class ScopedTestHeap {
  public:
    ScopedTestHeap() {
        allocations = live = 0;
        failAfter = -1;
        SetHeapFunctions(&kTable);
    }
    ~ScopedTestHeap() { SetHeapFunctions(nullptr); }

    // Every allocation after the next n fails (-1: never).
    void FailAfter(int n) { failAfter = n; }
    int AllocationCount() const { return allocations; }
    // Blocks taken since this heap was installed and not yet given back.
    int LiveBlocks() const { return live; }

  private:
    static inline std::atomic<int> allocations{0}, live{0}, failAfter{-1};
    // Each block carries its size in front, for the scribbling.
    static constexpr size_t kHeader = 16;
    static void* Alloc(size_t bytes) {
        const int remaining = failAfter;
        if (remaining == 0)
            return nullptr;
        if (remaining > 0)
            failAfter = remaining - 1;
        allocations++;
        auto* block = static_cast<unsigned char*>(std::malloc(bytes + kHeader));
        if (block == nullptr)
            return nullptr;
        std::memcpy(block, &bytes, sizeof bytes);
        live++;
        return block + kHeader;
    }
    static void* ResizeInPlace(void*, size_t) { return nullptr; }
    static void Free(void* block) {
        auto* start = static_cast<unsigned char*>(block) - kHeader;
        size_t bytes;
        std::memcpy(&bytes, start, sizeof bytes);
        std::memset(block, 0xEE, bytes);
        live--;
        std::free(start);
    }
    static constexpr HeapFunctions kTable = {Alloc, ResizeInPlace, Free};
};
