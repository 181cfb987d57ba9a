// The C heap stands in for the process heap in the native build. It cannot resize a
// block in place reliably, so the containers fall back to allocate, copy and free.
#include <cstdlib>

#include "core/Heap.h"

namespace {
void* NativeAlloc(size_t bytes) {
    return std::malloc(bytes == 0 ? 1 : bytes);
}
void* NativeResizeInPlace(void*, size_t) {
    return nullptr;
}
void NativeFree(void* block) {
    std::free(block);
}
}  // namespace

const HeapFunctions kPlatformHeap = {NativeAlloc, NativeResizeInPlace, NativeFree};
