// A fair spin lock of three 32-bit counters, used by the joystick subsystem for its short
// critical sections (the reader's device list, the HID library count, a device's reading
// state). Waiters take a ticket and are served in ticket order. Not re-entrant.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class TicketLock {
  public:
    void Acquire() {
        const uint32_t ticket = next_.fetch_add(1, std::memory_order_relaxed);
        while (!TryTake(ticket)) {
            Pause();
            // Give the holder the processor: it may be a lower-priority thread on this core.
            std::this_thread::yield();
        }
    }

    // For tests: the tickets handed out so far.
    uint32_t TicketsTaken() const { return next_.load(std::memory_order_relaxed); }

    void Release() {
        busy_.fetch_sub(1, std::memory_order_release);
        serving_.fetch_add(1, std::memory_order_release);
    }

  private:
    bool TryTake(uint32_t ticket) {
        if (serving_.load(std::memory_order_acquire) != ticket)
            return false;
        uint32_t expected = 0;
        return busy_.compare_exchange_strong(expected, 1, std::memory_order_acquire,
                                             std::memory_order_relaxed);
    }

    static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    std::atomic<uint32_t> busy_{0};
    std::atomic<uint32_t> next_{0};
    std::atomic<uint32_t> serving_{0};
};

// Holds a TicketLock for the life of a scope.
class TicketGuard {
  public:
    explicit TicketGuard(TicketLock& lock) : lock_(lock) { lock_.Acquire(); }
    ~TicketGuard() { lock_.Release(); }
    TicketGuard(const TicketGuard&) = delete;
    TicketGuard& operator=(const TicketGuard&) = delete;

  private:
    TicketLock& lock_;
};
