// The serial responder's loop, free of platform calls: it reads the host's bytes one at a
// time and answers each poll byte with the 18-byte reply. The Windows thread wraps a COM
// handle in a SerialIo, the virtual board a pty or a serial device; tests drive the same
// loop with scripted ports.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/BoardState.h"
#include "core/Status.h"

// A write the port took only part of (or none of, without failing).
constexpr HResult kShortWrite = static_cast<HResult>(0x8007045Du);  // ERROR_IO_DEVICE

class SerialIo {
  public:
    virtual ~SerialIo() = default;
    // Reads at most one byte: kOk with *count 1, or 0 when the read timed out with nothing;
    // the failure's code when the read failed.
    virtual HResult ReadByte(uint8_t* byte, uint32_t* count) = 0;
    // Writes the replies to one or more polls: kOk when the port took all length bytes;
    // kShortWrite when it took fewer, or the failure's code. *written: the bytes it took,
    // from the start, in every case. Not retried: a reply not taken whole is lost.
    virtual HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) = 0;
    // True when bytes already read from the port are still to be handed out, so that the
    // next ReadByte cannot wait: the loop then holds the replies to a burst of polls for
    // one write. A port that reads a byte at a time has none.
    virtual bool HasBufferedInput() const { return false; }
    // Clears a line error so that further reads and writes can succeed: kOk, or the code of
    // a port that no longer works at all. Also asked after a read that timed out, as the
    // one sign of a port that has gone but still answers reads with nothing.
    virtual HResult ClearError() = 0;
};

// What the responder saw on the line, for the window's status bar and the virtual board's
// log and totals, so that both boards count alike. Written by the responder only, read
// whole by any thread.
struct LineCounters {
    std::atomic<uint64_t> pollsAnswered{0};  // replies the port took whole
    std::atomic<uint64_t> repliesLost{0};    // polls whose reply the port did not take whole
    std::atomic<uint64_t> otherBytes{0};     // bytes other than the poll byte
    std::atomic<uint64_t> lineErrors{0};     // reads that failed and were cleared
    // MonotonicMs() when the last poll was answered; 0 before the first.
    std::atomic<int64_t> lastPollMs{0};
};

// A monotonic clock in milliseconds, never 0; cheap enough to read once per poll (no
// system call on Linux or Windows).
int64_t MonotonicMs();

// A line error makes one read fail and clearing it lets the next one through; a port that
// has gone (an adapter unplugged, the other end of a virtual cable removed) fails every
// read at once, again and again. This many failed reads in a row, with the line cleared
// after each and no byte in between, count as a port that has gone.
constexpr int kPortGoneReadFailures = 32;

// The most replies the loop holds for one write.
constexpr uint32_t kRepliesPerWrite = 64;

// Runs until generation differs from the value read on entry, or running is 0 after a
// read. Returns at once, without reading, when running is already 0. Allocates its reply
// buffer once and nothing inside the loop; replies held for a burst go out before it
// returns. Returns kOk when a stop ended it,
// kOutOfMemory when the reply buffer could not be had, and otherwise the code of the port
// that stopped working: ClearError's failure (after a failed read or one that timed out),
// or the last read's after kPortGoneReadFailures failures in a row.
// counters may be null.
HResult RunResponder(const BoardState& board, SerialIo& io, LineCounters* counters = nullptr);
