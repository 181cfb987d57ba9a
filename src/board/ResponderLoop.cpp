// The responder's loop: one byte read at a time, a reply for each poll byte, line errors
// cleared and survived, a port that has gone reported instead of retried for ever.
#include "board/ResponderLoop.h"

#include <chrono>

#include "core/Heap.h"

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

namespace {

// The responder is the counters' only writer: a load and a store, no locked add.
void AddTo(std::atomic<uint64_t>& counter, uint64_t count) {
    counter.store(counter.load(std::memory_order_relaxed) + count, std::memory_order_relaxed);
}

// Replies waiting to go out in one write: those to the polls of one burst of input.
class ReplyBatch {
  public:
    ReplyBatch(SerialIo& io, LineCounters& counted) : io_(io), counted_(counted) {}
    ~ReplyBatch() {
        if (replies_ != nullptr)
            HeapRelease(replies_);
    }
    bool Allocate() {
        replies_ = static_cast<uint8_t*>(HeapAllocate(kRepliesPerWrite * kReplyLength));
        return replies_ != nullptr;
    }
    // The reply as the channels are at the poll.
    void Add(const BoardState& board) { EncodeReply(board, replies_ + kReplyLength * queued_++); }
    bool Full() const { return queued_ == kRepliesPerWrite; }
    bool Empty() const { return queued_ == 0; }

    // A reply counts as answered only when the port took all of it.
    void Send() {
        const uint32_t length = queued_ * kReplyLength;
        uint32_t written = 0;
        const HResult result = io_.Write(replies_, length, &written);
        const uint32_t whole = (written > length ? length : written) / kReplyLength;
        AddTo(counted_.pollsAnswered, whole);
        AddTo(counted_.repliesLost, queued_ - whole);
        if (whole != 0)
            counted_.lastPollMs.store(MonotonicMs(), std::memory_order_relaxed);
        if (Failed(result))
            io_.ClearError();
        queued_ = 0;
    }

  private:
    SerialIo& io_;
    LineCounters& counted_;
    uint8_t* replies_ = nullptr;
    uint32_t queued_ = 0;
};

}  // namespace

HResult RunResponder(const BoardState& board, SerialIo& io, LineCounters* counters) {
    // Counted here, the one writer, into a local when the caller wants none: the loop then
    // has no branch per count.
    LineCounters unused;
    LineCounters& counted = counters != nullptr ? *counters : unused;
    const uint32_t ownGeneration = board.generation.load(std::memory_order_relaxed);
    ReplyBatch batch(io, counted);
    if (!batch.Allocate())
        return kOutOfMemory;

    HResult outcome = kOk;
    int failedReads = 0;
    if (board.running.load(std::memory_order_relaxed) != 0) {
        for (;;) {
            if (board.generation.load(std::memory_order_relaxed) != ownGeneration)
                break;
            // The replies go before a read that may wait: the host sees them no later than
            // one by one, in fewer writes.
            if (!batch.Empty() && (batch.Full() || !io.HasBufferedInput()))
                batch.Send();
            uint8_t received = 0;
            uint32_t count = 0;
            const HResult read = io.ReadByte(&received, &count);
            if (Failed(read)) {
                // A line error blocks the port until it is cleared; the poll that met it
                // goes unanswered and the loop carries on. A port that cannot be cleared,
                // or that fails every read, has gone: retrying would only spin.
                const HResult cleared = io.ClearError();
                if (!Failed(cleared))
                    AddTo(counted.lineErrors, 1);
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
                if (received == kPollByte)
                    batch.Add(board);
                else
                    AddTo(counted.otherBytes, 1);
            }
            if (board.running.load(std::memory_order_relaxed) == 0)
                break;
        }
    }
    // A stop between a poll and its reply still sends the reply.
    if (!batch.Empty())
        batch.Send();
    return outcome;
}
