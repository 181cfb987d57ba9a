// The virtual board's standard input and stop requests on Windows (Ctrl+C, Ctrl+Break,
// closing the console), for VirtualBoard.cpp through Platform.h. The console handler runs
// on a thread of its own; it sets a flag and wakes the main thread through an event.
#include "Console_win.h"

#include <atomic>

#include "Platform.h"

namespace {
std::atomic<bool> gStopRequested{false};
HANDLE gWake = nullptr;     // auto-reset: one wake per SetEvent, kept until taken
HANDLE gStopped = nullptr;  // manual-reset: set by the main thread once the stop is done
}  // namespace

BOOL WINAPI OnConsoleEvent(DWORD event) {
    gStopRequested.store(true);
    SetEvent(gWake);
    // For these the system ends the process as soon as the handler returns (and at the
    // latest some seconds after the event): held here, the main thread stops as for
    // Ctrl+C and prints its totals first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(gStopped, kCloseStopMs);
    return TRUE;
}

void InstallStopHandlers() {
    gWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    gStopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool WaitForStopRequest(int timeoutMs) {
    if (gWake != nullptr)
        WaitForSingleObject(gWake, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    else
        Sleep(timeoutMs < 0 ? 100 : static_cast<DWORD>(timeoutMs));
    return gStopRequested.load();
}

void WakeStopWaiter() {
    if (gWake != nullptr)
        SetEvent(gWake);
}

void StopCompleted() {
    if (gStopped != nullptr)
        SetEvent(gStopped);
}

long ReadStandardInput(char* buffer, size_t size) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD read = 0;
    // A closed pipe fails with ERROR_BROKEN_PIPE: that, and any failure, is the end.
    if (input == nullptr || input == INVALID_HANDLE_VALUE ||
        !ReadFile(input, buffer, static_cast<DWORD>(size), &read, nullptr))
        return 0;
    return static_cast<long>(read);
}
