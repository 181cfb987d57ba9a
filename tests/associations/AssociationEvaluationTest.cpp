// One evaluation pass at a time: key strokes through the recording keyboard, channel
// values and the board button through the BoardState.
#include "AssociationFixture.h"

namespace {

constexpr uint16_t kScanA = 0x1E, kScanB = 0x30, kScanUp = 0x148, kScanSpace = 0x39;

struct KeyStep {
    const char* what;
    std::vector<uint16_t> buttons;  // held in the report; no report at all when report is false
    uint32_t x;
    uint32_t hat;
    std::vector<SendCall> calls;  // what the pass after the report sends
    bool report = true;
};

class AssociationEvaluationTest : public AssociationFixture {
  protected:
    void Run(const std::vector<KeyStep>& steps) {
        for (const KeyStep& step : steps) {
            SCOPED_TRACE(step.what);
            if (step.report) {
                ReportBuilder report(layout);
                for (uint16_t button : step.buttons)
                    report.Press(button);
                report.Set(kUsageX, step.x).Set(kUsageHatSwitch, step.hat);
                Deliver(Handle(1), report.Bytes());
            }
            Pass();
            EXPECT_EQ(step.calls, RecordingKeyboard::TakeCalls());
        }
    }
};

TEST_F(AssociationEvaluationTest, EachPressAndReleaseSendsOneEventAndAPassOneCall) {
    // keyAssociations in this order: Botão 2 -> A, Botão 1 -> Seta acima, Botão 3 -> B,
    // Direcional acima -> Espaço.
    model.AddAssociation(kPageButton, 2, false, kTargetA);
    model.AddAssociation(kPageButton, 1, false, kTargetUp);
    model.AddAssociation(kPageButton, 3, false, kTargetB);
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetSpace);
    StartRun();
    Run({
        {"Botão 2 already held, no report yet", {}, 0, 0, {}, false},
        {"the next report carries it", {2}, 100, 0, {{Press(kScanA)}}},
        {"held", {2}, 200, 0, {}},
        {"held, idle pass", {}, 0, 0, {}, false},
        {"held", {2}, 300, 0, {}},
        {"released", {}, 300, 0, {{Release(kScanA)}}},
        {"idle", {}, 300, 0, {}},
        {"arrow: extended flag", {1}, 300, 0, {{Press(kScanUp)}}},
        {"arrow released", {}, 300, 0, {{Release(kScanUp)}}},
        {"two at once: the later association first", {2, 3}, 300, 0, {{Press(kScanB), Press(kScanA)}}},
        {"both held", {2, 3}, 400, 0, {}},
        {"both released", {}, 400, 0, {{Release(kScanB), Release(kScanA)}}},
        {"hat up: its direction", {}, 400, 1, {{Press(kScanSpace)}}},
        {"hat up-right: still up", {}, 400, 2, {}},
        {"hat centred", {}, 400, 0, {{Release(kScanSpace)}}},
    });
    EXPECT_EQ(0, RecordingKeyboard::RepeatedPresses());
    EXPECT_EQ(0, RecordingKeyboard::RepeatedReleases());
    EXPECT_EQ(0u, ReleaseHeldKeys(model, scratch, RecordingKeyboard::Functions()));

    // Keys left down when the run ends are released, once, in one call.
    Run({{"two keys held", {1, 3}, 400, 1, {{Press(kScanSpace), Press(kScanB), Press(kScanUp)}}}});
    EXPECT_EQ(3u, ReleaseHeldKeys(model, scratch, RecordingKeyboard::Functions()));
    EXPECT_EQ((std::vector<SendCall>{{Release(kScanSpace), Release(kScanB), Release(kScanUp)}}),
              RecordingKeyboard::TakeCalls());
    EXPECT_EQ(0u, ReleaseHeldKeys(model, scratch, RecordingKeyboard::Functions()));
    EXPECT_EQ(0, RecordingKeyboard::KeysDown());
    EXPECT_EQ(0, RecordingKeyboard::RepeatedReleases());
}

