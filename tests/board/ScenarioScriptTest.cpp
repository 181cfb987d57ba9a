// The virtual board's command lines as a user types them: what each gives, and what a bad
// one says.
#include <gtest/gtest.h>

#include "board/BoardState.h"
#include "board/ScenarioScript.h"

namespace {

using V = ScenarioVerb;

TEST(ScenarioScriptTest, LinesGiveTheirCommands) {
    const struct {
        const char* line;
        V verb;
        int32_t channel, value, target;
        int64_t durationUs;
    } cases[] = {
        {"set A 50", V::kSet, kChannelInputA, 50, 0, 0},
        {"set d 100", V::kSet, kChannelInputD, 100, 0, 0},
        {"set light 30", V::kSet, kChannelLight, 30, 0, 0},
        {"\tSET Sound 100%   # loud\r", V::kSet, kChannelSound, 100, 0, 0},
        {"set slider 7", V::kSet, kChannelSlider, 7, 0, 0},
        {"set entrada   d 5", V::kSet, kChannelInputD, 5, 0, 0},
        {"set sensor DE LUZ 76", V::kSet, kChannelLight, 76, 0, 0},
        {"set Sensor deslizante 3", V::kSet, kChannelSlider, 3, 0, 0},
        {"raw 5 1023", V::kRaw, kChannelLight, 1023, 0, 0},
        {"press", V::kPress, 0, 0, 0, 0},
        {"Release", V::kRelease, 0, 0, 0, 0},
        {"quit", V::kQuit, 0, 0, 0, 0},
        {"wait 250ms", V::kWait, 0, 0, 0, 250000},
        {"wait 1.5s", V::kWait, 0, 0, 0, 1500000},
        {"wait 1.25s", V::kWait, 0, 0, 0, 1250000},
        {"wait 0.5s", V::kWait, 0, 0, 0, 500000},
        {"wait 2.75s", V::kWait, 0, 0, 0, 2750000},
        {"wait 86400s", V::kWait, 0, 0, 0, kMaxDurationUs},
        {"ramp A 0 100 1s", V::kRamp, kChannelInputA, 0, 100, 1000000},
        {"ramp Sensor de som 100 0 255ms", V::kRamp, kChannelSound, 100, 0, 255000},
        {"wait 12 polls", V::kWaitPolls, 0, 12, 0, 0},
        {"drop 3", V::kDrop, 0, 3, 0, 0},
        {"drop 25%", V::kDropShare, 0, 25, 0, 0},
        {"corrupt 2", V::kCorrupt, 0, 2, 0, 0},
        {"truncate 4 17", V::kTruncate, 0, 4, 17, 0},
        {"silence 1.5s", V::kSilence, 0, 0, 0, 1500000},
        {"babble 100", V::kBabble, 0, 100, 0, 0},
        {"Normal", V::kNormal, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        ScenarioCommand command;
        std::string error;
        ASSERT_EQ(LineKind::kCommand, ParseScenarioLine(c.line, 7, &command, &error))
            << c.line << ": " << error;
        EXPECT_EQ(c.verb, command.verb) << c.line;
        EXPECT_EQ(c.channel, command.channel) << c.line;
        EXPECT_EQ(c.value, command.value) << c.line;
        EXPECT_EQ(c.target, command.target) << c.line;
        EXPECT_EQ(c.durationUs, command.durationUs) << c.line;
        EXPECT_EQ(7, command.line) << c.line;
    }
    for (const char* blank : {"", "   ", "# a comment", "\r", "  # set A 5"}) {
        ScenarioCommand command;
        std::string error;
        EXPECT_EQ(LineKind::kBlank, ParseScenarioLine(blank, 1, &command, &error)) << "'" << blank << "'";
    }
}

TEST(ScenarioScriptTest, BadLinesSayWhatWasExpected) {
    const struct {
        const char* line;
        const char* said;
    } cases[] = {
        {"jump A 5", "unknown command 'jump'; expected set, raw"},
        {"set button 1", "unknown channel 'button'; expected A, B, C, D, light"},
        {"set Entrada 5", "unknown channel 'Entrada'"},
        {"set A", "set CHANNEL PERCENT"},
        {"set A 101", "percentage '101' is not valid; expected a whole number from 0 to 100"},
        {"set A 5.5", "percentage '5.5'"},
        {"raw 3 5", "3 is the button"},
        {"raw 8 5", "wire channel '8'"},
        {"raw 4 1024", "expected a whole number from 0 to 1023"},
        {"raw 4", "raw WIRE VALUE"},
        {"wait 5", "malformed duration '5'; expected a number followed by ms or s"},
        {"wait -1s", "malformed duration '-1s'"},
        {"wait .5s", "malformed duration '.5s'"},
        {"wait 86400.5s", "up to 86400s"},
        {"wait 99999999999999s", "malformed duration"},
        {"wait", "wait DURATION"},
        {"ramp A 0 100", "ramp CHANNEL FROM TO DURATION"},
        {"ramp A 0 200 1s", "percentage '200'"},
        {"press now", "'press' takes nothing after it"},
        {"wait 5 pols", "wait N polls"},
        {"drop 101%", "nor a share from 0% to 100%"},
        {"drop many", "'many' is neither a count of polls"},
        {"corrupt -1", "count '-1' is not valid"},
        {"truncate 1 18", "expected a number of bytes from 0 to 17"},
        {"delay 5ms 1ms 1ms", "delay DURATION [JITTER]"},
        {"silence 5", "malformed duration '5'"},
        {"babble", "babble N"},
        {"set A \x01\xFFok\xC3\xA9", "percentage '\\x01\\xFFok\xC3\xA9' is not valid"},
        {"x23456789012345678901234567890123456789012345678901234567890123456789012345678901",
         "unknown command "
         "'x2345678901234567890123456789012345678901234567890123456789012345678901234567890...';"},
    };
    for (const auto& c : cases) {
        ScenarioCommand command;
        std::string error;
        EXPECT_EQ(LineKind::kError, ParseScenarioLine(c.line, 1, &command, &error)) << c.line;
        EXPECT_NE(std::string::npos, error.find(c.said)) << c.line << " said: " << error;
    }
}

TEST(ScenarioScriptTest, AScriptIsTakenWholeOrRefusedWithItsLine) {
    std::vector<ScenarioCommand> commands;
    std::string error;
    ASSERT_TRUE(
        ParseScenario("\xEF\xBB\xBFset A 5\r\n\r\n# comment\nwait 1s\npress", "ok.txt", &commands, &error))
        << error;
    ASSERT_EQ(3u, commands.size());
    EXPECT_EQ(1, commands[0].line);
    EXPECT_EQ(4, commands[1].line);
    EXPECT_EQ(5, commands[2].line);

    EXPECT_FALSE(ParseScenario("set A 5\n\n# comment\nset A 500\nquit\n", "demo.txt", &commands, &error));
    EXPECT_EQ(0u, error.find("demo.txt:4: percentage '500'")) << error;
    EXPECT_TRUE(commands.empty());
}

}  // namespace
