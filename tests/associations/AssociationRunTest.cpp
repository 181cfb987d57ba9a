// The run loop on its own thread while the reader thread feeds reports and a stop arrives.
// Meaningful in every build; under ThreadSanitizer it also checks what the two threads
// and the test thread share.
#include "AssociationFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<bool> gStopped{false};
std::atomic<int> gSleepsAfterStop{0};
std::atomic<int> gSleeps{0};

void CountingSleep(uint32_t ms) {
    gSleeps.fetch_add(1);
    if (gStopped.load())
        gSleepsAfterStop.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class AssociationRunTest : public AssociationFixture {};

TEST_F(AssociationRunTest, AStopEndsTheRunWithinOnePollAndReleasesWhatItHeld) {
    model.AddAssociation(kPageButton, 1, false, kTargetA);
    model.AddAssociation(kPageButton, 2, false, kTargetB);
    model.AddAssociation(kPageButton, 3, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 5);
    StartRun();
    gStopped = false;
    gSleepsAfterStop = 0;
    gSleeps = 0;
    board.running.store(1);
    const AssociationRun run{&model, &board, pad};
    std::atomic<bool> ended{false};
    std::thread thread([&] {
        RunAssociations(run, RecordingKeyboard::Functions(), CountingSleep);
        ended.store(true);
    });

    // Reports arrive faster than the loop polls, so passes see several changes at once.
    for (uint32_t i = 0; i < 3000; ++i) {
        ReportBuilder report(layout);
        if (i % 3 == 0)
            report.Press(1);
        if (i % 7 < 3)
            report.Press(2);
        if (i % 5 == 0)
            report.Press(3);
        ASSERT_TRUE(FakeReaderThread::Post(RawInputBytes(Handle(1), report.Set(kUsageX, i % 1000).Bytes())));
        if (i % 300 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(12));
    }
    ReportBuilder held(layout);
    Deliver(Handle(1), held.Press(1).Press(2).Set(kUsageX, 1023).Bytes());
    // Only the last report puts X at 1023.
    ASSERT_TRUE(
        WaitFor([&] { return board.Value(kChannelSound) == 654 && RecordingKeyboard::KeysDown() == 2; }));
    ASSERT_TRUE(WaitFor([] { return gSleeps.load() > 2; })) << "the loop never went idle";

    // The stop as StopEmulation does it: the generation first; running is cleared only
    // later here, so that the generation alone must end the loop.
    board.generation.fetch_add(1);
    gStopped = true;
    const auto stopped = std::chrono::steady_clock::now();
    while (!ended.load() && std::chrono::steady_clock::now() - stopped < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ended.load()) << "the generation change did not end the run";
    board.running.store(0);
    thread.join();

    EXPECT_LE(gSleepsAfterStop.load(), 1);
    EXPECT_EQ(0, RecordingKeyboard::KeysDown()) << "a key was left down";
    EXPECT_EQ(0, RecordingKeyboard::RepeatedPresses());
    EXPECT_EQ(0, RecordingKeyboard::RepeatedReleases()) << "a key was released twice";
    const std::vector<SendCall> calls = RecordingKeyboard::TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ((SendCall{Release(0x30), Release(0x1E)}), calls.back());
    EXPECT_EQ(654, board.Value(kChannelSound));
}

}  // namespace