TEST_F(AssociationEvaluationTest, AnAxisDrivesTheWireChannelOfEachChannelTarget) {
    struct Row {
        int32_t wire;
        int32_t atLowest, atHighest;
    };
    // Name index 0..6: Entrada A..D, light, sound, slider.
    const Row rows[] = {{4, 0, 1023}, {2, 0, 1023}, {1, 0, 1023}, {0, 0, 1023},
                        {5, 1023, 0}, {6, 18, 654}, {7, 0, 1023}};
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);
    StartRun();
    uint32_t x = 1023;
    for (int32_t name = 0; name < 7; ++name) {
        SCOPED_TRACE(name);
        model.AddAssociation(kPageDesktop, kUsageX, true, name);
        for (uint32_t position : {0u, 1023u}) {
            for (int c = 0; c < kChannelCount; ++c)
                board.values[c].store(500);
            x = position;
            Report({}, x);
            Pass();
            for (int c = 0; c < kChannelCount; ++c) {
                const Row& row = rows[name];
                EXPECT_EQ(c != row.wire ? 500 : (x == 0 ? row.atLowest : row.atHighest), board.Value(c)) << c;
            }
        }
        // The stop hands the last position back only with the channels.
        board.values[rows[name].wire].store(500);
        model.ApplyInputsToBoard(board, false);
        EXPECT_EQ(500, board.Value(rows[name].wire));
        model.ApplyInputsToBoard(board, true);
        EXPECT_EQ(rows[name].atHighest, board.Value(rows[name].wire));
    }
    EXPECT_TRUE(RecordingKeyboard::TakeCalls().empty());
}

TEST_F(AssociationEvaluationTest, TheBoardButtonIsPressedWhileItsInputIsNonzero) {
    struct Case {
        const char* what;
        uint32_t page, usage;
        std::vector<uint16_t> pressedButtons;
        uint32_t pressedX;
    };
    const Case cases[] = {
        {"a button", kPageButton, 3, {3}, 0},
        {"an axis at 256, whose low byte is 0", kPageDesktop, kUsageX, {}, 256},
    };
    model.AddAssociation(kPageButton, 3, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);  // enabled for the second case
    StartRun();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model.AddAssociation(c.page, c.usage, false, kTargetBoardButton);
        board.SetPercent(kChannelButton, 0);
        ReportBuilder pressed(layout);
        for (uint16_t button : c.pressedButtons)
            pressed.Press(button);
        Deliver(Handle(1), pressed.Set(kUsageX, c.pressedX).Bytes());
        Pass();
        EXPECT_EQ(0, board.Value(kChannelButton));
        EXPECT_NE(0, board.Percent(kChannelButton));
        board.SetPercent(kChannelButton, 0);
        model.ApplyInputsToBoard(board, false);
        EXPECT_EQ(0, board.Value(kChannelButton)) << "start and stop";
        Report({}, 0);
        Pass();
        EXPECT_EQ(1023, board.Value(kChannelButton));
    }
}

TEST(BoardStateClampTest, ValuesOffTheWireRangeAreStoredClamped) {
    struct Case {
        bool raw;
        int32_t channel, input, value;
    };
    const Case cases[] = {
        {true, 0, 2000, 1023}, {true, 4, -7, 0},      {true, 5, 5000, 0},     {true, 6, 5000, 1023},
        {true, 7, 1023, 1023}, {false, 2, 250, 1023}, {false, 1, -3, 0},      {false, 5, 200, 0},
        {false, 0, 100, 1023}, {true, 5, 1023, 0},    {true, 2, 70000, 1023}, {true, 6, 0, 18},
    };
    BoardState board;
    for (const Case& c : cases) {
        c.raw ? board.SetRaw(c.channel, c.input) : board.SetPercent(c.channel, c.input);
        EXPECT_EQ(c.value, board.Value(c.channel))
            << (c.raw ? "SetRaw(" : "SetPercent(") << c.channel << ", " << c.input << ")";
    }
    EXPECT_EQ(100, PercentOfValue(1023));
    EXPECT_EQ(99, PercentOfValue(1022));
}

}  // namespace
