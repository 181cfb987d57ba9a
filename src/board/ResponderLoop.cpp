#include "board/ResponderLoop.h"

#include "core/Heap.h"

bool RunResponder(const BoardState& board, SerialIo& io) {
    const uint32_t ownGeneration = board.generation.load(std::memory_order_relaxed);
    uint8_t* reply = static_cast<uint8_t*>(HeapAllocate(kReplyLength));
    if (reply == nullptr)
        return false;
    reply[0] = kFirmwareHeader[0];
    reply[1] = kFirmwareHeader[1];

    if (board.running.load(std::memory_order_relaxed) != 0) {
        for (;;) {
            if (board.generation.load(std::memory_order_relaxed) != ownGeneration)
                break;
            uint8_t received = 0;
            uint32_t count = 0;
            if (!io.ReadByte(&received, &count)) {
                // A line error blocks the port until it is cleared; the poll that met it
                // goes unanswered and the loop carries on.
                io.ClearError();
            } else if (count == 1 && received == kPollByte) {
                FillReplyChannels(board, reply);
                if (!io.Write(reply, kReplyLength))
                    io.ClearError();
            }
            if (board.running.load(std::memory_order_relaxed) == 0)
                break;
        }
    }
    HeapRelease(reply);
    return true;
}
