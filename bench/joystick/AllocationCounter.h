// Counts every allocation of a benchmark process while counting is on: the global
// operator new (replaced in AllocationCounter.cpp) and the container heap (kCountedHeap,
// to be installed with SetHeapFunctions). Used to show that decoding allocates nothing.
#pragma once

#include <atomic>

#include "core/Heap.h"

extern std::atomic<bool> gCounting;
extern std::atomic<long> gAllocations;
extern const HeapFunctions kCountedHeap;
