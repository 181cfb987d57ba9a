// The virtual board's standard input and stop requests on Windows (Ctrl+C, Ctrl+Break,
// closing the console), for VirtualBoard.cpp through Platform.h.
#include <windows.h>

#include <atomic>

#include "Platform.h"

namespace {
std::atomic<bool> gStopRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
    gStopRequested.store(true);
    return TRUE;
}
}  // namespace

void InstallStopHandlers() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
    return gStopRequested.load();
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
