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
//   # a comment, to the end of the line
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ScenarioVerb { kSet, kRaw, kPress, kRelease, kWait, kRamp, kQuit };

struct ScenarioCommand {
    ScenarioVerb verb = ScenarioVerb::kQuit;
    int32_t channel = 0;     // wire channel: set, raw, ramp
    int32_t value = 0;       // percent (set, ramp's start) or the wire value (raw)
    int32_t target = 0;      // ramp's end percent
    int64_t durationUs = 0;  // wait, ramp
    int32_t line = 0;        // 1-based line of the script or of standard input
};

// The longest wait or ramp; longer ones are a typing error more often than not.
constexpr int64_t kMaxDurationUs = 86400LL * 1000000;

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
