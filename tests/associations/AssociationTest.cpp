// The association model's rules, seen through the list box it keeps in step, and their
// evaluation: single passes and the run loop on its own thread beside a reader thread,
// over a pad of the substitute HID parser and a keyboard that records every SendInput call.
// Under ThreadSanitizer the run test also checks what the three threads share.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "ListInStep.h"
#include "associations/AssociationEvaluation.h"
#include "support/JoystickFixture.h"

namespace {

// Each event's scan code and flags as SendInput gets them: KEYEVENTF_SCANCODE (8), KEYUP (2),
// EXTENDEDKEY (1) for the arrows.
using SendCall = std::vector<std::pair<uint16_t, uint32_t>>;
constexpr std::pair<uint16_t, uint32_t> kDownA{0x1E, 0x8}, kUpA{0x1E, 0xA}, kDownB{0x30, 0x8},
    kUpB{0x30, 0xA}, kDownArrowUp{0x148, 0x9}, kUpArrowUp{0x148, 0xB}, kDownSpace{0x39, 0x8},
    kUpSpace{0x39, 0xA};

// Called on the association thread while a test reads. keysDown counts the keys held;
// repeats, presses of a key already down and releases of a key already up; refused, the
// events at the end of the next call that the system does not take.
struct RecordingKeyboard {
    static inline std::mutex lock;
    static inline std::vector<SendCall> calls;
    static inline bool down[256];  // by scan code, plus 0x80 when extended
    static inline std::atomic<int> keysDown, repeats;
    static inline uint32_t refused;

    static uint32_t Send(uint32_t count, KeyboardInputRecord* records, int32_t size) {
        std::lock_guard<std::mutex> hold(lock);
        calls.emplace_back();
        const uint32_t taken = count - std::min(std::exchange(refused, 0u), count);
        for (uint32_t i = 0; i < count && size == sizeof(KeyboardInputRecord); ++i) {
            const auto& ki = records[i].Ki;
            calls.back().emplace_back(records[i].Type == kInputKeyboard ? ki.Scan : 0xFFFF, ki.Flags);
            if (i >= taken)
                continue;
            const bool press = (ki.Flags & kKeyEventKeyUp) == 0;
            bool& key = down[(ki.Scan & 0x7F) | ((ki.Flags & kKeyEventExtendedKey) << 7)];
            repeats += key == press;
            keysDown += key == press ? 0 : (press ? 1 : -1);
            key = press;
        }
        return taken;
    }
    static std::vector<SendCall> Take() {
        std::lock_guard<std::mutex> hold(lock);
        return std::move(calls);
    }
    static constexpr KeyboardFunctions kFunctions = {Send};
};

constexpr uint32_t kPageButton = 9, kPageDesktop = 1, kUsageX = 0x30, kUsageDirectionUp = 0xF90;
constexpr int32_t kTargetBoardButton = 0, kTargetUp = 1, kTargetSpace = 5, kTargetA = 8, kTargetB = 9;

// A pad with 130 buttons (button 129's Kind, 128, equals the d-pad value input's), a 16-bit
// X axis that delivers 0..1023 unscaled, an eight-way hat and a d-pad-up value input; a
// model whose input list holds the hat's directions, then the buttons and values.
class AssociationTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        RecordingKeyboard::Take();
        RecordingKeyboard::keysDown = RecordingKeyboard::repeats = 0;
        RecordingKeyboard::refused = 0;
        std::fill(std::begin(RecordingKeyboard::down), std::end(RecordingKeyboard::down), false);
        layout.InputLength = 22;
        AddButtons(layout, 1, 130, 1);                  // bytes 1-17
        AddByteValue(layout, kUsageX, 18, 2, 0, 1023);  // bytes 18-19
        AddByteValue(layout, kUsageHatSwitch, 20, 1, 1, 8).Caps.BitSize = 4;
        AddByteValue(layout, kUsageDPadUp, 21, 1, 0, 1);
        ASSERT_NE(nullptr, pad = MakeStrictDevice(layout, Handle(1)));
        model.SetListView(&list);
        model.SetSelectedJoystick(pad);
        for (int i = 0; i < kDirectionCount; ++i)
            ASSERT_EQ(kOk, model.AddInputRef(&pad->Hats->Directions[i], pad->Hats));
        for (int i = 0; i < pad->ButtonCount + pad->AxisCount; ++i)  // not the eight-way hat itself
            ASSERT_EQ(kOk, model.AddInputRef(&pad->Inputs()[i], nullptr));
    }
    void TearDown() override {
        StopReading(*pad);
        modelHolder.reset();
        SafeRelease(pad);
        JoystickFixture::TearDown();
    }

    // What a run's start does before its thread begins.
    void StartRun() {
        model.EnableUsedInputs(true);
        ASSERT_EQ(kOk, StartReading(*pad));
        ASSERT_EQ(kOk, scratch.Allocate(model.KeyAssociations().Count()));
    }
    void Pass() { EvaluatePass(model, *pad, board, scratch, RecordingKeyboard::kFunctions); }
    void Report(const std::vector<uint16_t>& buttons, uint32_t x, uint32_t hat = 0, uintptr_t handle = 1) {
        ReportBuilder report(layout);
        for (uint16_t button : buttons)
            report.Press(button);
        Deliver(Handle(handle), report.Set(kUsageX, x).Set(kUsageHatSwitch, hat).Bytes());
    }

    StrictLayout layout = EmptyStrictLayout();
    JoystickDevice* pad = nullptr;
    std::optional<AssociationModel> modelHolder{std::in_place};  // ends before the leak check
    AssociationModel& model = *modelHolder;
    RecordingList list;  // the list box
    BoardState board;
    EvaluationScratch scratch;
};

