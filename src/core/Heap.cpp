// Selection of the heap table used by the containers.
#include "core/Heap.h"

#include <atomic>

namespace {
std::atomic<const HeapFunctions*> gHeap{&kPlatformHeap};
}

const HeapFunctions& Heap() {
    return *gHeap.load(std::memory_order_relaxed);
}

void SetHeapFunctions(const HeapFunctions* functions) {
    gHeap.store(functions != nullptr ? functions : &kPlatformHeap, std::memory_order_relaxed);
}
