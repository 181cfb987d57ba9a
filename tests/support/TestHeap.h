// A heap table for tests: counts allocations and can refuse them, to check that the
// containers leave themselves unchanged when memory runs out.
#pragma once

#include <atomic>

#include "core/Heap.h"

class ScopedTestHeap {
  public:
    ScopedTestHeap() {
        Allocations().store(0);
        FailAfter().store(-1);
        SetHeapFunctions(&kTable);
    }
    ~ScopedTestHeap() { SetHeapFunctions(nullptr); }

    // Every allocation after the next n fails (-1: never).
    void FailAfter(int n) { FailAfter().store(n); }
    int AllocationCount() const { return Allocations().load(); }

  private:
    static std::atomic<int>& Allocations() {
        static std::atomic<int> count{0};
        return count;
    }
    static std::atomic<int>& FailAfter() {
        static std::atomic<int> remaining{-1};
        return remaining;
    }
    static void* Alloc(size_t bytes) {
        int remaining = FailAfter().load();
        if (remaining == 0)
            return nullptr;
        if (remaining > 0)
            FailAfter().store(remaining - 1);
        Allocations().fetch_add(1);
        return kPlatformHeap.Alloc(bytes);
    }
    static void* ResizeInPlace(void* block, size_t bytes) {
        return FailAfter().load() == 0 ? nullptr : kPlatformHeap.ResizeInPlace(block, bytes);
    }
    static void Free(void* block) { kPlatformHeap.Free(block); }
    static constexpr HeapFunctions kTable = {Alloc, ResizeInPlace, Free};
};
