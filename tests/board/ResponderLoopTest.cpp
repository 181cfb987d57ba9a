// The responder's loop over scripted ports: which bytes get replies, line errors, a port
// that has gone, and the ends of a run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "board/ResponderLoop.h"
#include "core/RefObject.h"
#include "../support/TestHeap.h"

namespace {

// A port that plays back a script of reads and records what was written. When the script
// runs out it behaves like a silent host and asks the loop to stop.
class ScriptedPort : public SerialIo {
  public:
    struct Read {
        bool ok;
        uint32_t count;
        uint8_t byte;
    };
    ScriptedPort(BoardState& board, std::vector<Read> reads) : board_(board), reads_(std::move(reads)) {}

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        if (++readCalls == stopAtRead)  // a stop, then a new run: only the generation changes
            board_.generation = board_.generation + 1;
        if (next_ >= reads_.size()) {
            board_.running = 0;
            *count = 0;
            return kOk;
        }
        const Read& r = reads_[next_++];
        *count = r.count;
        *byte = r.byte;
        return r.ok ? kOk : kReadFailure;
    }
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override {
        writes.emplace_back(data, data + length);
        *written = failWrites ? 0 : (length < takeBytes ? length : takeBytes);
        return failWrites ? kReadFailure : (*written == length ? kOk : kShortWrite);
    }
    // Scripted reads come as one burst when buffered.
    bool HasBufferedInput() const override { return buffered && next_ < reads_.size(); }
    HResult ClearError() override { return ++clears == failClearAt ? kClearFailure : kOk; }

    static constexpr HResult kReadFailure = static_cast<HResult>(0x8007001Fu);   // a device error
    static constexpr HResult kClearFailure = static_cast<HResult>(0x80070006u);  // a handle gone
    int readCalls = 0, stopAtRead = 0;
    int clears = 0, failClearAt = 0;
    bool failWrites = false, buffered = false;
    uint32_t takeBytes = ~0u;
    std::vector<std::vector<uint8_t>> writes;

  private:
    BoardState& board_;
    std::vector<Read> reads_;
    size_t next_ = 0;
};

TEST(ResponderLoopTest, AnswersEachPollAndNothingElse) {
    BoardState board;
    board.running = 1;
    board.values[4] = 777;
    ScriptedPort port(board, {{true, 1, 0x01},
                              {true, 1, 0x00},
                              {true, 1, 0x02},
                              {true, 0, 0x01},  // a time-out leaves a stale byte: no answer
                              {true, 1, 0x01},
                              {true, 1, 0xFF},
                              {true, 1, 0x81}});
    ScopedTestHeap heap;
    ASSERT_EQ(RunResponder(board, port), kOk);
    EXPECT_EQ(1, heap.AllocationCount()) << "the reply buffer, once, before the loop";
    ASSERT_EQ(2u, port.writes.size());
    uint8_t expected[kReplyLength];
    EncodeReply(board, expected);
    for (const auto& w : port.writes) {
        ASSERT_EQ(static_cast<size_t>(kReplyLength), w.size());
        EXPECT_EQ(0, memcmp(expected, w.data(), kReplyLength));
    }
}