TEST_F(AssociationTest, OneTargetPerInputAndOneInputPerTargetThroughAddsRemovalsAndClears) {
    constexpr uint32_t kRemove = ~0u;  // a step {kRemove, 0, false, i} is RemoveAssociation(i)
    struct Link {
        uint32_t page, usage;
        bool isChannel;
        int32_t index;
    };
    const struct {
        const char* name;
        std::vector<Link> links;
        std::vector<std::u16string> list;
    } cases[] = {
        // Key and channel links with the same index, then a new target for an input and another
        // input for the board's button; the profile record tests replace keys.
        {"the same index in different kinds coexists; a replacement goes to the end",
         {{kPageDesktop, kUsageX, true, 0},
          {kPageButton, 1, false, 0},
          {kPageButton, 5, false, 3},
          {kPageDesktop, kUsageDPadUp, true, 3},
          {kPageDesktop, kUsageX, true, 1},
          {kPageButton, 4, false, kTargetBoardButton}},
         {u"Botão 5 -> Seta para direita", u"Direcional acima -> Entrada D", u"Eixo X -> Entrada B",
          u"Botão 4 -> Botão da Ombrix"}},
        // The d-pad value input's Kind equals Botão 129's, and the hat direction's Botão 1's.
        {"inputs are told apart by usages, not Kind",
         {{kPageButton, 129, false, kTargetA},
          {kPageDesktop, kUsageDPadUp, false, kTargetB},
          {0, kUsageDirectionUp, false, kTargetSpace},
          {kPageButton, 1, false, kTargetUp}},
         {u"Botão 129 -> Tecla A", u"Direcional acima -> Tecla B", u"Direcional acima -> Tecla Espaço",
          u"Botão 1 -> Seta acima"}},
        // Unknown inputs and targets outside their lists: the profile record tests.
        {"removals: outside the list twice, the last, the board button",
         {{kPageButton, 1, false, kTargetBoardButton},
          {kPageDesktop, kUsageX, true, 5},
          {kPageButton, 2, false, kTargetA},
          {kPageButton, 3, false, kTargetB},
          {kRemove, 0, false, -1},
          {kRemove, 0, false, 4},
          {kRemove, 0, false, 3},
          {kRemove, 0, false, 0}},
         {u"Eixo X -> Sensor de som", u"Botão 2 -> Tecla A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Link& link : c.links) {
            if (link.page == kRemove)
                model.RemoveAssociation(link.index);
            else
                ASSERT_EQ(kOk, model.AddAssociation(link.page, link.usage, link.isChannel, link.index));
            EXPECT_TRUE(ListInStep(model, list.items));
        }
        EXPECT_EQ(c.list, list.items);
        model.ClearAssociations();
        EXPECT_TRUE(ListInStep(model, list.items));
    }
    // Which of the two "Direcional acima" inputs each association reads.
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetA);
    EXPECT_EQ(&pad->Hats->Directions[0], &AssociationModel::At(model.AllAssociations(), 0)->Input());
}

TEST_F(AssociationTest, EachPressAndReleaseSendsOneEventAndAPassOneCall) {
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
        uint32_t refused = 0;  // events at the end of the call that the system does not take
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
        {"both released, A's key-up refused", true, {}, 0, {{kUpB, kUpA}}, 1},
        {"A still held: its key-up again, with no report", false, {}, 0, {{kUpA}}},
        {"hat up: its direction", true, {}, 1, {{kDownSpace}}},
        {"Botão 2 while the hat stays up", true, {2}, 1, {{kDownA}}},
        {"hat up-right: still up", true, {}, 2, {{kUpA}}},
        {"hat centred", true, {}, 0, {{kUpSpace}}},
        {"left down at the end", true, {1, 3}, 1, {{kDownSpace, kDownB, kDownArrowUp}}},
    };
    for (uint32_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i].what);
        if (steps[i].report)
            Report(steps[i].buttons, 100 + i, steps[i].hat);  // X always moves
        RecordingKeyboard::refused = steps[i].refused;
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
    Report({1}, 7, 1);
    Pass();
    EXPECT_EQ((std::vector<SendCall>{{kDownSpace, kDownArrowUp}}), RecordingKeyboard::Take());
    ReleaseHeldKeys(model, scratch, RecordingKeyboard::kFunctions);
    EXPECT_EQ(0, RecordingKeyboard::repeats);
    EXPECT_EQ(0, RecordingKeyboard::keysDown);
}

