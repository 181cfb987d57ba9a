// The profile commands of the main window's "..." menu: open, save and delete a named set
// of associations under the program key's "Profiles". User-interface thread only.
//
// Opening replaces the association lists, which a run's association thread reads without
// a lock and whose key records it sized at its start: it is refused while a run is active
// (the menu also greys it out then). Saving and deleting only read the lists.
#include <new>

#include "persistence/ProfileRecord.h"
#include "persistence/SettingsStore_win.h"
#include "ui/MainForm_win.h"
#include "ui/ProfileForm_win.h"

namespace {
const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

// The question: the translated opening, the name, then a closing quote and a question
// mark that are never translated. Null when memory ran out.
String* Question(const BuiltInText& opening, const String& name) {
    auto* text = new (std::nothrow) String(Text(opening));
    if (text != nullptr && (Failed(text->Append(name.Chars())) || Failed(text->Append(u"\"?")))) {
        text->Release();
        return nullptr;
    }
    return text;
}

// Asks the question with OK and Cancel, Cancel the default; true only for OK. A question
// that cannot be made for want of memory counts as Cancel.
bool Confirm(HWND owner, const BuiltInText& opening, const String& name) {
    String* question = Question(opening, name);
    const int answer = question != nullptr
                           ? ShowMessage(owner, question->Chars(), Text(Texts::kProfileMessageCaption),
                                         MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2)
                           : IDCANCEL;
    SafeRelease(question);
    return answer == IDOK;
}
}  // namespace

bool MainForm::JoystickChosen() {
    if (SendMessageW(Item(IDC_JOYSTICK), CB_GETCURSEL, 0, 0) >= 1)
        return true;
    ShowMessage(hwnd, Text(Texts::kSelectJoystickFirst), Text(Texts::kProfileMessageCaption),
                MB_ICONINFORMATION | MB_OK);
    return false;
}

void MainForm::OpenProfile() {
    if (!AssociationsEditable())
        return;
    if (!JoystickChosen())
        return;
    uint32_t nameExists = 0;
    String* name = AskProfileName(hwnd, Text(Texts::kOpenProfileTitle), &nameExists, true);
    if (name == nullptr)
        return;
    // An absent value reads as an empty record, which is refused below as invalid.
    Buffer* record = SettingsStore::ReadProfileValue(Wide(name->Chars()));
    name->Release();
    if (record == nullptr)
        return;  // the key was refused: nothing to open
    if (!RestoreAssociations(associations_, record)) {
        ShowMessage(hwnd, Text(Texts::kInvalidProfile), Text(Texts::kProfileMessageCaption),
                    MB_ICONERROR | MB_OK);
    }
    record->Release();
}

void MainForm::SaveProfile() {
    if (!JoystickChosen())
        return;
    uint32_t nameExists = 0;
    String* name = AskProfileName(hwnd, Text(Texts::kSaveProfileTitle), &nameExists, false);
    if (name == nullptr)
        return;
    if (nameExists != 0 && !Confirm(hwnd, Texts::kReplaceProfileQuestion, *name)) {
        name->Release();
        return;
    }
    Buffer* record = CaptureAssociations(associations_);
    const HResult code = record != nullptr
                             ? SettingsStore::WriteProfileValue(Wide(name->Chars()), record->Data(),
                                                                static_cast<uint32_t>(record->Length()))
                             : kOutOfMemory;
    // The user must not believe a profile saved that is not.
    if (Failed(code))
        ShowFailure(u"", code, Text(Texts::kProfileMessageCaption));
    SafeRelease(record);
    name->Release();
}

void MainForm::DeleteProfile() {
    uint32_t nameExists = 0;
    String* name = AskProfileName(hwnd, Text(Texts::kDeleteProfileTitle), &nameExists, true);
    if (name == nullptr)
        return;
    if (Confirm(hwnd, Texts::kDeleteProfileQuestion, *name)) {
        const HResult code = SettingsStore::DeleteProfileValue(Wide(name->Chars()));
        if (Failed(code))
            ShowFailure(u"", code, Text(Texts::kProfileMessageCaption));
    }
    name->Release();
}
