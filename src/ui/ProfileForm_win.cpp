// The profile name dialog; see ProfileForm_win.h.
#include "ui/ProfileForm_win.h"

#include <new>

#include "persistence/ProfileName.h"
#include "persistence/SettingsStore_win.h"
#include "text/BuiltInTexts.h"
#include "ui/MainForm_win.h"
#include "ui/UiResources_win.h"

ProfileForm::ProfileForm(const char16_t* title, uint32_t* nameExists, bool existingOnly)
    : title_(title), nameExists_(nameExists), existingOnly_(existingOnly) {}

ProfileForm::~ProfileForm() {
    SafeRelease(result_);
    SafeRelease(savedNames_);
    SafeRelease(label_);
    SafeRelease(name_);
    SafeRelease(ok_);
    SafeRelease(cancel_);
}

String* ProfileForm::TakeResult() {
    String* result = result_;
    result_ = nullptr;
    return result;
}

LRESULT ProfileForm::OnInit(void*) {
    SendMessageW(hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(programInstance, MAKEINTRESOURCEW(IDI_PROGRAM))));
    SetWindowTextW(hwnd, Wide(title_));

    CentreWithClientArea(345, 75);

    label_ = WrapDialogItem<Label>(hwnd, IDC_PROFILE_LABEL, UiResources::uiFont);
    name_ = WrapDialogItem<ComboBox>(hwnd, IDC_PROFILE_NAME, UiResources::uiFont);
    SendDlgItemMessageW(hwnd, IDC_PROFILE_NAME, CB_LIMITTEXT, kProfileNameMaxLength, 0);
    ok_ = WrapDialogItem<Button>(hwnd, IDOK, UiResources::uiFont);
    cancel_ = WrapDialogItem<Button>(hwnd, IDCANCEL, UiResources::uiFont);
    PlaceControl(label_, 5, 10, 250, 22);
    PlaceControl(name_, 5, 36, 250, 250);
    PlaceControl(ok_, 260, 5, 80, 30);
    PlaceControl(cancel_, 260, 40, 80, 30);

    // Read afresh each time: another program, or another copy of this one, may have
    // changed the profiles since the last question.
    savedNames_ = SettingsStore::ReadProfileNames();
    for (int32_t i = 0; savedNames_ != nullptr && i < savedNames_->Count(); ++i) {
        const auto* saved = static_cast<const String*>(savedNames_->At(i));
        SendDlgItemMessageW(hwnd, IDC_PROFILE_NAME, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(saved->Chars()));
    }

    if (TextTable::IsLoaded()) {
        SetDlgItemTextW(hwnd, IDC_PROFILE_LABEL, Wide(Text(Texts::kProfileNameLabel)));
        SetDlgItemTextW(hwnd, IDOK, Wide(Text(Texts::kProfileOk)));
        SetDlgItemTextW(hwnd, IDCANCEL, Wide(Text(Texts::kProfileCancel)));
    }
    return 1;
}

LRESULT ProfileForm::OnCommand(HWND, uint32_t id, uint32_t) {
    switch (id) {
        case IDOK:
            Accept();
            return 1;
        case IDCANCEL:
            EndDialog(hwnd, IDCANCEL);
            return 1;
        default:
            return 0;
    }
}

void ProfileForm::Accept() {
    String* text = name_ != nullptr ? name_->GetText() : nullptr;
    if (text == nullptr)
        return;  // out of memory: the dialog stays open
    const ProfileNameCheck check = CheckProfileName(*text, savedNames_, existingOnly_);
    *nameExists_ = check.nameExists ? 1 : 0;
    if (!check.accepted) {
        text->Release();
        // The dialog's own refusals keep the built-in caption, translated or not.
        ShowMessage(hwnd, check.refusal, Texts::kOops, MB_ICONERROR | MB_OK);
        return;
    }
    SafeRelease(result_);
    result_ = text;
    EndDialog(hwnd, IDOK);
}

String* AskProfileName(HWND owner, const char16_t* title, uint32_t* nameExists, bool existingOnly) {
    auto* form = new (std::nothrow) ProfileForm(title, nameExists, existingOnly);
    if (form == nullptr)
        return nullptr;
    // The window releases its reference at WM_NCDESTROY, before DialogBoxParamW returns;
    // this one keeps the form, and so its result, until the result has been taken.
    form->AddRef();
    const INT_PTR ended = RunModalForm(form, IDD_PROFILE_NAME, owner);
    String* result = ended == IDOK ? form->TakeResult() : nullptr;
    form->Release();
    return result;
}
