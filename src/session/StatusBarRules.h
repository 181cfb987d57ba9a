// What the main window's status bar says, free of the window: the port part, the host
// part and the line's trouble part, from the run's kind and the responder's LineCounters
// as the window samples them on its timer. EmulationSession holds one; its tests feed it
// samples natively. User-interface thread only.
#pragma once

#include <cstdint>

#include "board/ResponderLoop.h"

// The counters of a run as read at one moment.
struct LineSample {
    int64_t atMs;  // MonotonicMs() when they were read
    uint64_t polls;
    uint64_t otherBytes;
    uint64_t lineErrors;
    int64_t lastPollMs;  // 0 before the first poll
};

// Reads each counter whole, then the clock, so that no poll counted here is later than atMs.
LineSample ReadLine(const LineCounters& counters);

enum class RunKind : uint8_t { kIdle, kPort, kJoystickOnly };

class StatusBarRules {
  public:
    static constexpr int32_t kPartCount = 3;
    static constexpr int32_t kPartLength = 128;  // a longer translated text is cut
    static constexpr int64_t kRateWindowMs = 1000;
    static constexpr int64_t kQuietMs = 2000;  // longer without a poll: the host has gone quiet

    // A run starts with line, its counters at zero.
    void Begin(const LineSample& line);
    // The three texts for the run's kind and port and the counters now. Returns a bit
    // (1 << part) for each part whose text changed since the last call.
    uint32_t Update(RunKind kind, uint32_t port, const LineSample& line);
    const char16_t* Part(int32_t part) const { return parts_[part]; }

  private:
    // The polls per second, and whether line errors or other bytes came with no poll
    // answered, from one sample to a later one.
    struct Measure {
        uint64_t rate = 0;
        bool trouble = false;
    };
    static Measure Between(const LineSample& from, const LineSample& to);

    // The sample that opened the current second, and what the last whole second measured.
    LineSample secondStart_ = {};
    Measure lastSecond_;
    bool haveSecond_ = false;
    char16_t parts_[kPartCount][kPartLength] = {};
};
