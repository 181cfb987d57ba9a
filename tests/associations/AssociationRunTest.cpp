// The run loop on its own thread while a reader thread feeds reports and a stop arrives.
// Under ThreadSanitizer it also checks what the three threads share.
#include "AssociationFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<bool> gStopped{false};
std::atomic<int> gSleeps{0}, gSleepsAfterStop{0};

void CountingSleep(uint32_t ms) {
    ++gSleeps;
    gSleepsAfterStop += gStopped.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 5000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

class AssociationRunTest : public AssociationFixture {};

TEST_F(AssociationRunTest, AStopEndsTheRunWithinOnePollAndReleasesWhatItHeld) {
    model.AddAssociation(kPageButton, 1, false, kTargetA);
    model.AddAssociation(kPageButton, 2, false, kTargetB);
    model.AddAssociation(kPageButton, 3, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 5);
    StartRun();
    board.running.store(1);
    const AssociationRun run{&model, &board, pad};
    std::atomic<bool> ended{false};
    std::thread thread([&] {
        RunAssociations(run, RecordingKeyboard::kFunctions, CountingSleep);
        ended = true;
    });
    // The reader side on a thread of its own: reports faster than the loop polls, so that passes
    // take several changes at once, then the last state (the only report with X at 1023) over
    // and over until the run has ended.
    std::thread reader([&] {
        const std::vector<uint16_t> patterns[] = {{1}, {1, 2}, {2, 3}, {}, {3}, {1, 3}, {2}};
        for (uint32_t i = 0; i < 3000; ++i) {
            Deliver(Handle(1), ReportBytes(patterns[i % 7], i % 1000));
            if (i % 300 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(12));
        }
        while (!ended)
            Deliver(Handle(1), ReportBytes({1, 2}, 1023));
    });
    const bool settled =
        WaitFor([&] { return board.Value(kChannelSound) == 654 && RecordingKeyboard::keysDown == 2; });
    EXPECT_TRUE(settled);
    EXPECT_TRUE(WaitFor([] { return gSleeps > 2; })) << "the loop never went idle";

    // The generation first, as a stop does; running is cleared only after the wait here,
    // so that the generation alone must end the loop.
    board.generation.fetch_add(1);
    gStopped = true;
    EXPECT_TRUE(WaitFor([&] { return ended.load(); })) << "the generation change did not end the run";
    board.running.store(0);
    thread.join();
    reader.join();
    EXPECT_LE(gSleepsAfterStop.load(), 1);
    EXPECT_EQ(0, RecordingKeyboard::keysDown) << "a key was left down";
    EXPECT_EQ(0, RecordingKeyboard::repeats) << "a key was pressed or released twice";
    EXPECT_EQ((SendCall{Release(0x30), Release(0x1E)}), RecordingKeyboard::Take().back());
}

}  // namespace
