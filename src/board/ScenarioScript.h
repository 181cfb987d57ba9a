// The virtual board's command language: one command a line, from a scenario script or
// typed on standard input. Turns lines into commands with wire channel numbers, or into a
// message that says what was expected. Portable; the virtual board tool parses its script
// with it before it opens anything, and each line of standard input as it comes.
//
//   set CHANNEL PERCENT        the window's rows: the same percentages and curves
//   raw WIRE VALUE             wire channel 0-7 but 3 (the button), the value the host reads
//   press | release            the board's button
//   wait DURATION              250ms, 1.5s
//   ramp CHANNEL FROM TO DURATION
//   quit
//   wait N polls               until N more polls have come
//   drop N | drop P%           the next N polls, or each poll with probability P %
//   delay DURATION [JITTER]    each reply leaves DURATION (+- up to JITTER) after its poll
//   corrupt N                  the next N replies with one byte changed
//   truncate N LENGTH          the next N replies stop after LENGTH bytes
//   silence DURATION           no reply for DURATION; polls meanwhile are dropped
//   babble COUNT               COUNT bytes that are no reply, unasked
//   normal                     every fault ends
//   # a comment, to the end of the line
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ScenarioVerb {
    kSet,
    kRaw,
    kPress,
    kRelease,
    kWait,
    kRamp,
    kQuit,
    kWaitPolls,
    // The faults, carried out by the virtual board's ReplyShaper.
    kDrop,
    kDropShare,
    kDelay,
    kCorrupt,
    kTruncate,
    kSilence,
    kBabble,
    kNormal,
};

struct ScenarioCommand {
    ScenarioVerb verb = ScenarioVerb::kQuit;
    int32_t channel = 0;     // wire channel: set, raw, ramp
    int32_t value = 0;       // percent (set, ramp's start, drop P%), the wire value (raw), a count
    int32_t target = 0;      // ramp's end percent, truncate's length
    int64_t durationUs = 0;  // wait, ramp, delay, silence
    int64_t jitterUs = 0;    // delay
    int32_t line = 0;        // 1-based line of the script or of standard input
};

// The longest wait or ramp; longer ones are a typing error more often than not.
constexpr int64_t kMaxDurationUs = 86400LL * 1000000;
// The most polls, replies or bytes one fault or wait counts.
constexpr int32_t kMaxFaultCount = 100000000;

enum class LineKind { kCommand, kBlank, kError };

// One line: kCommand with *command filled (line number included), kBlank for a blank or
// comment line, kError with *error saying what is wrong and what was expected.
LineKind ParseScenarioLine(const std::string& text, int32_t line, ScenarioCommand* command,
                           std::string* error);

// A whole script. On the first bad line returns false with "SOURCE:LINE: what was expected".
bool ParseScenario(const std::string& text, const std::string& source, std::vector<ScenarioCommand>* commands,
                   std::string* error);

// The wire channel of a channel name: A, B, C, D, light, sound, slider, or the board's own
// names from the text table (Entrada A, Sensor de luz, ...); case does not matter and runs
// of blanks inside a name count as one. -1 when it names no channel.
int32_t ChannelOfName(const std::string& name);
