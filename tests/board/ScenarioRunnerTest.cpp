// The scenario runner on a simulated clock: the values a host would read, and when.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "board/ScenarioRunner.h"

namespace {

// Every sleep ends lateUs after its time, as on a busy machine; from stopAtUs on the run
// is ending and sleeps return false. Keeps the times it was asked to sleep until.
class FakeClock : public ScenarioClock {
  public:
    int64_t NowUs() override { return now; }
    bool SleepUntil(int64_t us) override {
        sleeps.push_back({us, now});
        if (stopAtUs >= 0 && us > stopAtUs) {
            now = now > stopAtUs ? now : stopAtUs;
            return false;
        }
        if (us > now)
            now = us + lateUs;
        return true;
    }
    int64_t now = 0, lateUs = 0, stopAtUs = -1;
    struct Sleep {
        int64_t untilUs, calledAtUs;
    };
    std::vector<Sleep> sleeps;
};

struct Change {
    int64_t atUs;
    std::array<int32_t, kChannelCount> values;
};

class Recorder : public ScenarioListener {
  public:
    explicit Recorder(FakeClock& clock) : clock_(clock) {}
    void ValuesChanged(const BoardState& board) override {
        Change change{clock_.now, {}};
        for (int32_t c = 0; c < kChannelCount; ++c)
            change.values[c] = board.Value(c);
        changes.push_back(change);
    }
    std::vector<Change> changes;

