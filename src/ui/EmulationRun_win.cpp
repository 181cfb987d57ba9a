// The start and stop of an emulation run from the main window: the joystick reader, the
// serial responder and the association thread, the error messages of a failed start, and
// which controls are locked or hidden while a run is active. User-interface thread only.
#include <new>

#include "associations/AssociationThread_win.h"
#include "board/SerialPort_win.h"
#include "board/SerialResponder_win.h"
#include "core/LastError_win.h"
#include "joystick/JoystickReader.h"
#include "ui/MainForm_win.h"

namespace {
constexpr DWORD kWorkerWaitMs = 20000;
// The controls that change the port, the mode or the associations: locked during a run.
constexpr int32_t kLockedDuringRun[] = {kIdJoystickCombo, kIdInputCombo, kIdChannelTargets, kIdKeyTargets,
                                        kIdAssociate,     kIdRemove,     kIdJoystickOnly};

bool IsHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Waits for a worker and closes its handle; false when it was still running.
bool EndThread(HANDLE& thread) {
    if (thread == nullptr)
        return true;
    const bool ended = WaitForSingleObject(thread, kWorkerWaitMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    thread = nullptr;
    return ended;
}
}  // namespace

void MainForm::StartEmulation() {
    if (board.running.load(std::memory_order_relaxed) != 0)
        return;
    joystickOnly = IsDlgButtonChecked(hwnd, kIdJoystickOnly) == BST_CHECKED ? 1 : 0;
    if (joystickOnly != 0 && associations.KeyAssociations().Count() == 0) {
        ShowMessage(hwnd, Text(Texts::kJoystickOnlyNeedsKeys), Texts::kOops, MB_ICONERROR | MB_OK);
        return;
    }
    BOOL isNumber = FALSE;
    comPort = GetDlgItemInt(hwnd, kIdPortEdit, &isNumber, FALSE);
    // The port field is greyed out in joystick-only mode, so its text cannot stop that start.
    if (!isNumber && joystickOnly == 0)
        return;
    board.running.store(1, std::memory_order_relaxed);

    JoystickDevice* joystick = associations.SelectedJoystick();
    if (joystick != nullptr) {
        associations.EnableUsedInputs(joystickOnly == 0);
        const HResult code = StartReading(*joystick);
        if (Failed(code)) {
            board.running.store(0, std::memory_order_relaxed);
            ShowError(Text(Texts::kJoystickStartFailed), code);
            return;
        }
    }

    const HResult code = OpenBoardPort(comPort);
    if (Failed(code)) {
        // No run took place, so the rows keep what the user set.
        EndRun(false);
        ShowError(Text(Texts::kEmulatorStartFailed), code);
        return;
    }
    SetDlgItemTextW(hwnd, kIdStart, reinterpret_cast<const wchar_t*>(Text(Texts::kStop)));
    EnableWindow(Item(kIdPortEdit), FALSE);
    EnableWindow(Item(kIdPortSpin), FALSE);
    for (int32_t id : kLockedDuringRun)
        EnableWindow(Item(id), FALSE);
    if (joystickOnly != 0) {
        for (int32_t m = 0; m < kManualRowCount; ++m)
            ShowRow(m, false);
        ShowWindow(Item(kIdPressed), SW_HIDE);
    }
    if (associations.ButtonAssociation() != nullptr)
        ShowWindow(Item(kIdPressed), SW_HIDE);
    if (joystickOnly == 0) {
        const ObjectList& channels = associations.ChannelAssociations();
        for (int32_t i = channels.Count() - 1; i >= 0; --i)
            ShowRow(kWireToManual[AssociationModel::At(channels, i)->code], false);
    }
    associations.ApplyInputsToBoard(board, joystickOnly == 0);
}

HResult MainForm::OpenBoardPort(uint32_t portNumber) {
    HANDLE port = INVALID_HANDLE_VALUE;
    if (joystickOnly == 0) {
        // On failure the port is already closed and the system's error is set.
        port = OpenAndConfigurePort(portNumber);
        if (!IsHandle(port))
            goto failed;
        if (!StartSerialResponder(&responderOwner_, port, &serialThread)) {
            serialThread = nullptr;
            goto failed;
        }
        port = INVALID_HANDLE_VALUE;  // the responder owns it now
    }
    if (associations.SelectedJoystick() == nullptr || associations.AllAssociations().Count() == 0)
        return kOk;
    associationRun_ = {&associations, &board, associations.SelectedJoystick()};
    associationThread = CreateThread(nullptr, 0, AssociationThread, &associationRun_, 0, nullptr);
    if (IsHandle(associationThread))
        return kOk;
    associationThread = nullptr;

failed:
    const HResult code = LastErrorCode();
    // With the responder running, the stop that follows ends it and it closes the port.
    if (serialThread == nullptr && IsHandle(port))
        CloseHandle(port);
    return code;
}

void MainForm::StopEmulation() {
    EndRun(true);
}

bool MainForm::EndWorkers() {
    board.generation.fetch_add(1, std::memory_order_relaxed);
    board.running.store(0, std::memory_order_relaxed);
    const bool serialEnded = EndThread(serialThread);
    if (associationThread == nullptr)
        return serialEnded;
    if (WaitForSingleObject(associationThread, kWorkerWaitMs) == WAIT_OBJECT_0) {
        CloseHandle(associationThread);
        associationThread = nullptr;
        return serialEnded;
    }
    // It still reads the lists: keep its handle so that the editor can tell when it ends.
    if (lingeringAssociationThread_ != nullptr)
        CloseHandle(lingeringAssociationThread_);
    lingeringAssociationThread_ = associationThread;
    associationThread = nullptr;
    return false;
}

bool MainForm::AssociationsInUse() {
    if (lingeringAssociationThread_ == nullptr)
        return false;
    if (WaitForSingleObject(lingeringAssociationThread_, 0) == WAIT_TIMEOUT)
        return true;
    CloseHandle(lingeringAssociationThread_);
    lingeringAssociationThread_ = nullptr;
    return false;
}

void MainForm::EndRun(bool handBack) {
    if (board.running.load(std::memory_order_relaxed) == 0)
        return;
    EndWorkers();
    StopReadingSelected();
    SetDlgItemTextW(hwnd, kIdStart, reinterpret_cast<const wchar_t*>(Text(Texts::kStart)));
    OnJoystickOnlyClicked();
    for (int32_t id : kLockedDuringRun)
        EnableWindow(Item(id), TRUE);
    if (!handBack)
        return;

    // The manual controls take over the joystick's last positions.
    if (joystickOnly != 0) {
        for (int32_t m = 0; m < kManualRowCount; ++m)
            ShowRow(m, true);
        ShowWindow(Item(kIdPressed), SW_SHOWNA);
    }
    if (Association* button = associations.ButtonAssociation()) {
        CheckDlgButton(hwnd, kIdPressed, button->Input().LoadValue() != 0 ? BST_CHECKED : BST_UNCHECKED);
        ShowWindow(Item(kIdPressed), SW_SHOWNA);
    }
    associations.ApplyInputsToBoard(board, joystickOnly == 0);
    if (joystickOnly != 0)
        return;
    const ObjectList& channels = associations.ChannelAssociations();
    for (int32_t i = channels.Count() - 1; i >= 0; --i) {
        const Association* channel = AssociationModel::At(channels, i);
        const int32_t row = kWireToManual[channel->code];
        ShowRow(row, true);
        UpdateRow(row, PercentOfValue(channel->Input().LoadValue()));
    }
}

void MainForm::ShowError(const char16_t* prefix, HResult code, const char16_t* caption) {
    wchar_t* system = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    String* text = new (std::nothrow) String(prefix);
    if (text != nullptr && system != nullptr) {
        text->Append(reinterpret_cast<const char16_t*>(system));
    } else if (text != nullptr && text->IsEmpty()) {
        // A box with no words at all would tell the user nothing.
        wchar_t hex[16];
        wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        text->Append(reinterpret_cast<const char16_t*>(hex));
    }
    ShowMessage(hwnd, text != nullptr ? text->Chars() : prefix, caption, MB_ICONERROR | MB_OK);
    SafeRelease(text);
    if (system != nullptr)
        LocalFree(system);
}
