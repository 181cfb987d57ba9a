// --trace FILE: one line per event on the line, for a host developer to see what their host
// really sent and what it got back:
//     MICROSECONDS DIRECTION HEX WHAT
// microseconds since the board started (monotonic), "in" (from the host) or "out", the
// bytes in hex ("-" for a reply withheld), and what they were: poll, other, reply,
// dropped, delayed, corrupted, cut, babble.
// The responder only copies each event into a ring; a writer thread turns them into lines
// and hands each batch to the system at once, so that tracing never blocks or slows the
// responder and a killed board loses only the events of its last moment. A full ring drops
// events and says how many in the file. Portable; made by VirtualBoard.cpp.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ShapedIo.h"

class TraceWriter : public LineObserver {
  public:
    // Null with *error when the file cannot be made.
    static std::unique_ptr<TraceWriter> Open(const std::string& path, std::string* error);
    ~TraceWriter() override;  // writes what is left and closes the file

    // Responder thread.
    void Received(uint8_t byte, int64_t nowUs) override;
    void Sent(ReplyFate fate, const uint8_t* bytes, uint32_t length, int64_t nowUs) override;

  private:
    static constexpr uint32_t kRingSize = 8192;  // events; a power of two
    struct Event {
        int64_t atUs;
        uint8_t kind;  // a ReplyFate, or kPollEvent / kOtherEvent
        uint8_t length;
        uint8_t bytes[kBabbleChunk];
    };

    explicit TraceWriter(std::FILE* file);
    void Push(uint8_t kind, const uint8_t* bytes, uint32_t length, int64_t nowUs);
    void Run();

    std::FILE* file_;
    std::unique_ptr<Event[]> ring_;
    // head_ written by the responder, tail_ by the writer; each read by the other.
    std::atomic<uint32_t> head_{0}, tail_{0};
    std::atomic<uint64_t> lost_{0};  // events a full ring turned away; responder
    std::atomic<bool> writerAsleep_{false};
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::condition_variable wake_;
    std::thread writer_;
};
