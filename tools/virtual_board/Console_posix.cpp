// The virtual board's standard input and stop signals on Linux, for VirtualBoard.cpp
// through Platform.h. The stop signals are blocked in every thread and taken by the main
// thread with sigtimedwait, so that nothing runs in a signal handler and an idle board has
// no thread that wakes up to look for them.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "Platform.h"

namespace {
sigset_t gWaited;  // the stop signals and the wake signal
pthread_t gMainThread;
constexpr int kWakeSignal = SIGUSR1;
}  // namespace

void InstallStopHandlers() {
    sigemptyset(&gWaited);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, kWakeSignal})
        sigaddset(&gWaited, signal);
    // Threads started later inherit the mask: the signals wait for the main thread.
    pthread_sigmask(SIG_BLOCK, &gWaited, nullptr);
    gMainThread = pthread_self();
    // Log lines into a pipe whose reader has gone must not kill the board; and a board
    // started in the background of an interactive shell must not be stopped for reading
    // the terminal: its read fails instead, which ends standard input.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
}

bool WaitForStopRequest(int timeoutMs) {
    for (;;) {
        int signal;
        if (timeoutMs < 0) {
            signal = sigwaitinfo(&gWaited, nullptr);
        } else {
            const timespec wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
            signal = sigtimedwait(&gWaited, nullptr, &wait);
        }
        if (signal < 0 && errno == EINTR)
            continue;
        return signal > 0 && signal != kWakeSignal;
    }
}

void WakeStopWaiter() {
    // Pending until the main thread takes it, so a wake sent before it waits is not lost.
    pthread_kill(gMainThread, kWakeSignal);
}

void StopCompleted() {}

long ReadStandardInput(char* buffer, size_t size) {
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR)
            return 0;
    }
}
