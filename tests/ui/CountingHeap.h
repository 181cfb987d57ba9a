// A heap table for the text table's tests: counts the blocks still live, so that a test
// can see exactly how many texts the table holds and that Free gives back every one, and
// can refuse allocations to check that a failed load keeps nothing.
#pragma once

#include <atomic>

#include "core/Heap.h"

class ScopedCountingHeap {
  public:
    ScopedCountingHeap() {
        Live().store(0);
        Remaining().store(-1);
        SetHeapFunctions(&kTable);
    }
    ~ScopedCountingHeap() { SetHeapFunctions(nullptr); }

    int LiveBlocks() const { return Live().load(); }
    // Every allocation after the next n fails (-1: never).
    void FailAfter(int n) { Remaining().store(n); }

  private:
    static std::atomic<int>& Live() {
        static std::atomic<int> live{0};
        return live;
    }
    static std::atomic<int>& Remaining() {
        static std::atomic<int> remaining{-1};
        return remaining;
    }
    static void* Alloc(size_t bytes) {
        const int remaining = Remaining().load();
        if (remaining == 0)
            return nullptr;
        if (remaining > 0)
            Remaining().store(remaining - 1);
        void* block = kPlatformHeap.Alloc(bytes);
        if (block != nullptr)
            Live().fetch_add(1);
        return block;
    }
    static void* ResizeInPlace(void* block, size_t bytes) {
        return Remaining().load() == 0 ? nullptr : kPlatformHeap.ResizeInPlace(block, bytes);
    }
    static void Free(void* block) {
        Live().fetch_sub(1);
        kPlatformHeap.Free(block);
    }
    static constexpr HeapFunctions kTable = {Alloc, ResizeInPlace, Free};
};
