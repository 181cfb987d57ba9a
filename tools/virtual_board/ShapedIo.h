// The virtual board's port as the responder loop sees it once faults are possible: each
// reply the loop writes goes through the ReplyShaper, which lets it go at once, later,
// changed or not at all; replies held back for later, and babble, are written by the
// responder thread itself before its next read, so that the port keeps a single writer.
// A waker thread interrupts the responder's blocking read when such bytes fall due.
// Portable: the port and its interrupt come from Platform.h. Made by VirtualBoard.cpp.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Platform.h"
#include "board/ReplyShaper.h"
#include "board/ScenarioRunner.h"

// Told of each event on the line, from the responder thread (TraceWriter).
class LineObserver {
  public:
    virtual ~LineObserver() = default;
    virtual void Received(uint8_t byte, int64_t nowUs) = 0;
    // A reply or babble that left (length > 0), or a reply withheld (length 0).
    virtual void Sent(ReplyFate fate, const uint8_t* bytes, uint32_t length, int64_t nowUs) = 0;
};

class ShapedIo : public SerialIo {
  public:
    // clock: the run's, which the command runners share, so that a fault and a reply are
    // on one timeline. observer may be null. pace: replies at the line's speed, and a host
    // whose end is not set as the board's line gets no reply it can read.
    ShapedIo(BoardPort& port, ReplyShaper& shaper, ScenarioClock& clock, LineObserver* observer, bool pace);
    ~ShapedIo() override;  // stops the waker

    HResult ReadByte(uint8_t* byte, uint32_t* count) override;
    // The replies to one or more polls; each goes through the shaper.
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override;
    bool HasBufferedInput() const override { return port_.Io().HasBufferedInput(); }
    HResult ClearError() override { return port_.Io().ClearError(); }

    // Replies the port did not take whole when they left the shaper. Any thread.
    uint64_t LostLater() const { return lostLater_.load(std::memory_order_relaxed); }
    // Polls the loop answered whose reply never reached the host: withheld by a fault, or
    // (with pace) not understood at the host's line settings. Any thread.
    uint64_t Withheld();
    // The host line that differed from the board's, the last time one did; empty if none.
    // Main thread, once the responder has ended.
    const std::string& WrongHostLine() const { return wrongLine_; }
    uint64_t HostLineUnanswered() const { return hostLineUnanswered_.load(std::memory_order_relaxed); }
    // Ends the waker; before the port closes. Main thread.
    void Stop();
    // Something may have fallen due earlier than the waker thinks (a command ran). Any thread.
    void Wake();

  private:
    // Responder thread: writes what is due.
    HResult SendDue(int64_t nowUs);
    void RunWaker();
    void CheckHostLine();

    BoardPort& port_;
    ReplyShaper& shaper_;
    ScenarioClock& clock_;
    LineObserver* observer_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false, stopping_ = false;
    std::thread waker_;
    std::atomic<uint64_t> lostLater_{0};  // written by the responder only
    // The host line check, the responder's; the count is read by any thread.
    bool pace_, hostLineWrong_ = false, warned_ = false;
    int64_t nextLineCheckUs_ = 0;
    std::string wrongLine_;
    std::atomic<uint64_t> hostLineUnanswered_{0};
};
