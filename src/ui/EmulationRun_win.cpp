// The window's side of an emulation run: "Iniciar"/"Parar" read the controls and hand them
// to the session, which decides; here the start button's text, the controls a run locks,
// the status bar the session words, and the error boxes with the system's text.
#include "ui/MainForm_win.h"

#include <commctrl.h>

#include "core/LastError_win.h"
#include "ui/UiResources_win.h"

namespace {
// The controls that change the port, the mode or the associations: locked during a run.
constexpr int32_t kLockedDuringRun[] = {IDC_JOYSTICK,  IDC_INPUT,  IDC_CHANNEL_TARGET, IDC_KEY_TARGET,
                                        IDC_ASSOCIATE, IDC_DELETE, IDC_JOYSTICK_ONLY};
// The right edges of the port and host parts in logical units; the line's part takes the
// rest, wide enough for the speed hint at the bar's font.
constexpr int32_t kStatusPartEdges[] = {150, 290};
constexpr int32_t kStatusFontPoints = 9;
}  // namespace

void MainForm::CreateStatusBar() {
    // Read once: the bench's baseline, the same build with the bar never sampled.
    statusTimer_ = GetEnvironmentVariableW(L"OMBRIX_BENCH_NO_STATUS_TIMER", nullptr, 0) == 0;
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                                 programInstance, nullptr);
    if (statusBar_ == nullptr)
        return;  // the window works without it
    LOGFONTW face = {};
    if (UiResources::uiFont != nullptr && GetObjectW(UiResources::uiFont, sizeof(face), &face) != 0) {
        face.lfHeight = -(kStatusFontPoints * UiResources::dpiY / 72);
        statusFont_.Reset(CreateFontIndirectW(&face));
    }
    if (statusFont_)
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.Get()), FALSE);
    // The bar takes its height from its font at its next size.
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    const int edges[] = {ScaleX(kStatusPartEdges[0]), ScaleX(kStatusPartEdges[1]), -1};
    SendMessageW(statusBar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    RECT bar = {};
    GetWindowRect(statusBar_, &bar);
    statusHeight_ = bar.bottom - bar.top;
}

void MainForm::ShowStatus() {
    const uint32_t changed = session_.UpdateStatus();
    for (int32_t part = 0; part < StatusBarRules::kPartCount && statusBar_ != nullptr; ++part) {
        if ((changed & (1u << part)) != 0)
            SendMessageW(statusBar_, SB_SETTEXTW, static_cast<WPARAM>(part),
                         reinterpret_cast<LPARAM>(Wide(session_.StatusText(part))));
    }
}

void MainForm::OnTimer(uint32_t id) {
    if (id == kStatusTimer)
        ShowStatus();
}

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
    // Sampled only during a run: an idle bar has nothing that changes.
    if (running && statusTimer_)
        SetTimer(hwnd, kStatusTimer, kStatusTimerMs, nullptr);
    else if (!running)
        KillTimer(hwnd, kStatusTimer);
    ShowStatus();
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
