// Common set-up of the association tests: a pad on the substitute HID parser with 130
// buttons (button 129's Kind, 128, equals the d-pad value input's), a 16-bit X axis that
// delivers 0..1023 unscaled, an eight-way hat and a d-pad-up value input; a model whose
// input list is built the way the editor builds it, reporting to a recorded list box; and a
// keyboard that records every SendInput call and keeps 256 key states.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ListInStep.h"
#include "associations/AssociationEvaluation.h"
#include "support/JoystickFixture.h"

// Each event's scan code and flags as SendInput gets them: KEYEVENTF_SCANCODE (8), KEYUP (2),
// EXTENDEDKEY (1) for the arrows.
using SendCall = std::vector<std::pair<uint16_t, uint32_t>>;
constexpr std::pair<uint16_t, uint32_t> kDownA{0x1E, 0x8}, kUpA{0x1E, 0xA}, kDownB{0x30, 0x8},
    kUpB{0x30, 0xA}, kDownArrowUp{0x148, 0x9}, kUpArrowUp{0x148, 0xB}, kDownSpace{0x39, 0x8},
    kUpSpace{0x39, 0xA};

// Called on the association thread while a test reads.
struct RecordingKeyboard {
    static inline std::mutex lock;
    static inline std::vector<SendCall> calls;
    static inline bool down[256];  // by scan code, plus 0x80 when extended
    // repeats: presses of a key already down and releases of a key already up.
    static inline std::atomic<int> keysDown, repeats;

    static uint32_t Send(uint32_t count, KeyboardInputRecord* records, int32_t size) {
        std::lock_guard<std::mutex> hold(lock);
        calls.emplace_back();
        for (uint32_t i = 0; i < count && size == sizeof(KeyboardInputRecord); ++i) {
            const auto& ki = records[i].Ki;
            calls.back().emplace_back(records[i].Type == kInputKeyboard ? ki.Scan : 0xFFFF, ki.Flags);
            const bool press = (ki.Flags & kKeyEventKeyUp) == 0;
            bool& key = down[(ki.Scan & 0x7F) | ((ki.Flags & kKeyEventExtendedKey) << 7)];
            repeats += key == press;
            keysDown += key == press ? 0 : (press ? 1 : -1);
            key = press;
        }
        return count;
    }
    static std::vector<SendCall> Take() {
        std::lock_guard<std::mutex> hold(lock);
        return std::move(calls);
    }
    static constexpr KeyboardFunctions kFunctions = {Send};
};

constexpr uint32_t kPageButton = 9, kPageDesktop = 1, kUsageX = 0x30, kUsageDirectionUp = 0xF90;
constexpr int32_t kTargetBoardButton = 0, kTargetUp = 1, kTargetSpace = 5, kTargetA = 8, kTargetB = 9;

class AssociationFixture : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        RecordingKeyboard::Take();
        RecordingKeyboard::keysDown = RecordingKeyboard::repeats = 0;
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
    uint32_t Pass() { return EvaluatePass(model, *pad, board, scratch, RecordingKeyboard::kFunctions); }
    std::vector<uint8_t> ReportBytes(const std::vector<uint16_t>& buttons, uint32_t x, uint32_t hat = 0) {
        ReportBuilder report(layout);
        for (uint16_t button : buttons)
            report.Press(button);
        return report.Set(kUsageX, x).Set(kUsageHatSwitch, hat).Bytes();
    }

    StrictLayout layout = EmptyStrictLayout();
    JoystickDevice* pad = nullptr;
    std::optional<AssociationModel> modelHolder{std::in_place};  // ends before the leak check
    AssociationModel& model = *modelHolder;
    RecordingList list;  // the list box
    BoardState board;
    EvaluationScratch scratch;
};
