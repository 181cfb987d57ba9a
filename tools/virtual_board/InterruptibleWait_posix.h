// The responder's wait on Linux that a stop can break, shared by the pty, the device and
// the TCP port. The interrupt signal is let through only inside ppoll, whatever mask the
// process was started with: a signal sent at any other moment stays pending until the
// wait, so no stop is missed. Its handler does nothing: ppoll fails with EINTR and the
// responder loop looks at the board's words.
#pragma once

#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>

class InterruptibleWait {
  public:
    static constexpr int kSignal = SIGUSR2;

    // Installs the signal's handler, without SA_RESTART; false with errno set.
    static bool InstallHandler() {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        return sigaction(kSignal, &action, nullptr) == 0;
    }

    // Responder thread: ppoll's result, with errno EINTR after an interrupt.
    int Poll(pollfd* fds, nfds_t count) {
        if (!readerKnown_.load(std::memory_order_acquire)) {
            // The signal stays blocked in this thread but for the wait.
            sigset_t interrupt;
            sigemptyset(&interrupt);
            sigaddset(&interrupt, kSignal);
            pthread_sigmask(SIG_BLOCK, &interrupt, &waitMask_);
            sigdelset(&waitMask_, kSignal);
            reader_ = pthread_self();
            readerKnown_.store(true, std::memory_order_release);
        }
        return ppoll(fds, count, nullptr, &waitMask_);
    }

    // Any thread. Pending until the responder waits, if it is not waiting yet.
    void Interrupt() {
        if (readerKnown_.load(std::memory_order_acquire))
            pthread_kill(reader_, kSignal);
    }

  private:
    std::atomic<bool> readerKnown_{false};
    pthread_t reader_{};   // written once by the responder before readerKnown_
    sigset_t waitMask_{};  // the responder's own
};
