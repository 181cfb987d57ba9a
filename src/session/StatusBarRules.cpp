// The status bar's texts from the run's counters; see StatusBarRules.h.
#include "session/StatusBarRules.h"

#include "core/TextFormat.h"
#include "text/BuiltInTexts.h"

namespace {

using PartText = char16_t[StatusBarRules::kPartLength];

// text with its first "%u" replaced by number, cut to the part's length.
void Compose(PartText& out, const BuiltInText& entry, uint64_t number = 0) {
    const char16_t* text = Text(entry);
    int32_t at = 0;
    bool placed = false;
    for (; *text != 0 && at < StatusBarRules::kPartLength - 1; ++text) {
        if (!placed && text[0] == u'%' && text[1] == u'u') {
            placed = true;
            char16_t digits[20];
            const int32_t count = AppendDecimal(digits, 0, number);
            for (int32_t d = 0; d < count && at < StatusBarRules::kPartLength - 1; ++d)
                out[at++] = digits[d];
            ++text;  // past the 'u'
            continue;
        }
        out[at++] = *text;
    }
    out[at] = 0;
}

bool Same(const char16_t* a, const char16_t* b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

}  // namespace

LineSample ReadLine(const LineCounters& counters) {
    LineSample line;
    line.polls = counters.pollsAnswered.load(std::memory_order_relaxed);
    line.otherBytes = counters.otherBytes.load(std::memory_order_relaxed);
    line.lineErrors = counters.lineErrors.load(std::memory_order_relaxed);
    line.lastPollMs = counters.lastPollMs.load(std::memory_order_relaxed);
    line.atMs = MonotonicMs();
    return line;
}

void StatusBarRules::Begin(const LineSample& line) {
    secondStart_ = line;
    lastSecond_ = {};
    haveSecond_ = false;
}

StatusBarRules::Measure StatusBarRules::Between(const LineSample& from, const LineSample& to) {
    Measure measure;
    const int64_t elapsed = to.atMs - from.atMs;
    const uint64_t polls = to.polls - from.polls;
    if (elapsed > 0)
        measure.rate = (polls * 1000 + static_cast<uint64_t>(elapsed) / 2) / static_cast<uint64_t>(elapsed);
    measure.trouble = polls == 0 && to.lineErrors + to.otherBytes != from.lineErrors + from.otherBytes;
    return measure;
}

uint32_t StatusBarRules::Update(RunKind kind, uint32_t port, const LineSample& line) {
    PartText next[kPartCount] = {};
    if (kind == RunKind::kIdle) {
        Compose(next[0], Texts::kStatusIdle);
    } else if (kind == RunKind::kJoystickOnly) {
        Compose(next[0], Texts::kStatusJoystickOnly);
    } else {
        Compose(next[0], Texts::kStatusPort, port);
        // Counted over whole seconds, so that the figure and the hint hold still between
        // the timer's samples; until the first second has passed, over the time so far.
        if (line.atMs - secondStart_.atMs >= kRateWindowMs) {
            lastSecond_ = Between(secondStart_, line);
            secondStart_ = line;
            haveSecond_ = true;
        }
        const Measure measure = haveSecond_ ? lastSecond_ : Between(secondStart_, line);
        const int64_t quiet = line.atMs - line.lastPollMs;
        if (line.polls == 0)
            Compose(next[1], Texts::kStatusWaitingForHost);
        else if (quiet > kQuietMs)
            Compose(next[1], Texts::kStatusNoPolls, static_cast<uint64_t>(quiet / 1000));
        else
            Compose(next[1], Texts::kStatusPollRate, measure.rate);
        // A host at another speed sends garbled bytes and never a poll; a host that polls
        // as well only has other bytes to count.
        if (measure.trouble)
            Compose(next[2], Texts::kStatusWrongSpeed);
        else if (line.otherBytes != 0)
            Compose(next[2], Texts::kStatusOtherBytes, line.otherBytes);
    }
    uint32_t changed = 0;
    for (int32_t p = 0; p < kPartCount; ++p) {
        if (Same(parts_[p], next[p]))
            continue;
        changed |= 1u << p;
        for (int32_t i = 0; i < kPartLength; ++i)
            parts_[p][i] = next[p][i];
    }
    return changed;
}
