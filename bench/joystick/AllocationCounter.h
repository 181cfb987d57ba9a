// Counts every allocation of a benchmark process while counting is on: the global
// operator new (replaced in AllocationCounter.cpp) and the container heap (kCountedHeap,
// to be installed with SetHeapFunctions). Used to show that decoding allocates nothing and
// that a run of the association loop allocates once.
#pragma once

#include <atomic>

#include "core/Heap.h"

// Counting is on for every thread while gCounting is set, and for one thread while its
// tCounting is set.
extern std::atomic<bool> gCounting;
extern thread_local bool tCounting;
extern std::atomic<long> gAllocations;
extern const HeapFunctions kCountedHeap;
