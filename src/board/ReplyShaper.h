// The virtual board's faults on purpose: between the responder loop and the port, it
// decides for each reply whether it goes as it is, late, with a byte changed, cut short,
// or not at all, from the script's and standard input's fault commands and a seeded
// generator, so that the same script and seed give the same faults on the same polls.
// Portable and free of clocks: every call is given the time, so that tests drive it on
// a simulated one. The window's program does not use it.
//
// Threads: the command runners call Apply, the responder Shape and TakeDue, the tool's
// waker NextDueUs; one lock guards it all (held for a few dozen instructions a poll).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "board/BoardState.h"
#include "board/ScenarioScript.h"

// What became of one reply, or of bytes sent unasked.
enum class ReplyFate : uint8_t { kSent, kDropped, kDelayed, kCorrupted, kCut, kSilenced, kBabble };

// The replies queued behind a long delay are bounded: past this many the next is dropped.
constexpr size_t kMaxQueuedReplies = 65536;
// A byte's time on the board's line, 10 bits at 38400 baud, for --pace.
constexpr int64_t kPacedByteUs = 1000000LL * 10 / 38400;
// Babble leaves in chunks of at most this many bytes.
constexpr uint32_t kBabbleChunk = 64;

struct OutgoingBytes {
    uint8_t bytes[kBabbleChunk];
    uint32_t length = 0;
    ReplyFate fate = ReplyFate::kSent;
};

// What the faults did, for the tool's totals.
struct ShaperTotals {
    uint64_t dropped = 0;    // by drop, or discarded unsent at the end
    uint64_t silenced = 0;   // polls met during a silence, replies a silence caught queued
    uint64_t delayed = 0;    // replies sent later than their poll
    uint64_t corrupted = 0;  // replies sent with a byte changed
    uint64_t cut = 0;        // replies cut short
    uint64_t babbled = 0;    // bytes sent unasked
};

class ReplyShaper {
  public:
    explicit ReplyShaper(uint64_t seed) : random_(seed) {}

    // From now on the replies' bytes leave one line time apart (0: at once, the default),
    // each complete at the end of its time, and a reply waits for the line to be free.
    void Pace(int64_t byteUs) {
        std::lock_guard<std::mutex> hold(lock_);
        byteUs_ = byteUs;
        shaping_.store(true, std::memory_order_release);
    }

    // True until the first fault command or Pace: every reply may then go straight to the
    // port, counted with CountPoll, and nothing is queued. Any thread.
    bool Idle() const { return !shaping_.load(std::memory_order_acquire); }
    void CountPoll() { polls_.fetch_add(1, std::memory_order_relaxed); }

    // A fault command (drop, delay, corrupt, truncate, silence, babble, normal) taking
    // effect at nowUs; other verbs are ignored.
    void Apply(const ScenarioCommand& command, int64_t nowUs);

    // The reply (kReplyLength bytes) to a poll read at nowUs: queued, changed or not, or
    // withheld. Returns its fate; the bytes leave through TakeDue.
    ReplyFate Shape(const uint8_t* reply, int64_t nowUs);

    // The next bytes due by nowUs, in the order the host is to read them: a reply (paced:
    // those of its bytes that have had their time), or a chunk of babble once no reply is
    // due. False when nothing is due.
    bool TakeDue(int64_t nowUs, OutgoingBytes* out);

    // When TakeDue next has something (the oldest reply's due time, which may be later
    // than that of one behind it); INT64_MAX when nothing waits.
    int64_t NextDueUs();

    // True while a paced reply is on the line, part of it sent.
    bool Sending() {
        std::lock_guard<std::mutex> hold(lock_);
        return frontStartUs_ >= 0;
    }

    // Counts what is still queued as dropped: the board is ending.
    void DiscardQueued();

    ShaperTotals Totals();
    // Polls shaped so far, answered or not: what `wait N polls` counts. Any thread.
    uint64_t Polls() const { return polls_.load(std::memory_order_relaxed); }

  private:
    struct Queued {
        int64_t dueUs;
        uint8_t bytes[kReplyLength];
        uint8_t length;
        ReplyFate fate;
    };

    // splitmix64: the same sequence on every compiler and platform.
    uint64_t Next();
    // Uniform in 0..bound-1; bound > 0.
    uint64_t Below(uint64_t bound) { return Next() % bound; }

    std::mutex lock_;
    uint64_t random_;
    std::deque<Queued> queue_;  // in the polls' order
    // The faults in force, from the last commands.
    int64_t dropNext_ = 0;
    uint32_t dropPerMillion_ = 0;
    int64_t delayUs_ = 0, jitterUs_ = 0;
    int64_t corruptNext_ = 0, lastCorrupted_ = -1;
    int64_t cutNext_ = 0, cutLength_ = 0;
    int64_t silentUntilUs_ = INT64_MIN;
    // Pacing: the line time of a byte, when the reply at the queue's front started on the
    // line (-1: not yet) and how many of its bytes left, when the line is next free.
    int64_t byteUs_ = 0, frontStartUs_ = -1, lineFreeUs_ = 0;
    uint32_t frontSent_ = 0;
    uint64_t babblePending_ = 0;
    ShaperTotals totals_;
    std::atomic<uint64_t> polls_{0};
    std::atomic<bool> shaping_{false};
};
