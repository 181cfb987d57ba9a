// The virtual board's console handler, called as the system calls it: Ctrl+C asks for a
// stop and returns; closing the console asks for a stop and holds the process until the
// stop is done, since the system ends the process once the handler returns.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../../tools/virtual_board/Console_win.h"
#include "../../tools/virtual_board/Platform.h"

TEST(VirtualBoardConsoleTest, ACloseOfTheConsoleWaitsForTheStopAndCtrlCDoesNot) {
    InstallStopHandlers();
    EXPECT_TRUE(OnConsoleEvent(CTRL_C_EVENT));
    EXPECT_TRUE(WaitForStopRequest(0));

    std::atomic<bool> returned{false};
    std::thread system([&] {
        EXPECT_TRUE(OnConsoleEvent(CTRL_CLOSE_EVENT));
        returned = true;
    });
    EXPECT_TRUE(WaitForStopRequest(2000));
    Sleep(500);  // the main thread's stop, with the handler still holding the process
    EXPECT_FALSE(returned.load()) << "the process would have ended before its stop";
    StopCompleted();
    system.join();
    EXPECT_TRUE(returned.load());
}