// How a run's loop ends: by a stop, or by a port that has gone, with its failure, instead of
// spinning on reads that fail at once; line errors, cleared, do not end it.
TEST(ResponderLoopTest, ALoopEndsByAStopOrAPortThatHasGoneAndSurvivesLineErrors) {
    using Read = ScriptedPort::Read;
    const std::vector<Read> gone(kPortGoneReadFailures, Read{false, 0, 0});
    std::vector<Read> flaky;
    for (int i = 0; i < 3; ++i) {
        flaky.insert(flaky.end(), kPortGoneReadFailures - 1, Read{false, 0, 0});
        flaky.push_back({true, 1, 0x01});  // a poll: the port still answers
    }
    const struct {
        const char* what;
        std::vector<Read> script;
        uint32_t running;
        int failClearAt, stopAtRead;
        HResult outcome;
        int reads, writes;
    } cases[] = {
        {"not running at the start", {{true, 1, 0x01}}, 0, 0, 0, kOk, 0, 0},
        {"the generation changes while running", std::vector<Read>(9, Read{true, 1, 0x01}), 1, 0, 3, kOk, 3,
         3},
        {"every read fails", gone, 1, 0, 0, ScriptedPort::kReadFailure, kPortGoneReadFailures, 0},
        {"the line cannot be cleared", gone, 1, 2, 0, ScriptedPort::kClearFailure, 2, 0},
        {"reads fail between polls", flaky, 1, 0, 0, kOk, static_cast<int>(flaky.size()) + 1, 3},
        {"a read times out on a port that has gone",
         {{true, 0, 0}},
         1,
         1,
         0,
         ScriptedPort::kClearFailure,
         1,
         0},
    };
    for (const auto& c : cases) {
        BoardState board;
        board.running = c.running;
        ScriptedPort port(board, c.script);
        port.failClearAt = c.failClearAt;
        port.stopAtRead = c.stopAtRead;
        port.failWrites = c.what == cases[4].what;  // a failed write is a line error too
        EXPECT_EQ(RunResponder(board, port), c.outcome) << c.what;
        EXPECT_EQ(port.readCalls, c.reads) << c.what;
        EXPECT_EQ(static_cast<int>(port.writes.size()), c.writes) << c.what;
    }
}

// What the status bar and the virtual board's totals show: each thing on the line counted
// once, under its own name; the last poll's time moves only when a poll is answered.
TEST(ResponderLoopTest, CountsEachThingOnTheLineOnce) {
    using Read = ScriptedPort::Read;
    const Read poll{true, 1, 0x01};
    const struct {
        const char* what;
        std::vector<Read> reads;
        bool refuseWrite;
        uint32_t takeBytes;  // of a burst's replies, written at once
        uint64_t answered, lost, other, errors;
    } cases[] = {
        {"a poll", {poll}, false, ~0u, 1, 0, 0, 0},
        {"another byte", {{true, 1, 0x02}}, false, ~0u, 0, 0, 1, 0},
        {"a time-out", {{true, 0, 0x01}}, false, ~0u, 0, 0, 0, 0},
        {"a line error", {{false, 0, 0}}, false, ~0u, 0, 0, 0, 1},
        {"a refused write", {poll}, true, ~0u, 0, 1, 0, 0},
        {"a burst's write cut in the second reply",
         {poll, poll, poll},
         false,
         2 * kReplyLength - 1,
         1,
         2,
         0,
         0},
    };
    for (const auto& c : cases) {
        BoardState board;
        board.running = 1;
        ScriptedPort port(board, c.reads);
        port.failWrites = c.refuseWrite;
        port.buffered = true;
        port.takeBytes = c.takeBytes;
        LineCounters counters;
        counters.lastPollMs = 1;  // a poll long ago
        const int64_t before = MonotonicMs();
        EXPECT_EQ(RunResponder(board, port, &counters), kOk) << c.what;
        EXPECT_EQ(counters.pollsAnswered.load(), c.answered) << c.what;
        EXPECT_EQ(counters.repliesLost.load(), c.lost) << c.what;
        EXPECT_EQ(counters.otherBytes.load(), c.other) << c.what;
        EXPECT_EQ(counters.lineErrors.load(), c.errors) << c.what;
        EXPECT_EQ(port.writes.size(), c.answered + c.lost != 0 ? 1u : 0u) << c.what << ": one write a burst";
        if (c.answered != 0)
            EXPECT_GE(counters.lastPollMs.load(), before) << c.what;
        else
            EXPECT_EQ(counters.lastPollMs.load(), 1) << c.what;
    }
}

#if defined(__SANITIZE_THREAD__)
// Only ThreadSanitizer can tell: the channel values are written by another thread while
// replies are built from them, with no lock.
TEST(ResponderLoopTest, ValuesWrittenDuringRepliesAreRaceFreeUnderThreadSanitizer) {
    BoardState board;
    board.running = 1;
    ScriptedPort port(board, std::vector<ScriptedPort::Read>(5000, {true, 1, 0x01}));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; !done.load(); ++i)
            board.SetPercent(i % kChannelCount, i % 101);
    });
    RunResponder(board, port);
    done = true;
    writer.join();
    EXPECT_EQ(5000u, port.writes.size());
}
#endif

}  // namespace
