// The virtual board's standard input and stop signals on Linux, for VirtualBoard.cpp
// through Platform.h.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "Platform.h"

namespace {
volatile sig_atomic_t gStopRequested = 0;

void OnStopSignal(int) {
    gStopRequested = 1;
}
}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // Log lines into a pipe whose reader has gone must not kill the board; and a board
    // started in the background of an interactive shell must not be stopped for reading
    // the terminal: its read fails instead, which ends standard input.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
}

bool StopRequested() {
    return gStopRequested != 0;
}

long ReadStandardInput(char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR)
            return 0;
    }
}
