// Carries out the virtual board's commands on a BoardState, on a timeline: the script's
// waits are measured from its start, so that a long script does not drift by the time
// each step took, and ramps move in steps of at most 10 ms. The clock is a seam, so that
// tests run hours of script in microseconds. Portable; the virtual board tool runs one
// runner for its script and one for standard input, each on its own thread.
#pragma once

#include <cstdint>

#include "board/BoardState.h"
#include "board/ReplyShaper.h"
#include "board/ScenarioScript.h"

constexpr int64_t kRampStepUs = 10000;
// How often `wait N polls` looks at the count.
constexpr int64_t kPollWaitStepUs = 1000;

class ScenarioClock {
  public:
    virtual ~ScenarioClock() = default;
    // Microseconds of a monotonic clock.
    virtual int64_t NowUs() = 0;
    // Returns at the given time (at once when it has passed) with true, or early with
    // false when the run is ending.
    virtual bool SleepUntil(int64_t us) = 0;
};

// Told after a command changed at least one channel's value.
class ScenarioListener {
  public:
    virtual ~ScenarioListener() = default;
    virtual void ValuesChanged(const BoardState& board) = 0;
};

enum class ScenarioOutcome { kContinue, kQuit, kStopped };

class ScenarioRunner {
  public:
    // shaper: takes the fault commands and counts the polls `wait N polls` waits for; with
    // none, those commands do nothing.
    ScenarioRunner(BoardState& board, ScenarioClock& clock, ScenarioListener* listener,
                   ReplyShaper* shaper = nullptr)
        : board_(board), clock_(clock), listener_(listener), shaper_(shaper), timeline_(clock.NowUs()) {}

    // The timeline starts now: a script's waits add up from here.
    void StartTimeline() { timeline_ = clock_.NowUs(); }
    // A command typed after a pause starts from now, not from where the last one ended.
    void CatchUp();

    // kQuit for quit, kStopped when the run ended during a wait or a ramp.
    ScenarioOutcome Run(const ScenarioCommand& command);

  private:
    // Applies an edit; tells the listener when a value changed.
    template <typename Edit>
    void Change(Edit edit);
    bool Ramp(const ScenarioCommand& command);
    bool WaitForPolls(uint64_t count);

    BoardState& board_;
    ScenarioClock& clock_;
    ScenarioListener* listener_;
    ReplyShaper* shaper_;
    int64_t timeline_;  // when the current command is due
};
