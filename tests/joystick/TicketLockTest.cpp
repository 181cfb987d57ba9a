// The ticket lock: only one holder at a time, however many threads contend for it.
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

}  // namespace
