// The profile commands' rules; see ProfileCommands.h.
#include "session/ProfileCommands.h"

#include <new>

#include "persistence/ProfileRecord.h"
#include "text/BuiltInTexts.h"

bool ProfileCommands::JoystickChosen() {
    if (model_.SelectedJoystick() != nullptr)
        return true;
    view_.ShowProfileInfo(Text(Texts::kSelectJoystickFirst));
    return false;
}

bool ProfileCommands::Confirm(const char16_t* opening, const String& name) {
    auto* question = new (std::nothrow) String(opening);
    const bool made =
        question != nullptr && !Failed(question->Append(name.Chars())) && !Failed(question->Append(u"\"?"));
    const bool yes = made && view_.Confirm(question->Chars());
    SafeRelease(question);
    return yes;
}

void ProfileCommands::Open(bool editable) {
    if (!editable || !JoystickChosen())
        return;
    bool exists = false;
    String* name = view_.AskProfileName(Text(Texts::kOpenProfileTitle), true, &exists);
    if (name == nullptr)
        return;
    // An absent value reads as an empty record, which is refused below as invalid.
    Buffer* record = store_.Read(name->Chars());
    name->Release();
    if (record == nullptr)
        return;  // the key was refused: nothing to open
    if (!RestoreAssociations(model_, record))
        view_.ShowProfileError(Text(Texts::kInvalidProfile));
    record->Release();
}

void ProfileCommands::Save() {
    if (!JoystickChosen())
        return;
    bool exists = false;
    String* name = view_.AskProfileName(Text(Texts::kSaveProfileTitle), false, &exists);
    if (name == nullptr)
        return;
    if (!exists || Confirm(Text(Texts::kReplaceProfileQuestion), *name)) {
        Buffer* record = CaptureAssociations(model_);
        const HResult code = record != nullptr ? store_.Write(name->Chars(), record->Data(),
                                                              static_cast<uint32_t>(record->Length()))
                                               : kOutOfMemory;
        // The user must not believe a profile saved that is not.
        if (Failed(code))
            view_.ShowProfileFailure(code);
        SafeRelease(record);
    }
    name->Release();
}

void ProfileCommands::Delete() {
    bool exists = false;
    String* name = view_.AskProfileName(Text(Texts::kDeleteProfileTitle), true, &exists);
    if (name == nullptr)
        return;
    if (Confirm(Text(Texts::kDeleteProfileQuestion), *name)) {
        const HResult code = store_.Delete(name->Chars());
        if (Failed(code))
            view_.ShowProfileFailure(code);
    }
    name->Release();
}
