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
    // on one timeline. observer may be null.
    ShapedIo(BoardPort& port, ReplyShaper& shaper, ScenarioClock& clock, LineObserver* observer);
    ~ShapedIo() override;  // stops the waker

    HResult ReadByte(uint8_t* byte, uint32_t* count) override;
    HResult Write(const uint8_t* data, uint32_t length) override;
    HResult ClearError() override { return port_.Io().ClearError(); }

    // Replies held back that the port did not take whole when they fell due. Any thread.
    uint64_t LostLater() const { return lostLater_.load(std::memory_order_relaxed); }
    // Ends the waker; before the port closes. Main thread.
    void Stop();
    // Something may have fallen due earlier than the waker thinks (a command ran). Any thread.
    void Wake();

  private:
    // Responder thread: writes what is due.
    HResult SendDue(int64_t nowUs);
    void RunWaker();

    BoardPort& port_;
    ReplyShaper& shaper_;
    ScenarioClock& clock_;
    LineObserver* observer_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false, stopping_ = false;
    std::thread waker_;
    std::atomic<uint64_t> lostLater_{0};  // written by the responder only
};
