// The association editor in the main window's right-hand column: choosing a joystick
// (which carries the associations over to it), the input and target selectors,
// "Associar entrada" and "Excluir". The model reports every change of its list to the list
// box 1046 itself (AssociationListView), so the box stays index for index with
// AllAssociations(). User-interface thread only; its controls are disabled during a run.
#include <initializer_list>

#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "persistence/ProfileRecord.h"
#include "ui/InputOrder.h"
#include "ui/MainForm_win.h"

namespace {
// The editor's controls below the joystick selector that a chosen joystick shows; the
// target selectors and their label follow the chosen input.
constexpr int32_t kEditorControls[] = {kIdInputCombo, kIdAssociationList, kIdExistingLabel,
                                       kIdSeparator,  kIdAssociate,       kIdRemove};
}  // namespace

bool MainForm::IsShown(int32_t id) const {
    // The window's own flag: the editor may be asked while the main window is not shown.
    return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainForm::SelectJoystick() {
    // The run disables the selector; a thread that outlived its stop still reads the lists.
    if (board.running.load(std::memory_order_relaxed) != 0 || AssociationsInUse())
        return;
    StopReadingSelected();
    associations.SetSelectedJoystick(nullptr);
    // The associations travel to the new joystick as a record, matched by usages there.
    Buffer* snapshot = CaptureAssociations(associations);
    associations.ClearInputRefs();
    associations.ClearAssociations();
    SendMessageW(Item(kIdInputCombo), CB_RESETCONTENT, 0, 0);

    const auto chosen = static_cast<int32_t>(SendMessageW(Item(kIdJoystickCombo), CB_GETCURSEL, 0, 0));
    if (chosen < 1 || joysticks == nullptr || chosen > joysticks->Count()) {
        for (int32_t id : kEditorControls)
            ShowWindow(Item(id), SW_HIDE);
        for (int32_t id : {kIdAssociateTo, kIdChannelTargets, kIdKeyTargets})
            ShowWindow(Item(id), SW_HIDE);
        SafeRelease(snapshot);
        return;
    }

    auto* device = static_cast<JoystickDevice*>(joysticks->At(chosen - 1));
    associations.SetSelectedJoystick(device);
    BuildInputRefs(associations, *device);
    const ObjectList& refs = associations.InputRefs();
    for (int32_t i = 0; i < refs.Count(); ++i) {
        SendMessageW(Item(kIdInputCombo), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(DisplayName(*associations.InputRefAt(i)->input)));
    }
    for (int32_t id : {kIdInputCombo, kIdChannelTargets, kIdKeyTargets})
        SendMessageW(Item(id), CB_SETCURSEL, 0, 0);
    UpdateTargetChoice();
    for (int32_t id : kEditorControls)
        ShowWindow(Item(id), SW_SHOWNA);
    RestoreAssociations(associations, snapshot);
    SafeRelease(snapshot);
}

void MainForm::UpdateTargetChoice() {
    const InputRef* chosen =
        associations.InputRefAt(static_cast<int32_t>(SendMessageW(Item(kIdInputCombo), CB_GETCURSEL, 0, 0)));
    if (chosen == nullptr) {
        for (int32_t id : {kIdAssociateTo, kIdChannelTargets, kIdKeyTargets})
            ShowWindow(Item(id), SW_HIDE);
        return;
    }
    // Axes and plain hats drive channels; buttons and hat directions press keys.
    const bool analog = chosen->input->Kind < 0;
    ShowWindow(Item(kIdAssociateTo), SW_SHOWNA);
    ShowWindow(Item(kIdChannelTargets), analog ? SW_SHOWNA : SW_HIDE);
    ShowWindow(Item(kIdKeyTargets), analog ? SW_HIDE : SW_SHOWNA);
}

void MainForm::AssociateInput() {
    if (AssociationsInUse())
        return;
    const auto input = static_cast<int32_t>(SendMessageW(Item(kIdInputCombo), CB_GETCURSEL, 0, 0));
    if (input < 0)
        return;
    const bool isChannel = IsShown(kIdChannelTargets);
    if (!isChannel && !IsShown(kIdKeyTargets))
        return;
    const auto target = static_cast<int32_t>(
        SendMessageW(Item(isChannel ? kIdChannelTargets : kIdKeyTargets), CB_GETCURSEL, 0, 0));
    if (target < 0)
        return;
    // The chosen entry itself, not the first input with its usages: two inputs of one
    // device may share them.
    associations.AddAssociationForInput(input, isChannel, target);
}

void MainForm::RemoveSelectedAssociation() {
    if (AssociationsInUse())
        return;
    const auto index = static_cast<int32_t>(SendMessageW(Item(kIdAssociationList), LB_GETCURSEL, 0, 0));
    if (index < 0 || index >= associations.AllAssociations().Count())
        return;
    associations.RemoveAssociation(index);
    // The line that moved up takes the selection, else the new last line (none when empty).
    const auto count = static_cast<int32_t>(SendMessageW(Item(kIdAssociationList), LB_GETCOUNT, 0, 0));
    SendMessageW(Item(kIdAssociationList), LB_SETCURSEL,
                 static_cast<WPARAM>(index < count ? index : index - 1), 0);
}
