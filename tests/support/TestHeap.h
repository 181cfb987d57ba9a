// A heap table for tests: counts allocations and the blocks still live, and can refuse
// allocations, to check that containers and tables leave themselves unchanged (and keep
// nothing) when memory runs out, and give back every block they took.
#pragma once

#include <atomic>

#include "core/Heap.h"

class ScopedTestHeap {
public:
    ScopedTestHeap() {
        Allocations().store(0);
        Live().store(0);
        FailAfter().store(-1);
        SetHeapFunctions(&kTable);
    }
    ~ScopedTestHeap() { SetHeapFunctions(nullptr); }

    // Every allocation after the next n fails (-1: never).
    void FailAfter(int n) { FailAfter().store(n); }
    int AllocationCount() const { return Allocations().load(); }
    // Blocks taken since this heap was installed and not yet given back.
    int LiveBlocks() const { return Live().load(); }

private:
    static std::atomic<int>& Allocations() {
        static std::atomic<int> count{0};
        return count;
    }
    static std::atomic<int>& Live() {
        static std::atomic<int> live{0};
        return live;
    }
    static std::atomic<int>& FailAfter() {
        static std::atomic<int> remaining{-1};
        return remaining;
    }
    static void* Alloc(size_t bytes) {
        int remaining = FailAfter().load();
        if (remaining == 0) return nullptr;
        if (remaining > 0) FailAfter().store(remaining - 1);
        Allocations().fetch_add(1);
        void* block = kPlatformHeap.Alloc(bytes);
        if (block != nullptr) Live().fetch_add(1);
        return block;
    }
    static void* ResizeInPlace(void* block, size_t bytes) {
        return FailAfter().load() == 0 ? nullptr : kPlatformHeap.ResizeInPlace(block, bytes);
    }
    static void Free(void* block) {
        Live().fetch_sub(1);
        kPlatformHeap.Free(block);
    }
    static constexpr HeapFunctions kTable = {Alloc, ResizeInPlace, Free};
};
