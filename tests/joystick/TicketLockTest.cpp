// The ticket lock: only one holder at a time, however many threads contend for it, and
// the waiters served in the order they came.
#include <gtest/gtest.h>

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

TEST(TicketLockTest, ServesWaitersInTheOrderTheyTookTheirTickets) {
    TicketLock lock;
    std::vector<int> served;  // under the lock
    std::vector<std::thread> threads;
    lock.Acquire();
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            TicketGuard guard(lock);
            served.push_back(t);
        });
        while (lock.TicketsTaken() != static_cast<uint32_t>(t + 2))
            std::this_thread::yield();
    }
    lock.Release();
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(served, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

}  // namespace
