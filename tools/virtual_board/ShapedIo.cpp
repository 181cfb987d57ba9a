// The shaped port of the virtual board: the responder thread's reads and writes, and the
// waker thread that brings the responder out of a blocking read when held-back bytes are
// due.
#include "ShapedIo.h"

#include <chrono>
#include <cstdio>

namespace {
// While bytes are due but not yet taken, the waker interrupts again this often: an
// interrupt that comes just before a read starts is missed.
constexpr auto kInterruptRepeat = std::chrono::milliseconds(1);
// How often the host's line settings are read back: a system call, so not every poll.
constexpr int64_t kLineCheckUs = 100000;
}  // namespace

ShapedIo::ShapedIo(BoardPort& port, ReplyShaper& shaper, ScenarioClock& clock, LineObserver* observer,
                   bool pace)
    : port_(port), shaper_(shaper), clock_(clock), observer_(observer), pace_(pace) {
    if (pace)
        shaper_.Pace(kPacedByteUs);
    waker_ = std::thread([this] { RunWaker(); });
}

ShapedIo::~ShapedIo() {
    Stop();
}

void ShapedIo::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (waker_.joinable())
        waker_.join();
}

void ShapedIo::Wake() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        woken_ = true;
    }
    wake_.notify_all();
}

HResult ShapedIo::SendDue(int64_t nowUs) {
    OutgoingBytes out;
    HResult outcome = kOk;
    for (;;) {
        while (shaper_.TakeDue(nowUs, &out)) {
            uint32_t written = 0;
            const HResult result = port_.Io().Write(out.bytes, out.length, &written);
            if (observer_ != nullptr)
                observer_->Sent(out.fate, out.bytes, out.length, nowUs);
            if (Failed(result)) {
                if (out.fate != ReplyFate::kBabble)
                    lostLater_.store(LostLater() + 1, std::memory_order_relaxed);
                outcome = result;
            }
        }
        // A paced reply holds the line until its last byte, as a board's UART does: the
        // responder sends it byte by byte, on time, and reads the next poll after it.
        if (!pace_ || !shaper_.Sending() || !clock_.SleepUntil(shaper_.NextDueUs()))
            return outcome;
        nowUs = clock_.NowUs();
    }
}

HResult ShapedIo::ReadByte(uint8_t* byte, uint32_t* count) {
    if (!shaper_.Idle() && Failed(SendDue(clock_.NowUs())))
        port_.Io().ClearError();
    const HResult read = port_.Io().ReadByte(byte, count);
    if (observer_ != nullptr && !Failed(read) && *count == 1)
        observer_->Received(*byte, clock_.NowUs());
    return read;
}

HResult ShapedIo::Write(const uint8_t* data, uint32_t length, uint32_t* written) {
    const int64_t now = clock_.NowUs();
    if (now >= nextLineCheckUs_) {
        nextLineCheckUs_ = now + kLineCheckUs;
        CheckHostLine();
    }
    const uint32_t replies = length / kReplyLength;
    if (shaper_.Idle() && !(pace_ && hostLineWrong_)) {  // no fault yet: as the plain board
        for (uint32_t r = 0; r < replies; ++r) {
            shaper_.CountPoll();
            if (observer_ != nullptr)
                observer_->Sent(ReplyFate::kSent, data + r * kReplyLength, kReplyLength, now);
        }
        return port_.Io().Write(data, length, written);
    }
    // Every reply is the shaper's from here: the loop counts it as answered, and what never
    // reaches the host is taken off again (Withheld).
    *written = length;
    for (uint32_t r = 0; r < replies; ++r) {
        const uint8_t* reply = data + r * kReplyLength;
        if (pace_ && hostLineWrong_) {
            // A real board reads a poll sent at another speed or framing as other bytes, or
            // not at all: nothing the host can read comes back.
            hostLineUnanswered_.store(HostLineUnanswered() + 1, std::memory_order_relaxed);
            if (observer_ != nullptr)
                observer_->Sent(ReplyFate::kDropped, reply, 0, now);
            continue;
        }
        const ReplyFate fate = shaper_.Shape(reply, now);
        if (observer_ != nullptr && (fate == ReplyFate::kDropped || fate == ReplyFate::kSilenced))
            observer_->Sent(fate, reply, 0, now);
    }
    SendDue(now);
    if (shaper_.NextDueUs() != INT64_MAX)
        Wake();
    return kOk;
}

void ShapedIo::CheckHostLine() {
    const std::string host = port_.HostLine();
    hostLineWrong_ = !host.empty() && host != kBoardLine;
    if (!hostLineWrong_ || host == wrongLine_)
        return;
    wrongLine_ = host;
    if (pace_) {
        std::fprintf(stderr, "virtual_board: host line %s, board %s: its polls get no reply it can read\n",
                     host.c_str(), kBoardLine);
    } else if (!warned_) {
        warned_ = true;
        std::fprintf(stderr,
                     "virtual_board: warning: host line %s, board %s: a real board would not understand this "
                     "host (with --pace this one does not either)\n",
                     host.c_str(), kBoardLine);
    }
}

uint64_t ShapedIo::Withheld() {
    const ShaperTotals faults = shaper_.Totals();
    return faults.dropped + faults.silenced + HostLineUnanswered() + LostLater();
}

void ShapedIo::RunWaker() {
    std::unique_lock<std::mutex> hold(lock_);
    const auto start = std::chrono::steady_clock::now() - std::chrono::microseconds(clock_.NowUs());
    while (!stopping_) {
        woken_ = false;
        const int64_t due = shaper_.NextDueUs();
        if (due <= clock_.NowUs()) {
            hold.unlock();
            port_.Interrupt();
            hold.lock();
            wake_.wait_for(hold, kInterruptRepeat, [this] { return stopping_; });
        } else if (due == INT64_MAX) {
            wake_.wait(hold, [this] { return stopping_ || woken_; });
        } else {
            wake_.wait_until(hold, start + std::chrono::microseconds(due),
                             [this] { return stopping_ || woken_; });
        }
    }
}
