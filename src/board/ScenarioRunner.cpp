// The virtual board's command runner: applies commands to the board through the same
// conversions as the window's rows, and paces waits and ramps on the runner's timeline.
// Called by the virtual board tool's script and standard-input threads.
#include "board/ScenarioRunner.h"

void ScenarioRunner::CatchUp() {
    const int64_t now = clock_.NowUs();
    if (now > timeline_)
        timeline_ = now;
}

template <typename Edit>
void ScenarioRunner::Change(Edit edit) {
    int32_t before[kChannelCount];
    for (int32_t c = 0; c < kChannelCount; ++c)
        before[c] = board_.Value(c);
    edit();
    if (listener_ == nullptr)
        return;
    for (int32_t c = 0; c < kChannelCount; ++c) {
        if (board_.Value(c) != before[c]) {
            listener_->ValuesChanged(board_);
            return;
        }
    }
}

bool ScenarioRunner::Ramp(const ScenarioCommand& command) {
    const int64_t start = timeline_;
    const int64_t end = start + command.durationUs;
    int64_t due = start;
    for (;;) {
        if (!clock_.SleepUntil(due))
            return false;
        // The percentage of the time actually reached, so that a late wake-up catches up
        // at once instead of replaying the steps it missed.
        int64_t at = clock_.NowUs();
        at = at < start ? start : (at > end ? end : at);
        const int64_t span = end - start;
        const int32_t percent =
            span == 0 ? command.target
                      : command.value +
                            static_cast<int32_t>((command.target - command.value) * (at - start) / span);
        Change([&] { board_.SetPercent(command.channel, percent); });
        if (at >= end)
            break;
        due = start + ((at - start) / kRampStepUs + 1) * kRampStepUs;
        if (due > end)
            due = end;
    }
    timeline_ = end;
    return true;
}

bool ScenarioRunner::WaitForPolls(uint64_t count) {
    if (shaper_ != nullptr) {
        const uint64_t target = shaper_->Polls() + count;
        while (shaper_->Polls() < target) {
            if (!clock_.SleepUntil(clock_.NowUs() + kPollWaitStepUs))
                return false;
        }
    }
    // The script follows the host from here: its next waits count from now.
    CatchUp();
    return true;
}

ScenarioOutcome ScenarioRunner::Run(const ScenarioCommand& command) {
    switch (command.verb) {
        case ScenarioVerb::kSet:
            Change([&] { board_.SetPercent(command.channel, command.value); });
            break;
        case ScenarioVerb::kRaw:
            // The value the host reads, also on the light and sound channels: a host test
            // wants exact wire values, not a joystick's position put through a curve.
            Change([&] { board_.values[command.channel].store(command.value, std::memory_order_relaxed); });
            break;
        case ScenarioVerb::kPress:
        case ScenarioVerb::kRelease:
            Change([&] { board_.SetPercent(kChannelButton, command.verb == ScenarioVerb::kPress ? 1 : 0); });
            break;
        case ScenarioVerb::kWait:
            timeline_ += command.durationUs;
            if (!clock_.SleepUntil(timeline_))
                return ScenarioOutcome::kStopped;
            break;
        case ScenarioVerb::kRamp:
            if (!Ramp(command))
                return ScenarioOutcome::kStopped;
            break;
        case ScenarioVerb::kQuit:
            return ScenarioOutcome::kQuit;
        case ScenarioVerb::kWaitPolls:
            if (!WaitForPolls(static_cast<uint64_t>(command.value)))
                return ScenarioOutcome::kStopped;
            break;
        default:
            // A fault takes effect at its place in the timeline, as a value does.
            if (shaper_ != nullptr)
                shaper_->Apply(command, clock_.NowUs());
            break;
    }
    return ScenarioOutcome::kContinue;
}
