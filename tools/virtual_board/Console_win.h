// The virtual board's console handler on Windows, declared for its test, which plays the
// system's part in calling it. Defined in Console_win.cpp.
#pragma once

#include <windows.h>

// How long a close, log-off or shut-down event waits for the stop: below the five
// seconds after which the system ends a console process that has not returned.
constexpr DWORD kCloseStopMs = 4000;

// Asks for a stop; for a close of the console (or log-off, shut-down) returns only once
// StopCompleted was called, or after kCloseStopMs.
BOOL WINAPI OnConsoleEvent(DWORD event);