// The pad goes while a button, the hat and the board's button are held: one call releases
// their keys, the board's button is let go, the axis's channel keeps its value, a report
// still queued for the pad presses nothing, and once the pad is back a press counts again.
TEST_F(AssociationTest, APadThatGoesReleasesWhatItHeldOnceAndCountsAgainWhenBack) {
    model.AddAssociation(kPageButton, 1, false, kTargetA);
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetSpace);
    model.AddAssociation(kPageButton, 2, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 0);  // Entrada A, wire channel 4
    StartRun();
    Report({1, 2}, 700, 1);
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kDownSpace, kDownA}}));
    EXPECT_EQ(board.Value(kChannelButton), 0) << "pressed on the wire (active low)";
    EXPECT_TRUE(DeviceRemoved(Handle(1)));
    EXPECT_FALSE(DeviceRemoved(Handle(1))) << "told twice";
    Report({1, 2}, 800, 1);
    Pass();
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kUpSpace, kUpA}}));
    EXPECT_EQ(board.Value(kChannelButton), 1023);
    EXPECT_EQ(board.Value(kChannelInputA), 700);
    RebindDevice(*pad, Handle(2));
    Report({1}, 700, 0, 2);
    Pass();
    EXPECT_EQ(RecordingKeyboard::Take(), (std::vector<SendCall>{{kDownA}}));
    EXPECT_EQ(0, RecordingKeyboard::repeats);
}

// Each channel target takes the axis on its wire channel, over the whole range (what a stop
// hands back is the session test's). On the board's button the axis presses it (0 on the
// wire, 1 % in its row) at 256, whose low byte is 0.
TEST_F(AssociationTest, AnAxisDrivesTheWireChannelOfEachChannelTargetAndCanPressTheBoardsButton) {
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
            Report({}, end == 1 ? 0 : 1023);
            Pass();
            for (int32_t c = 0; c < kChannelCount; ++c)
                EXPECT_EQ(c == rows[name][0] ? rows[name][end] : 500, board.Value(c)) << name << " " << c;
        }
    }
    model.AddAssociation(kPageDesktop, kUsageX, false, kTargetBoardButton);
    Report({}, 256);
    Pass();
    EXPECT_EQ(0, board.Value(kChannelButton));
    board.SetPercent(kChannelButton, 0);
    model.ApplyInputsToBoard(board, false);  // as the start and stop of a run do
    EXPECT_EQ(1, board.Percent(kChannelButton));
}

std::atomic<bool> gStopped{false};
std::atomic<int> gSleeps{0}, gSleepsAfterStop{0};

void CountingSleep(uint32_t ms) {
    ++gSleeps;
    gSleepsAfterStop += gStopped.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 5000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

// The run loop on its own thread while this one feeds it reports faster than it polls, so
// that passes take several changes at once, then stops it as a stop does: the generation
// first, running only once the loop has ended, so that the generation alone must end it.
TEST_F(AssociationTest, AStopEndsTheRunWithinOnePollAndReleasesWhatItHeld) {
    model.AddAssociation(kPageButton, 1, false, kTargetA);
    model.AddAssociation(kPageButton, 2, false, kTargetB);
    model.AddAssociation(kPageButton, 3, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 5);
    StartRun();
    board.running.store(1);
    const AssociationRun run{&model, &board, pad};
    std::atomic<bool> ended{false};
    std::thread thread([&] {
        RunAssociations(run, RecordingKeyboard::kFunctions, CountingSleep);
        ended = true;
    });
    const std::vector<uint16_t> patterns[] = {{1}, {1, 2}, {2, 3}, {}, {3}, {1, 3}, {2}};
    for (uint32_t i = 0; i < 3000; ++i)
        Report(patterns[i % 7], i % 1000);
    Report({1, 2}, 1023);  // the only report with X at 1023
    EXPECT_TRUE(
        WaitFor([&] { return board.Value(kChannelSound) == 654 && RecordingKeyboard::keysDown == 2; }));
    EXPECT_TRUE(WaitFor([] { return gSleeps > 2; })) << "the loop never went idle";
    board.generation.fetch_add(1);
    gStopped = true;
    EXPECT_TRUE(WaitFor([&] { return ended.load(); })) << "the generation change did not end the run";
    board.running.store(0);
    thread.join();
    EXPECT_LE(gSleepsAfterStop.load(), 1);
    EXPECT_EQ(0, RecordingKeyboard::keysDown) << "a key was left down";
    EXPECT_EQ(0, RecordingKeyboard::repeats) << "a key was pressed or released twice";
    EXPECT_EQ((SendCall{kUpB, kUpA}), RecordingKeyboard::Take().back());
}

}  // namespace
