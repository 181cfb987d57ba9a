// Common set-up of the association tests: a pad on the substitute HID parser with 130
// buttons (so that button 129's Kind, 128, equals the d-pad value input's), a 16-bit X axis
// delivering 0..1023 unscaled, an eight-way hat and a d-pad-up value input; a model whose
// input list is built the way the editor builds it; a list box that records what the model
// tells it; and the recording keyboard.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "RecordingKeyboard.h"
#include "associations/AssociationEvaluation.h"
#include "associations/AssociationModel.h"
#include "support/JoystickFixture.h"

class RecordingList : public AssociationListView {
  public:
    void AppendItem(const char16_t* text) override { items.emplace_back(text); }
    void DeleteItem(int32_t index) override { items.erase(items.begin() + index); }
    void ClearItems() override { items.clear(); }
    std::vector<std::u16string> items;
};

// Usages of the pad.
constexpr uint32_t kPageButton = 9;
constexpr uint32_t kPageDesktop = 1;
constexpr uint32_t kUsageX = 0x30;
constexpr uint32_t kUsageDirectionUp = 0xF90;
// Key-list indices.
constexpr int32_t kTargetBoardButton = 0, kTargetUp = 1, kTargetSpace = 5, kTargetA = 8, kTargetB = 9;

class AssociationFixture : public JoystickFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    // What a run's start does before the thread begins: enables the used inputs, starts
    // reading and allocates the pass's scratch.
    void StartRun();
    uint32_t Pass() { return EvaluatePass(model, *pad, board, scratch, RecordingKeyboard::Functions()); }
    // Delivers one report through the reader thread: the buttons held, X, the hat's raw value.
    void Report(std::initializer_list<uint16_t> buttons, uint32_t x = 0, uint32_t hat = 0);
    // The list box holds FormatAssociation of allAssociations index for index, and every
    // association is in the collection of its kind.
    void ExpectListInStep();

    StrictLayout layout;
    JoystickDevice* pad = nullptr;
    // Ends before the leak check of the joystick fixture.
    std::optional<AssociationModel> modelHolder{std::in_place};
    AssociationModel& model = *modelHolder;
    RecordingList list;
    BoardState board;
    EvaluationScratch scratch;
};
