// The allocation seam for container storage. Buffers and lists take their blocks from
// the process heap on Windows and from the C heap in the native build; tests swap the
// table to inject allocation failures or to count allocations.
#pragma once

#include <cstddef>
#include <cstdint>

struct HeapFunctions {
    void* (*Alloc)(size_t bytes);
    // Grows or shrinks a block without moving it; returns null when that is not possible.
    void* (*ResizeInPlace)(void* block, size_t bytes);
    void (*Free)(void* block);
};

// The platform's heap (defined in Heap_win.cpp or Heap_native.cpp).
extern const HeapFunctions kPlatformHeap;

// The table in use; points at kPlatformHeap unless a test replaced it.
const HeapFunctions& Heap();
void SetHeapFunctions(const HeapFunctions* functions);  // null restores the platform heap

inline void* HeapAllocate(size_t bytes) {
    return Heap().Alloc(bytes);
}
inline void HeapRelease(void* block) {
    if (block != nullptr)
        Heap().Free(block);
}

// Makes block (capacity elements) hold at least count elements; what it held is not kept.
// False, with the block as it was, when memory ran out.
template <typename Element>
bool GrowDiscarding(Element*& block, uint32_t& capacity, uint32_t count) {
    if (count <= capacity)
        return true;
    auto* grown = static_cast<Element*>(HeapAllocate(static_cast<size_t>(count) * sizeof(Element)));
    if (grown == nullptr)
        return false;
    HeapRelease(block);
    block = grown;
    capacity = count;
    return true;
}
