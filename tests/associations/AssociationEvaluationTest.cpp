// One evaluation pass at a time: key strokes through the recording keyboard, channel
// values and the board button through the BoardState.
#include "AssociationFixture.h"

namespace {

class AssociationEvaluationTest : public AssociationFixture {};

TEST_F(AssociationEvaluationTest, EachPressAndReleaseSendsOneEventAndAPassOneCall) {
    // keyAssociations: Botão 2 -> A, Botão 1 -> Seta acima, Botão 3 -> B, Direcional acima -> Espaço.
    model.AddAssociation(kPageButton, 2, false, kTargetA);
    model.AddAssociation(kPageButton, 1, false, kTargetUp);
    model.AddAssociation(kPageButton, 3, false, kTargetB);
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetSpace);
    StartRun();
    const struct {
        const char* what;
        bool report;
        std::vector<uint16_t> buttons;
        uint32_t hat;
        std::vector<SendCall> calls;
    } steps[] = {
        {"Botão 2 held when reading starts, no report yet", false, {}, 0, {}},
        {"the next report carries it", true, {2}, 0, {{kDownA}}},
        {"held", true, {2}, 0, {}},
        {"held, idle pass", false, {}, 0, {}},
        {"released", true, {}, 0, {{kUpA}}},
        {"arrow: extended", true, {1}, 0, {{kDownArrowUp}}},
        {"arrow released", true, {}, 0, {{kUpArrowUp}}},
        {"two at once: the later association first", true, {2, 3}, 0, {{kDownB, kDownA}}},
        {"both held", true, {2, 3}, 0, {}},
        {"both released", true, {}, 0, {{kUpB, kUpA}}},
        {"hat up: its direction", true, {}, 1, {{kDownSpace}}},
        {"Botão 2 while the hat stays up", true, {2}, 1, {{kDownA}}},
        {"hat up-right: still up", true, {}, 2, {{kUpA}}},
        {"hat centred", true, {}, 0, {{kUpSpace}}},
        {"left down at the end", true, {1, 3}, 1, {{kDownSpace, kDownB, kDownArrowUp}}},
    };
    for (uint32_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i].what);
        if (steps[i].report)
            Deliver(Handle(1), ReportBytes(steps[i].buttons, 100 + i, steps[i].hat));  // X always moves
        Pass();
        EXPECT_EQ(steps[i].calls, RecordingKeyboard::Take());
    }
    // The end of a run releases what it left down, once, in one call.
    EXPECT_EQ(3u, ReleaseHeldKeys(model, scratch, RecordingKeyboard::kFunctions));
    EXPECT_EQ(0u, ReleaseHeldKeys(model, scratch, RecordingKeyboard::kFunctions));
    EXPECT_EQ((std::vector<SendCall>{{kUpSpace, kUpB, kUpArrowUp}}), RecordingKeyboard::Take());

    // A second run: Botão 1 and the hat are still held and press once more with the next
    // report; Botão 3, released between the runs, sends no key-up of its own.
    StopReading(*pad);
    StartRun();
    Deliver(Handle(1), ReportBytes({1}, 7, 1));
    Pass();
    EXPECT_EQ((std::vector<SendCall>{{kDownSpace, kDownArrowUp}}), RecordingKeyboard::Take());
    ReleaseHeldKeys(model, scratch, RecordingKeyboard::kFunctions);
    EXPECT_EQ(0, RecordingKeyboard::repeats);
    EXPECT_EQ(0, RecordingKeyboard::keysDown);
}

// The pad goes while a button, the hat and the board's button are held: one call releases
// their keys, the board's button is let go, the axis's channel keeps its value, a report
// still queued for the pad presses nothing, and once the pad is back a press counts again.
TEST_F(AssociationEvaluationTest, APadThatGoesReleasesWhatItHeldOnceAndCountsAgainWhenBack) {
    model.AddAssociation(kPageButton, 1, false, kTargetA);
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetSpace);
    model.AddAssociation(kPageButton, 2, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);  // Entrada A, wire channel 4
    StartRun();
    Deliver(Handle(1), ReportBytes({1, 2}, 700, 1));
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kDownSpace, kDownA}}));
    EXPECT_TRUE(DeviceRemoved(Handle(1)));
    EXPECT_FALSE(DeviceRemoved(Handle(1))) << "told twice";
    Deliver(Handle(1), ReportBytes({1, 2}, 800, 1));
    Pass();
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kUpSpace, kUpA}}));
    EXPECT_EQ(board.Value(kChannelButton), 1023);
    EXPECT_EQ(board.Value(kChannelInputA), 700);
    RebindDevice(*pad, Handle(2));
    Deliver(Handle(2), ReportBytes({1}, 700));
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kDownA}}));
    EXPECT_EQ(0, RecordingKeyboard::repeats);
}

TEST_F(AssociationEvaluationTest, AnAxisDrivesTheWireChannelOfEachChannelTarget) {
    // By channel-name index (Entrada A..D, light, sound, slider): wire channel, value at X 0 and 1023.
    const int32_t rows[7][3] = {{4, 0, 1023}, {2, 0, 1023}, {1, 0, 1023}, {0, 0, 1023},
                                {5, 1023, 0}, {6, 18, 654}, {7, 0, 1023}};
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);
    StartRun();
    for (int32_t name = 0; name < 7; ++name) {
        model.AddAssociation(kPageDesktop, kUsageX, true, name);
        for (int32_t end : {1, 2}) {
            for (auto& value : board.values)
                value.store(500);
            Deliver(Handle(1), ReportBytes({}, end == 1 ? 0 : 1023));
            Pass();
            for (int32_t c = 0; c < kChannelCount; ++c)
                EXPECT_EQ(c == rows[name][0] ? rows[name][end] : 500, board.Value(c)) << name << " " << c;
        }
        // A stop hands the last position back only with the channels.
        board.values[rows[name][0]].store(500);
        model.ApplyInputsToBoard(board, false);
        EXPECT_EQ(500, board.Value(rows[name][0]));
        model.ApplyInputsToBoard(board, true);
        EXPECT_EQ(rows[name][2], board.Value(rows[name][0]));
    }
}

TEST_F(AssociationEvaluationTest, TheBoardButtonIsPressedWhileItsInputIsNonzero) {
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);  // enables X for the second link
    model.AddAssociation(kPageButton, 3, false, kTargetBoardButton);
    StartRun();
    // A button, then an axis at 256, whose low byte is 0: the saved state must not read released.
    for (uint32_t usage : {3u, kUsageX}) {
        model.AddAssociation(usage == 3 ? kPageButton : kPageDesktop, usage, false, kTargetBoardButton);
        Deliver(Handle(1), usage == 3 ? ReportBytes({3}, 0) : ReportBytes({}, 256));
        Pass();
        EXPECT_EQ(0, board.Value(kChannelButton)) << usage;  // pressed on the wire (active low)
        board.SetPercent(kChannelButton, 0);
        model.ApplyInputsToBoard(board, false);  // as the start and stop of a run do
        EXPECT_EQ(1, board.Percent(kChannelButton)) << usage;
        Deliver(Handle(1), ReportBytes({}, 0));
        Pass();
        EXPECT_EQ(1023, board.Value(kChannelButton)) << usage;
    }
}

}  // namespace
