// The ticket lock: exclusion and the order in which waiters are served.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "joystick/TicketLock.h"

namespace {

TEST(TicketLockTest, KeepsAPlainCounterExactUnderContention) {
    TicketLock lock;
    long counter = 0;  // deliberately not atomic: only the lock protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                TicketGuard guard(lock);
                ++counter;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(80000, counter);
}

TEST(TicketLockTest, WaiterEntersOnlyAfterRelease) {
    TicketLock lock;
    std::atomic<bool> entered{false};
    lock.Acquire();
    std::thread waiter([&] {
        TicketGuard guard(lock);
        entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load()) << "the lock let a second holder in";
    lock.Release();
    waiter.join();
    EXPECT_TRUE(entered.load());
}

}  // namespace
