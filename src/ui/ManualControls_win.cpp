// The manual channel controls of the main window: one row of edit, spin and slider per
// analog channel, the "Pressionado" check box for the button, and the joystick-only box
// that greys out the port field. Every change goes through SetPercent at once, so the
// host's next poll sees it, also during a run.
#include "ui/MainForm_win.h"

#include <commctrl.h>

#include <algorithm>

void MainForm::UpdateRow(int32_t manualIndex, int32_t percent) {
    const int32_t id = RowEditId(manualIndex);
    // The edit has no focus when the program writes it, so its change notification is
    // ignored and does not loop back.
    SetDlgItemInt(hwnd, id, static_cast<UINT>(percent), FALSE);
    SendMessageW(Item(id + 2), TBM_SETPOS, TRUE, 100 - percent);
}

void MainForm::ShowRow(int32_t manualIndex, bool shown) {
    const int32_t id = RowEditId(manualIndex);
    for (int32_t control = id; control <= id + 2; ++control)
        ShowWindow(Item(control), shown ? SW_SHOWNA : SW_HIDE);
}

void MainForm::ShowPressed(bool shown) {
    ShowWindow(Item(IDC_PRESSED), shown ? SW_SHOWNA : SW_HIDE);
}

void MainForm::CheckPressed(bool checked) {
    CheckDlgButton(hwnd, IDC_PRESSED, checked ? BST_CHECKED : BST_UNCHECKED);
}

void MainForm::ShowPort(uint32_t port) {
    SetDlgItemInt(hwnd, IDC_PORT_EDIT, port, FALSE);
}

void MainForm::CheckJoystickOnly(bool checked) {
    CheckDlgButton(hwnd, IDC_JOYSTICK_ONLY, checked ? BST_CHECKED : BST_UNCHECKED);
    OnJoystickOnlyClicked();
}

void MainForm::OnEditChanged(int32_t id) {
    // Only what the user types counts: the program's own updates reach an unfocused edit.
    if (GetFocus() != Item(id))
        return;
    BOOL isNumber = FALSE;
    const UINT number = GetDlgItemInt(hwnd, id, &isNumber, FALSE);
    if (!isNumber)
        return;
    const int32_t percent =
        static_cast<int32_t>(number) < 0 ? 0 : static_cast<int32_t>(std::min<UINT>(number, 100));
    SendMessageW(Item(id + 2), TBM_SETPOS, TRUE, 100 - percent);
    session_.Board().SetPercent(WireChannelOfControl(id), percent);
}

bool MainForm::OnSliderScrolled(HWND control, uint32_t code) {
    for (int32_t m = 0; m < kManualRowCount; ++m) {
        HWND slider = Item(RowEditId(m) + 2);
        if (slider != control || GetFocus() != slider)
            continue;
        if (code == TB_ENDTRACK)
            return true;
        const auto percent = 100 - static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        SetDlgItemInt(hwnd, RowEditId(m), static_cast<UINT>(percent), FALSE);
        session_.Board().SetPercent(kManualToWire[m], percent);
        return true;
    }
    return false;
}

// The spin arrows write the edit, but the edit handler acts only on a focused edit and
// the platform need not move the focus there. The up-down's own notification comes only
// from the user's arrows (never from the program's text updates), so it carries the change.
bool MainForm::OnSpinScrolled(HWND control, uint32_t code) {
    if (code != SB_THUMBPOSITION)
        return false;
    for (int32_t m = 0; m < kManualRowCount; ++m) {
        if (Item(RowEditId(m) + 1) != control)
            continue;
        BOOL outOfRange = FALSE;
        const auto position = static_cast<int32_t>(
            SendMessageW(control, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&outOfRange)));
        const int32_t percent = std::clamp(position, 0, 100);
        SendMessageW(Item(RowEditId(m) + 2), TBM_SETPOS, TRUE, 100 - percent);
        session_.Board().SetPercent(kManualToWire[m], percent);
        return true;
    }
    return false;
}

void MainForm::OnVScroll(HWND control, uint32_t code) {
    if (!OnSliderScrolled(control, code))
        OnSpinScrolled(control, code);
}

void MainForm::OnPressedClicked() {
    session_.Board().SetPercent(kChannelButton, IsDlgButtonChecked(hwnd, IDC_PRESSED) == BST_CHECKED ? 1 : 0);
}

void MainForm::OnJoystickOnlyClicked() {
    const BOOL portUsed = IsDlgButtonChecked(hwnd, IDC_JOYSTICK_ONLY) != BST_CHECKED;
    EnableWindow(Item(IDC_PORT_EDIT), portUsed);
    EnableWindow(Item(IDC_PORT_SPIN), portUsed);
}
