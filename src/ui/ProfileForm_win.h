// The profile name dialog: dialog 105 bound to a ProfileForm, asked by the profile commands
// of the main window for the name of a profile to open, save or delete. It lists the saved
// profiles, trims what the user typed and accepts or refuses it by the dialog's mode.
// User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/ObjectList.h"
#include "core/String.h"
#include "resource.h"
#include "ui/Window_win.h"

class ProfileForm : public Form {
  public:
    // title is borrowed for the dialog's life; nameExists is the caller's flag.
    ProfileForm(const char16_t* title, uint32_t* nameExists, bool existingOnly);

    const wchar_t* GetClassName() const override { return L"ProfileForm"; }
    LRESULT OnInit(void* createData) override;
    LRESULT OnCommand(HWND control, uint32_t id, uint32_t code) override;

    // The accepted name, handed over to the caller (null when none was accepted).
    String* TakeResult();

  protected:
    ~ProfileForm() override;

  private:
    void Accept();

    const char16_t* title_;
    uint32_t* nameExists_;
    bool existingOnly_;
    String* result_ = nullptr;
    ObjectList* savedNames_ = nullptr;  // as read when the dialog opened
    Label* label_ = nullptr;
    ComboBox* name_ = nullptr;
    Button* ok_ = nullptr;
    Button* cancel_ = nullptr;
};

// Runs the dialog modally over owner. Returns the accepted name, which the caller releases,
// or null when the user cancelled or the dialog could not be made. *nameExists is written
// at every press of OK: 1 when the name matched a saved profile (case ignored), else 0.
String* AskProfileName(HWND owner, const char16_t* title, uint32_t* nameExists, bool existingOnly);
