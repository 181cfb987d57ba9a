#include "board/SerialResponder_win.h"

#include "board/SerialPort_win.h"
#include "core/Heap.h"

namespace {
struct StartBlock {
    BoardState* board;
    HANDLE port;
};
static_assert(sizeof(StartBlock) == 16, "the start block is two pointer-sized words");
}  // namespace

DWORD WINAPI SerialResponder(void* parameter) {
    auto* block = static_cast<StartBlock*>(parameter);
    BoardState* board = block->board;
    HANDLE port = block->port;
    HeapRelease(block);

    ComPortIo io(port);
    RunResponder(*board, io);
    Serial().CloseHandle(port);
    return 0;
}

bool StartSerialResponder(BoardState* board, HANDLE port, HANDLE* thread) {
    *thread = nullptr;
    auto* block = static_cast<StartBlock*>(HeapAllocate(sizeof(StartBlock)));
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    block->board = board;
    block->port = port;
    HANDLE created = CreateThread(nullptr, 0, SerialResponder, block, 0, nullptr);
    if (created == nullptr || created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        HeapRelease(block);
        SetLastError(error);
        return false;
    }
    *thread = created;
    return true;
}
