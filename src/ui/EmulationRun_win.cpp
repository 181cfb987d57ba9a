// The window's side of an emulation run: "Iniciar"/"Parar" read the controls and hand them
// to the session, which decides; here the start button's text, the controls a run locks,
// and the error boxes with the system's text.

#include "core/LastError_win.h"
#include "ui/MainForm_win.h"

namespace {
// The controls that change the port, the mode or the associations: locked during a run.
constexpr int32_t kLockedDuringRun[] = {IDC_JOYSTICK,  IDC_INPUT,  IDC_CHANNEL_TARGET, IDC_KEY_TARGET,
                                        IDC_ASSOCIATE, IDC_DELETE, IDC_JOYSTICK_ONLY};
}  // namespace

void MainForm::OnStartClicked() {
    if (session_.IsRunning()) {
        session_.Stop();
        return;
    }
    BOOL isNumber = FALSE;
    const UINT port = GetDlgItemInt(hwnd, IDC_PORT_EDIT, &isNumber, FALSE);
    session_.Start({IsDlgButtonChecked(hwnd, IDC_JOYSTICK_ONLY) == BST_CHECKED, isNumber != FALSE, port});
}

void MainForm::ShowRunning(bool running) {
    SetDlgItemTextW(hwnd, IDC_START, Wide(Text(running ? Texts::kStop : Texts::kStart)));
    for (int32_t id : kLockedDuringRun)
        EnableWindow(Item(id), running ? FALSE : TRUE);
    // The port field follows the joystick-only box again once the run is over.
    if (running) {
        EnableWindow(Item(IDC_PORT_EDIT), FALSE);
        EnableWindow(Item(IDC_PORT_SPIN), FALSE);
    } else {
        OnJoystickOnlyClicked();
    }
}

void MainForm::ShowError(const char16_t* text) {
    ShowMessage(hwnd, text, Texts::kOops, MB_ICONERROR | MB_OK);
}

void MainForm::ShowFailure(const char16_t* prefix, HResult code) {
    ShowFailure(prefix, code, Texts::kOops);
}

void MainForm::ShowFailure(const char16_t* prefix, HResult code, const char16_t* caption) {
    String* text = FailureText(prefix, code);
    ShowMessage(hwnd, text != nullptr ? text->Chars() : prefix, caption, MB_ICONERROR | MB_OK);
    SafeRelease(text);
}