  private:
    FakeClock& clock_;
};

ScenarioCommand Parse(const char* line) {
    ScenarioCommand command;
    std::string error;
    EXPECT_EQ(LineKind::kCommand, ParseScenarioLine(line, 1, &command, &error)) << line << ": " << error;
    return command;
}

struct Fixture {
    FakeClock clock;
    Recorder recorder{clock};
    BoardState board;
    ScenarioRunner runner{board, clock, &recorder};
};

TEST(ScenarioRunnerTest, CommandsSetWhatTheHostReadsUntilAQuitOrAStop) {
    Fixture f;
    f.board.SetPercent(kChannelInputA, 100);
    f.board.SetPercent(kChannelButton, 0);
    const struct {
        const char* line;
        int32_t channel, value;
        bool changed;
    } steps[] = {
        {"set light 30", kChannelLight, 623, true},  // through the window's curve
        {"raw 5 500", kChannelLight, 500, true},     // the wire value as given
        {"raw 6 1023", kChannelSound, 1023, true},
        {"set A 100", kChannelInputA, 1023, false},  // no change, nothing logged
        {"press", kChannelButton, 0, true},          // active low
        {"release", kChannelButton, 1023, true},
    };
    for (const auto& s : steps) {
        const size_t before = f.recorder.changes.size();
        EXPECT_EQ(ScenarioOutcome::kContinue, f.runner.Run(Parse(s.line)));
        EXPECT_EQ(s.value, f.board.Value(s.channel)) << s.line;
        EXPECT_EQ(s.changed ? before + 1 : before, f.recorder.changes.size()) << s.line;
    }
    EXPECT_EQ(ScenarioOutcome::kQuit, f.runner.Run(Parse("quit")));
    // A stop ends a wait or a ramp at once.
    f.clock.stopAtUs = f.clock.now + 50000;
    EXPECT_EQ(ScenarioOutcome::kStopped, f.runner.Run(Parse("wait 1s")));
    EXPECT_EQ(ScenarioOutcome::kStopped, f.runner.Run(Parse("ramp A 0 100 1s")));
    EXPECT_EQ(f.clock.stopAtUs, f.clock.now);
}

// Each sleep oversleeps 3 ms; 200 waits of 100 ms must not add up to 600 ms late.
TEST(ScenarioRunnerTest, WaitsAreMeasuredFromTheScriptsStart) {
    Fixture f;
    f.clock.now = 5000;
    f.clock.lateUs = 3000;
    f.runner.StartTimeline();
    for (int i = 1; i <= 200; ++i) {
        f.runner.Run(Parse("wait 100ms"));
        f.runner.Run(Parse(i % 2 ? "set A 1" : "set A 2"));
    }
    ASSERT_EQ(200u, f.recorder.changes.size());
    EXPECT_EQ(5000 + 200 * 100000 + 3000, f.recorder.changes.back().atUs);

    // Typed after a pause, a wait starts from when it was typed.
    f.clock.now += 60000000;
    f.runner.CatchUp();
    const int64_t typed = f.clock.now;
    f.runner.Run(Parse("wait 1s"));
    EXPECT_EQ(typed + 1000000 + 3000, f.clock.now);
}

TEST(ScenarioRunnerTest, RampsMoveMonotonicallyInStepsOfAtMost10Ms) {
    const struct {
        const char* line;
        int32_t channel, first, last;
        int64_t lateUs;
    } ramps[] = {
        {"ramp A 0 100 1s", kChannelInputA, 0, 1023, 0},
        {"ramp light 0 100 255ms", kChannelLight, 1023, 0, 0},
        {"ramp Sensor de som 100 0 2s", kChannelSound, 654, 18, 0},
        {"ramp slider 10 90 1s", kChannelSlider, 112, 930, 25000},  // a busy machine: late steps
    };
    for (const auto& r : ramps) {
        Fixture f;
        f.clock.lateUs = r.lateUs;
        f.runner.Run(Parse("set A 50"));
        f.runner.Run(Parse("set light 50"));
        f.runner.Run(Parse("set sound 50"));
        f.runner.Run(Parse("set slider 50"));
        f.recorder.changes.clear();
        f.clock.sleeps.clear();
        const int64_t start = f.clock.now;
        const ScenarioCommand ramp = Parse(r.line);
        ASSERT_EQ(ScenarioOutcome::kContinue, f.runner.Run(ramp));
        const auto& changes = f.recorder.changes;
        ASSERT_GE(changes.size(), 2u) << r.line;
        EXPECT_EQ(r.first, changes.front().values[r.channel]) << r.line;
        EXPECT_EQ(start, changes.front().atUs) << r.line;
        EXPECT_EQ(r.last, changes.back().values[r.channel]) << r.line;
        EXPECT_LE(changes.back().atUs, start + ramp.durationUs + r.lateUs) << r.line;
        const int direction = r.last > r.first ? 1 : -1;
        for (size_t i = 1; i < changes.size(); ++i) {
            EXPECT_GE(direction * (changes[i].values[r.channel] - changes[i - 1].values[r.channel]), 0)
                << r.line << " step " << i;
        }
        // Never asleep for more than 10 ms, and the last time until the ramp's end.
        const auto& sleeps = f.clock.sleeps;
        EXPECT_EQ(start + ramp.durationUs, sleeps.back().untilUs) << r.line;
        for (const auto& s : sleeps)
            EXPECT_LE(s.untilUs - s.calledAtUs, 10000) << r.line << " at " << s.calledAtUs;
        // What follows the ramp is due from its end.
        f.runner.Run(Parse("wait 10ms"));
        EXPECT_EQ(start + ramp.durationUs + 10000, f.clock.sleeps.back().untilUs) << r.line;
    }
}

// A host polls once a millisecond from 3 s on: `wait 5 polls` ends at its fifth poll, and
// the script's next wait counts from there; the fault after it takes effect then.
TEST(ScenarioRunnerTest, WaitForPollsFollowsTheHost) {
    struct PollingClock : FakeClock {
        bool SleepUntil(int64_t us) override {
            const bool on = FakeClock::SleepUntil(us);
            if (now >= 3000000 && shaper != nullptr)
                shaper->Shape(reply, now);
            return on;
        }
        ReplyShaper* shaper = nullptr;
        uint8_t reply[kReplyLength] = {};
    } clock;
    BoardState board;
    ReplyShaper shaper(1);
    clock.shaper = &shaper;
    ScenarioRunner runner(board, clock, nullptr, &shaper);
    EXPECT_EQ(ScenarioOutcome::kContinue, runner.Run(Parse("wait 5 polls")));
    EXPECT_EQ(5u, shaper.Polls());
    EXPECT_EQ(3004000, clock.now);
    runner.Run(Parse("drop 1"));
    EXPECT_EQ(ReplyFate::kDropped, shaper.Shape(clock.reply, clock.now));
    runner.Run(Parse("wait 10ms"));
    EXPECT_EQ(3014000, clock.now);
}

}  // namespace
