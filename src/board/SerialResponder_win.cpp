// The responder thread around the portable loop: it takes the port over from the start,
// answers until the run stops, and tells the window when the port stops working, so that
// the run can end as a stop would instead of showing a run that no host can reach.
#include "board/SerialResponder_win.h"

#include <utility>

#include "board/SerialPort_win.h"
#include "core/Heap.h"

namespace {
// A block from the process heap rather than the starter's stack: the starter returns
// while the thread may not yet have read it. Two pointer-sized words: who to serve, and
// the port handle, which the thread owns once it runs.
struct StartBlock {
    ResponderOwner* owner;
    HANDLE port;
};
static_assert(sizeof(StartBlock) == 16, "the start block is two pointer-sized words");
}  // namespace

DWORD WINAPI SerialResponder(void* parameter) {
    auto* block = static_cast<StartBlock*>(parameter);
    const ResponderOwner& owner = *block->owner;
    ScopedPort port(block->port);
    HeapRelease(block);

    const uint32_t generation = owner.board->generation.load(std::memory_order_relaxed);
    ComPortIo io(port.Get());
    const HResult outcome = RunResponder(*owner.board, io, owner.counters);
    port.Reset();  // before the news, so that the window may open the port again at once
    if (Failed(outcome) && owner.window != nullptr)
        PostMessageW(owner.window, owner.portLostMessage, generation, static_cast<LPARAM>(outcome));
    return 0;
}

bool StartSerialResponder(ResponderOwner* owner, ScopedPort& port, ScopedHandle* thread) {
    thread->Reset();
    auto* block = static_cast<StartBlock*>(HeapAllocate(sizeof(StartBlock)));
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    block->owner = owner;
    block->port = port.Get();
    ScopedHandle created(CreateThread(nullptr, 0, SerialResponder, block, 0, nullptr));
    if (!created) {
        const DWORD error = GetLastError();
        HeapRelease(block);
        SetLastError(error);
        return false;
    }
    port.Release();  // the thread's from now on
    *thread = std::move(created);
    return true;
}
