// The window's side of the profile commands of the "..." menu: the session's
// ProfileCommands decide; here the name dialog, the question and the boxes under the
// profile caption, over the program key's "Profiles". User-interface thread only.
#include "persistence/SettingsStore_win.h"
#include "ui/MainForm_win.h"
#include "ui/ProfileForm_win.h"

namespace {

const ProfileStore kRegistryProfiles = {
    [](const char16_t* name) { return SettingsStore::ReadProfileValue(Wide(name)); },
    [](const char16_t* name, const void* bytes, uint32_t length) {
        return SettingsStore::WriteProfileValue(Wide(name), bytes, length);
    },
    [](const char16_t* name) { return SettingsStore::DeleteProfileValue(Wide(name)); },
};
}  // namespace

const ProfileStore& MainForm::RegistryProfiles() {
    return kRegistryProfiles;
}

String* MainForm::AskProfileName(const char16_t* title, bool existingOnly, bool* exists) {
    uint32_t nameExists = 0;
    String* name = ::AskProfileName(hwnd, title, &nameExists, existingOnly);
    *exists = nameExists != 0;
    return name;
}

bool MainForm::Confirm(const char16_t* question) {
    return ShowMessage(hwnd, question, Text(Texts::kProfileMessageCaption),
                       MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
}

void MainForm::ShowProfileInfo(const char16_t* text) {
    ShowMessage(hwnd, text, Text(Texts::kProfileMessageCaption), MB_ICONINFORMATION | MB_OK);
}

void MainForm::ShowProfileError(const char16_t* text) {
    ShowMessage(hwnd, text, Text(Texts::kProfileMessageCaption), MB_ICONERROR | MB_OK);
}

void MainForm::ShowProfileFailure(HResult code) {
    ShowFailure(u"", code, Text(Texts::kProfileMessageCaption));
}
