// Parsing of the virtual board's command lines. The tool calls it for its whole script
// before opening any port, so that a typing error costs nothing, and for each line read
// from standard input.
#include "board/ScenarioScript.h"

#include "board/BoardState.h"
#include "text/TextTable.h"

namespace {

// Short names in the order of the text table's channel names B0..B6, so that both share
// kNameToWire.
const char* const kShortNames[] = {"A", "B", "C", "D", "light", "sound", "slider"};
static_assert(sizeof(kShortNames) / sizeof(kShortNames[0]) == kManualRowCount, "a short name for each row");

const char kChannelsExpected[] =
    "expected A, B, C, D, light, sound, slider or a board name such as 'Sensor de luz'";

// The text table's names are UTF-16; a terminal types UTF-8.
std::string Utf8(const char16_t* text) {
    std::string out;
    for (; *text != 0; ++text) {
        uint32_t c = *text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (*++text - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// ASCII letters only: other bytes are parts of UTF-8 sequences and must match exactly.
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& typed, const std::string& name) {
    if (typed.size() != name.size())
        return false;
    for (size_t i = 0; i < typed.size(); ++i) {
        if (Lower(typed[i]) != Lower(name[i]))
            return false;
    }
    return true;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    const size_t end = text.find('#');
    const size_t length = end == std::string::npos ? text.size() : end;
    size_t i = 0;
    while (i < length) {
        while (i < length && IsBlank(text[i]))
            ++i;
        const size_t start = i;
        while (i < length && !IsBlank(text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

// Channel names may hold blanks ("Sensor de luz"): the words between the verb and the
// numbers form the name.
std::string JoinWords(const std::vector<std::string>& words, size_t first, size_t end) {
    std::string joined;
    for (size_t i = first; i < end; ++i) {
        if (i > first)
            joined += ' ';
        joined += words[i];
    }
    return joined;
}

// A whole decimal number from minimum to maximum, digits only.
bool ParseWhole(const std::string& text, int32_t minimum, int32_t maximum, int32_t* value) {
    if (text.empty() || text.size() > 9)
        return false;
    int32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    if (number < minimum || number > maximum)
        return false;
    *value = number;
    return true;
}

// A percentage may carry its sign: "50" or "50%".
bool ParsePercent(std::string text, int32_t* percent) {
    if (!text.empty() && text.back() == '%')
        text.pop_back();
    return ParseWhole(text, 0, 100, percent);
}

// "250ms", "2s", "1.5s", "0.25ms": a number with an optional fraction and its unit.
// Fractions finer than a microsecond are dropped.
bool ParseDuration(const std::string& text, int64_t* durationUs) {
    int64_t unitUs;
    size_t numberLength;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        unitUs = 1000;
        numberLength = text.size() - 2;
    } else if (text.size() > 1 && text.back() == 's') {
        unitUs = 1000000;
        numberLength = text.size() - 1;
    } else {
        return false;
    }
    int64_t whole = 0, fraction = 0, scale = 1;
    size_t digits = 0;
    bool inFraction = false;
    for (size_t i = 0; i < numberLength; ++i) {
        const char c = text[i];
        if (c == '.' && !inFraction && digits > 0) {
            inFraction = true;
        } else if (c >= '0' && c <= '9') {
            if (!inFraction) {
                if (++digits > 12)
                    return false;
                whole = whole * 10 + (c - '0');
            } else if (scale < 1000000) {
                fraction = fraction * 10 + (c - '0');
                scale *= 10;
            }
        } else {
            return false;
        }
    }
    if (digits == 0 || text[numberLength - 1] == '.' || whole > kMaxDurationUs / unitUs)
        return false;
    const int64_t total = whole * unitUs + fraction * unitUs / scale;
    if (total > kMaxDurationUs)
        return false;
    *durationUs = total;
    return true;
}

const char kDurationExpected[] = "expected a number followed by ms or s, such as 250ms or 1.5s, up to 86400s";

LineKind Fail(std::string* error, const std::string& message) {
    *error = message;
    return LineKind::kError;
}

}  // namespace

int32_t ChannelOfName(const std::string& name) {
    const std::vector<std::string> words = Words(name);
    const std::string typed = JoinWords(words, 0, words.size());
    for (int32_t i = 0; i < kManualRowCount; ++i) {
        if (SameName(typed, kShortNames[i]) || SameName(typed, Utf8(TextTable::ChannelName(i))))
            return kNameToWire[i];
    }
    return -1;
}

LineKind ParseScenarioLine(const std::string& text, int32_t line, ScenarioCommand* command,
                           std::string* error) {
    const std::vector<std::string> words = Words(text);
    if (words.empty())
        return LineKind::kBlank;
    std::string verb = words[0];
    for (char& c : verb)
        c = Lower(c);
    ScenarioCommand parsed;
    parsed.line = line;
    const size_t count = words.size();

    if (verb == "set" || verb == "ramp") {
        const bool ramp = verb == "ramp";
        const size_t numbers = ramp ? 3 : 1;
        if (count < 2 + numbers) {
            return Fail(error, ramp ? "'ramp' expects a channel, two percentages and a duration: "
                                      "ramp CHANNEL FROM TO DURATION"
                                    : "'set' expects a channel and a percentage: set CHANNEL PERCENT");
        }
        const std::string name = JoinWords(words, 1, count - numbers);
        parsed.verb = ramp ? ScenarioVerb::kRamp : ScenarioVerb::kSet;
        parsed.channel = ChannelOfName(name);
        if (parsed.channel < 0)
            return Fail(error, "unknown channel '" + name + "'; " + kChannelsExpected);
        const size_t first = count - numbers;
        for (size_t i = first; i < first + (ramp ? 2 : 1); ++i) {
            if (!ParsePercent(words[i], i == first ? &parsed.value : &parsed.target)) {
                return Fail(error, "percentage '" + words[i] +
                                       "' is not valid; expected a whole number from 0 to 100");
            }
        }
        if (ramp && !ParseDuration(words[count - 1], &parsed.durationUs))
            return Fail(error, "malformed duration '" + words[count - 1] + "'; " + kDurationExpected);
    } else if (verb == "raw") {
        if (count != 3)
            return Fail(error, "'raw' expects a wire channel and a value: raw WIRE VALUE");
        parsed.verb = ScenarioVerb::kRaw;
        if (!ParseWhole(words[1], 0, kChannelCount - 1, &parsed.channel) ||
            parsed.channel == kChannelButton) {
            return Fail(error, "wire channel '" + words[1] +
                                   "' cannot be set raw; expected 0, 1, 2, 4, 5, 6 or 7 "
                                   "(3 is the button: use press and release)");
        }
        if (!ParseWhole(words[2], 0, 1023, &parsed.value))
            return Fail(error,
                        "raw value '" + words[2] + "' is not valid; expected a whole number from 0 to 1023");
    } else if (verb == "wait") {
        if (count != 2)
            return Fail(error, "'wait' expects a duration: wait DURATION");
        parsed.verb = ScenarioVerb::kWait;
        if (!ParseDuration(words[1], &parsed.durationUs))
            return Fail(error, "malformed duration '" + words[1] + "'; " + kDurationExpected);
    } else if (verb == "press" || verb == "release" || verb == "quit") {
        if (count != 1)
            return Fail(error, "'" + verb + "' takes nothing after it");
        parsed.verb = verb == "press" ? ScenarioVerb::kPress
                                      : (verb == "release" ? ScenarioVerb::kRelease : ScenarioVerb::kQuit);
    } else {
        return Fail(error, "unknown command '" + words[0] +
                               "'; expected set, raw, press, release, wait, ramp or quit");
    }
    *command = parsed;
    return LineKind::kCommand;
}

bool ParseScenario(const std::string& text, const std::string& source, std::vector<ScenarioCommand>* commands,
                   std::string* error) {
    commands->clear();
    int32_t line = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++line;
        ScenarioCommand command;
        std::string problem;
        const LineKind kind = ParseScenarioLine(text.substr(start, end - start), line, &command, &problem);
        if (kind == LineKind::kError) {
            *error = source + ":" + std::to_string(line) + ": " + problem;
            commands->clear();
            return false;
        }
        if (kind == LineKind::kCommand)
            commands->push_back(command);
        start = end + 1;
    }
    return true;
}
