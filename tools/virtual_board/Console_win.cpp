// The virtual board's standard input and stop requests on Windows (Ctrl+C, Ctrl+Break,
// closing the console), for VirtualBoard.cpp through Platform.h. The console handler runs
// on a thread of its own; it sets a flag and wakes the main thread through an event.
#include <windows.h>

#include <atomic>

#include "Platform.h"

namespace {
std::atomic<bool> gStopRequested{false};
HANDLE gWake = nullptr;  // auto-reset: one wake per SetEvent, kept until taken

BOOL WINAPI OnConsoleEvent(DWORD) {
    gStopRequested.store(true);
    SetEvent(gWake);
    return TRUE;
}
}  // namespace

void InstallStopHandlers() {
    gWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
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

long ReadStandardInput(char* buffer, size_t size) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD read = 0;
    // A closed pipe fails with ERROR_BROKEN_PIPE: that, and any failure, is the end.
    if (input == nullptr || input == INVALID_HANDLE_VALUE ||
        !ReadFile(input, buffer, static_cast<DWORD>(size), &read, nullptr))
        return 0;
    return static_cast<long>(read);
}
