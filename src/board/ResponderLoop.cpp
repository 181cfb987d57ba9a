// The responder's loop: one byte read at a time, a reply for each poll byte, line errors
// cleared and survived, a port that has gone reported instead of retried for ever.
#include "board/ResponderLoop.h"

#include <chrono>

#include "core/Heap.h"

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

HResult RunResponder(const BoardState& board, SerialIo& io, LineCounters* counters) {
    (void)counters;  // counted in the next step
    const uint32_t ownGeneration = board.generation.load(std::memory_order_relaxed);
    uint8_t* reply = static_cast<uint8_t*>(HeapAllocate(kReplyLength));
    if (reply == nullptr)
        return kOutOfMemory;

    HResult outcome = kOk;
    int failedReads = 0;
    if (board.running.load(std::memory_order_relaxed) != 0) {
        for (;;) {
            if (board.generation.load(std::memory_order_relaxed) != ownGeneration)
                break;
            uint8_t received = 0;
            uint32_t count = 0;
            const HResult read = io.ReadByte(&received, &count);
            if (Failed(read)) {
                // A line error blocks the port until it is cleared; the poll that met it
                // goes unanswered and the loop carries on. A port that cannot be cleared,
                // or that fails every read, has gone: retrying would only spin.
                const HResult cleared = io.ClearError();
                if (Failed(cleared) || ++failedReads >= kPortGoneReadFailures) {
                    outcome = Failed(cleared) ? cleared : read;
                    break;
                }
            } else if (count == 0) {
                // A port that has gone may still answer reads with nothing (a virtual
                // cable whose other end went does, under Wine); its status tells.
                failedReads = 0;
                const HResult status = io.ClearError();
                if (Failed(status)) {
                    outcome = status;
                    break;
                }
            } else {
                failedReads = 0;
                if (received == kPollByte) {
                    EncodeReply(board, reply);
                    if (Failed(io.Write(reply, kReplyLength)))
                        io.ClearError();
                }
            }
            if (board.running.load(std::memory_order_relaxed) == 0)
                break;
        }
    }
    HeapRelease(reply);
    return outcome;
}
