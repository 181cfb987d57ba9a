// The status bar's texts as the window's timer samples a run: each run is a list of
// samples, the counters as the responder left them, and what each part must then say.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/StatusBarRules.h"

namespace {

constexpr RunKind kPort = RunKind::kPort;
const std::u16string kCom = u"COM31 · 38400 8N1", kWaiting = u"Aguardando o host...",
                     kHint = u"O host parece usar outra velocidade: use 38400 baud, 8N1";

struct Step {
    RunKind kind;
    LineSample line;  // at, polls, other bytes, line errors, last poll
    std::u16string port, host, trouble;
    uint32_t changed;  // the parts whose text the window must set
};

// A run begins at 1000 ms with the counters at zero.
TEST(StatusBarRules, EachPartFollowsTheRunsCounters) {
    const struct {
        const char* what;
        std::vector<Step> steps;
    } runs[] = {
        {"no poll yet",
         {{kPort, {1250, 0, 0, 0, 0}, kCom, kWaiting, u"", 3},
          {kPort, {5000, 0, 0, 0, 0}, kCom, kWaiting, u"", 0}}},
        {"steady polls: over the time so far, then over each whole second, held in between",
         {{kPort, {1250, 12, 0, 0, 1240}, kCom, u"Host: 48 leituras/s", u"", 3},
          {kPort, {2000, 50, 0, 0, 1990}, kCom, u"Host: 50 leituras/s", u"", 2},
          {kPort, {2500, 55, 0, 0, 2490}, kCom, u"Host: 50 leituras/s", u"", 0},
          {kPort, {3000, 62, 0, 0, 2990}, kCom, u"Host: 12 leituras/s", u"", 2}}},
        {"polls stopping: a count once more than 2 s have passed, counting up",
         {{kPort, {2000, 50, 0, 0, 1990}, kCom, u"Host: 50 leituras/s", u"", 3},
          {kPort, {3000, 50, 0, 0, 1990}, kCom, u"Host: 0 leituras/s", u"", 2},
          {kPort, {3990, 50, 0, 0, 1990}, kCom, u"Host: 0 leituras/s", u"", 0},
          {kPort, {4000, 50, 0, 0, 1990}, kCom, u"Sem leituras há 2 s", u"", 2},
          {kPort, {5250, 50, 0, 0, 1990}, kCom, u"Sem leituras há 3 s", u"", 2}}},
        {"errors and other bytes without polls: the hint, then the count once the line is quiet",
         {{kPort, {1250, 0, 0, 3, 0}, kCom, kWaiting, kHint, 7},
          {kPort, {2000, 0, 5, 3, 0}, kCom, kWaiting, kHint, 0},
          {kPort, {3000, 0, 5, 3, 0}, kCom, kWaiting, u"Outros bytes: 5", 4}}},
        {"errors and other bytes with polls in the same second: the count only",
         {{kPort, {2000, 50, 42, 2, 1990}, kCom, u"Host: 50 leituras/s", u"Outros bytes: 42", 7},
          {kPort, {3000, 100, 42, 9, 2990}, kCom, u"Host: 50 leituras/s", u"Outros bytes: 42", 0}}},
        {"joystick-only",
         {{RunKind::kJoystickOnly, {2000, 0, 0, 0, 0}, u"Apenas joystick/teclado", u"", u"", 1}}},
        {"after a stop, as before the run",
         {{kPort, {2000, 50, 7, 0, 1990}, kCom, u"Host: 50 leituras/s", u"Outros bytes: 7", 7},
          {RunKind::kIdle, {2250, 50, 7, 0, 1990}, u"Parado", u"", u"", 7}}},
    };
    for (const auto& run : runs) {
        StatusBarRules rules;
        rules.Begin({1000, 0, 0, 0, 0});
        for (size_t i = 0; i < run.steps.size(); ++i) {
            const Step& step = run.steps[i];
            EXPECT_EQ(step.changed, rules.Update(step.kind, 31, step.line)) << run.what << ", sample " << i;
            EXPECT_EQ(step.port, std::u16string(rules.Part(0))) << run.what << ", sample " << i;
            EXPECT_EQ(step.host, std::u16string(rules.Part(1))) << run.what << ", sample " << i;
            EXPECT_EQ(step.trouble, std::u16string(rules.Part(2))) << run.what << ", sample " << i;
        }
    }
}

}  // namespace
