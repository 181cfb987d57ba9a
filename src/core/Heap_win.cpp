// The process heap, as the Windows program uses it for every buffer and list block.
#include <windows.h>

#include "core/Heap.h"

namespace {
void* ProcessAlloc(size_t bytes) {
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}
void* ProcessResizeInPlace(void* block, size_t bytes) {
    return HeapReAlloc(GetProcessHeap(), HEAP_REALLOC_IN_PLACE_ONLY, block, bytes == 0 ? 1 : bytes);
}
void ProcessFree(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}
}  // namespace

const HeapFunctions kPlatformHeap = {ProcessAlloc, ProcessResizeInPlace, ProcessFree};
