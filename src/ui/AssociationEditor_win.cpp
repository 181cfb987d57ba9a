// The association editor in the main window's right-hand column: the joystick selector
// as the session's JoystickRoster decides it, the input and target selectors,
// "Associar entrada" and "Excluir". The model reports every change of its list to the list
// box 1046 itself (AssociationListView), so the box stays index for index with
// AllAssociations(). User-interface thread only; its controls are disabled during a run.
#include <initializer_list>
#include <new>

#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "ui/InputOrder.h"
#include "ui/MainForm_win.h"

namespace {
// The editor's controls below the joystick selector that a chosen joystick shows; the
// target selectors and their label follow the chosen input.
constexpr int32_t kEditorControls[] = {IDC_INPUT,     IDC_ASSOCIATIONS, IDC_ASSOCIATIONS_LABEL,
                                       IDC_SEPARATOR, IDC_ASSOCIATE,    IDC_DELETE};
}  // namespace

bool MainForm::IsShown(int32_t id) const {
    // The window's own flag: the editor may be asked while the main window is not shown.
    return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainForm::AddJoystickEntry(const char16_t* name) {
    SendMessageW(Item(IDC_JOYSTICK), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

void MainForm::RemoveJoystickEntry(int32_t index) {
    SendMessageW(Item(IDC_JOYSTICK), CB_DELETESTRING, static_cast<WPARAM>(index + 1), 0);
}

void MainForm::SelectJoystickEntry(int32_t index) {
    SendMessageW(Item(IDC_JOYSTICK), CB_SETCURSEL, static_cast<WPARAM>(index + 1), 0);
}

void MainForm::ShowJoystickEntry(int32_t index, const char16_t* name, bool away) {
    String* text = new (std::nothrow) String(name);
    if (text != nullptr && away)
        text->Append(Text(Texts::kJoystickAway));
    SendMessageW(Item(IDC_JOYSTICK), CB_DELETESTRING, static_cast<WPARAM>(index + 1), 0);
    SendMessageW(Item(IDC_JOYSTICK), CB_INSERTSTRING, static_cast<WPARAM>(index + 1),
                 reinterpret_cast<LPARAM>(text != nullptr ? text->Chars() : name));
    SafeRelease(text);
}

bool MainForm::AssociationsEditable() {
    return session_.ListsEditable();
}

void MainForm::SelectJoystick() {
    const auto chosen = static_cast<int32_t>(SendMessageW(Item(IDC_JOYSTICK), CB_GETCURSEL, 0, 0));
    session_.SelectJoystick(chosen - 1);
}

void MainForm::ShowEditor(JoystickDevice* device) {
    SendMessageW(Item(IDC_INPUT), CB_RESETCONTENT, 0, 0);
    if (device == nullptr) {
        for (int32_t id : kEditorControls)
            ShowWindow(Item(id), SW_HIDE);
        for (int32_t id : {IDC_TARGET_LABEL, IDC_CHANNEL_TARGET, IDC_KEY_TARGET})
            ShowWindow(Item(id), SW_HIDE);
        return;
    }
    BuildInputRefs(associations_, *device);
    const ObjectList& refs = associations_.InputRefs();
    for (int32_t i = 0; i < refs.Count(); ++i) {
        SendMessageW(Item(IDC_INPUT), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(DisplayName(*associations_.InputRefAt(i)->input)));
    }
    for (int32_t id : {IDC_INPUT, IDC_CHANNEL_TARGET, IDC_KEY_TARGET})
        SendMessageW(Item(id), CB_SETCURSEL, 0, 0);
    UpdateTargetChoice();
    for (int32_t id : kEditorControls)
        ShowWindow(Item(id), SW_SHOWNA);
}

void MainForm::UpdateTargetChoice() {
    const InputRef* chosen =
        associations_.InputRefAt(static_cast<int32_t>(SendMessageW(Item(IDC_INPUT), CB_GETCURSEL, 0, 0)));
    if (chosen == nullptr) {
        for (int32_t id : {IDC_TARGET_LABEL, IDC_CHANNEL_TARGET, IDC_KEY_TARGET})
            ShowWindow(Item(id), SW_HIDE);
        return;
    }
    // Axes and plain hats drive channels; buttons and hat directions press keys.
    const bool analog = chosen->input->IsAnalog();
    ShowWindow(Item(IDC_TARGET_LABEL), SW_SHOWNA);
    ShowWindow(Item(IDC_CHANNEL_TARGET), analog ? SW_SHOWNA : SW_HIDE);
    ShowWindow(Item(IDC_KEY_TARGET), analog ? SW_HIDE : SW_SHOWNA);
}

void MainForm::AssociateInput() {
    if (!AssociationsEditable())
        return;
    const auto input = static_cast<int32_t>(SendMessageW(Item(IDC_INPUT), CB_GETCURSEL, 0, 0));
    if (input < 0)
        return;
    const bool isChannel = IsShown(IDC_CHANNEL_TARGET);
    if (!isChannel && !IsShown(IDC_KEY_TARGET))
        return;
    const auto target = static_cast<int32_t>(
        SendMessageW(Item(isChannel ? IDC_CHANNEL_TARGET : IDC_KEY_TARGET), CB_GETCURSEL, 0, 0));
    if (target < 0)
        return;
    // The chosen entry itself, not the first input with its usages: two inputs of one
    // device may share them.
    associations_.AddAssociationForInput(input, isChannel, target);
}

void MainForm::RemoveSelectedAssociation() {
    if (!AssociationsEditable())
        return;
    const auto index = static_cast<int32_t>(SendMessageW(Item(IDC_ASSOCIATIONS), LB_GETCURSEL, 0, 0));
    if (index < 0 || index >= associations_.AllAssociations().Count())
        return;
    associations_.RemoveAssociation(index);
    // The line that moved up takes the selection, else the new last line (none when empty).
    const auto count = static_cast<int32_t>(SendMessageW(Item(IDC_ASSOCIATIONS), LB_GETCOUNT, 0, 0));
    SendMessageW(Item(IDC_ASSOCIATIONS), LB_SETCURSEL, static_cast<WPARAM>(index < count ? index : index - 1),
                 0);
}
