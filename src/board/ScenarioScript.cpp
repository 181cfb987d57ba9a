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

const char kCountExpected[] = "expected a whole number from 0 to 100000000";

const char kDurationExpected[] = "expected a number followed by ms or s, such as 250ms or 1.5s, up to 86400s";

// How a message shows what was typed: at most kQuotedLength characters, then "...", and
// every byte that is not printable text (control bytes, bytes outside a UTF-8 sequence)
// as \xHH, so that a message stays one readable line whatever the script holds.
constexpr size_t kQuotedLength = 80;

std::string Quoted(const std::string& text) {
    std::string out = "'";
    size_t shown = 0, i = 0;
    while (i < text.size() && shown < kQuotedLength) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                length = 0;  // a broken sequence: its first byte is escaped
        }
        if ((length == 1 && c >= 0x20 && c < 0x7F) || length > 1) {
            out.append(text, i, length);
            i += length;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
            ++i;
        }
        ++shown;
    }
    if (i < text.size())
        out += "...";
    return out + "'";
}

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
            return Fail(error, "unknown channel " + Quoted(name) + "; " + kChannelsExpected);
        const size_t first = count - numbers;
        for (size_t i = first; i < first + (ramp ? 2 : 1); ++i) {
            if (!ParsePercent(words[i], i == first ? &parsed.value : &parsed.target)) {
                return Fail(error, "percentage " + Quoted(words[i]) +
                                       " is not valid; expected a whole number from 0 to 100");
            }
        }
        if (ramp && !ParseDuration(words[count - 1], &parsed.durationUs))
            return Fail(error, "malformed duration " + Quoted(words[count - 1]) + "; " + kDurationExpected);
    } else if (verb == "raw") {
        if (count != 3)
            return Fail(error, "'raw' expects a wire channel and a value: raw WIRE VALUE");
        parsed.verb = ScenarioVerb::kRaw;
        if (!ParseWhole(words[1], 0, kChannelCount - 1, &parsed.channel) ||
            parsed.channel == kChannelButton) {
            return Fail(error, "wire channel " + Quoted(words[1]) +
                                   " cannot be set raw; expected 0, 1, 2, 4, 5, 6 or 7 "
                                   "(3 is the button: use press and release)");
        }
        if (!ParseWhole(words[2], 0, 1023, &parsed.value))
            return Fail(error, "raw value " + Quoted(words[2]) +
                                   " is not valid; expected a whole number from 0 to 1023");
    } else if (verb == "wait" && count == 3 && Lower(words[2][0]) == 'p') {
        if (words[2] != "polls" && words[2] != "poll")
            return Fail(error, "'wait' expects a duration or a count of polls: wait DURATION, wait N polls");
        parsed.verb = ScenarioVerb::kWaitPolls;
        if (!ParseWhole(words[1], 0, kMaxFaultCount, &parsed.value))
            return Fail(error, "count " + Quoted(words[1]) + " is not valid; " + kCountExpected);
    } else if (verb == "wait") {
        if (count != 2)
            return Fail(error, "'wait' expects a duration or a count of polls: wait DURATION, wait N polls");
        parsed.verb = ScenarioVerb::kWait;
        if (!ParseDuration(words[1], &parsed.durationUs))
            return Fail(error, "malformed duration " + Quoted(words[1]) + "; " + kDurationExpected);
    } else if (verb == "press" || verb == "release" || verb == "quit" || verb == "normal") {
        if (count != 1)
            return Fail(error, Quoted(verb) + " takes nothing after it");
        parsed.verb = verb == "press"     ? ScenarioVerb::kPress
                      : verb == "release" ? ScenarioVerb::kRelease
                      : verb == "quit"    ? ScenarioVerb::kQuit
                                          : ScenarioVerb::kNormal;
    } else if (verb == "drop") {
        if (count != 2)
            return Fail(error, "'drop' expects a count of polls or a share: drop N, drop P%");
        const bool share = words[1].back() == '%';
        parsed.verb = share ? ScenarioVerb::kDropShare : ScenarioVerb::kDrop;
        if (share ? !ParsePercent(words[1], &parsed.value)
                  : !ParseWhole(words[1], 0, kMaxFaultCount, &parsed.value))
            return Fail(error, Quoted(words[1]) + " is neither a count of polls (" + kCountExpected +
                                   ") nor a share from 0% to 100%");
    } else if (verb == "corrupt" || verb == "babble") {
        if (count != 2)
            return Fail(error, "'" + verb + "' expects a count: " + verb + " N");
        parsed.verb = verb == "corrupt" ? ScenarioVerb::kCorrupt : ScenarioVerb::kBabble;
        if (!ParseWhole(words[1], 0, kMaxFaultCount, &parsed.value))
            return Fail(error, "count " + Quoted(words[1]) + " is not valid; " + kCountExpected);
    } else if (verb == "truncate") {
        if (count != 3)
            return Fail(error, "'truncate' expects a count of replies and a length: truncate N LENGTH");
        parsed.verb = ScenarioVerb::kTruncate;
        if (!ParseWhole(words[1], 0, kMaxFaultCount, &parsed.value))
            return Fail(error, "count " + Quoted(words[1]) + " is not valid; " + kCountExpected);
        if (!ParseWhole(words[2], 0, kReplyLength - 1, &parsed.target))
            return Fail(error, "length " + Quoted(words[2]) +
                                   " is not valid; expected a number of bytes from 0 to 17");
    } else if (verb == "delay" || verb == "silence") {
        const bool delay = verb == "delay";
        if (count != 2 && !(delay && count == 3))
            return Fail(error,
                        delay ? "'delay' expects a duration and may take a jitter: delay DURATION [JITTER]"
                              : "'silence' expects a duration: silence DURATION");
        parsed.verb = delay ? ScenarioVerb::kDelay : ScenarioVerb::kSilence;
        for (size_t i = 1; i < count; ++i) {
            if (!ParseDuration(words[i], i == 1 ? &parsed.durationUs : &parsed.jitterUs))
                return Fail(error, "malformed duration " + Quoted(words[i]) + "; " + kDurationExpected);
        }
    } else {
        return Fail(error, "unknown command " + Quoted(words[0]) +
                               "; expected set, raw, press, release, wait, ramp, quit, drop, delay, "
                               "corrupt, truncate, silence, babble or normal");
    }
    *command = parsed;
    return LineKind::kCommand;
}

bool ParseScenario(const std::string& text, const std::string& source, std::vector<ScenarioCommand>* commands,
                   std::string* error) {
    commands->clear();
    int32_t line = 0;
    // Notepad starts a UTF-8 file with a byte-order mark; it is no part of the first line.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
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
