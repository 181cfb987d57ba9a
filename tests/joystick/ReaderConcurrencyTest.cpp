// A reader thread decoding reports while the association thread polls and the user-interface
// thread starts and stops devices. Meaningful in every build; under ThreadSanitizer it also
// checks the locking of the reader's lists and the ordering between Pending and Sequence.
#include "support/JoystickFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A counter pad: a 32-bit axis with 10-bit logical range (so raw values pass unscaled),
// carrying the report's serial number; button 1 is the serial's low bit; button 2 is held
// in every report.
StrictLayout CounterLayout() {
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 8;
    AddButtons(layout, 1, 2, 1);
    AddByteValue(layout, 0x30, 2, 4, 0, 1023);
    return layout;
}

std::vector<uint8_t> CounterReport(const StrictLayout& layout, uint32_t serial) {
    ReportBuilder report(layout);
    report.Set(0x30, serial).Press(2);
    if (serial & 1)
        report.Press(1);
    return report.Bytes();
}

class ReaderConcurrencyTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        layout = CounterLayout();
        pad = MakeStrictDevice(layout, Handle(1));
        ASSERT_NE(nullptr, pad);
        ASSERT_EQ(kOk, StartReading(*pad));
        // The first report presses button 2 for good.
        Deliver(Handle(1), CounterReport(layout, 0));
        Poll(*pad);
        ASSERT_EQ(1u, pad->Buttons[1].Value);
    }
    void TearDown() override {
        StopReading(*pad);
        SafeRelease(pad);
        JoystickFixture::TearDown();
    }

    StrictLayout layout;
    JoystickDevice* pad = nullptr;
};

TEST_F(ReaderConcurrencyTest, FreeRunningReportsAreNeverReportedTwiceNorLost) {
    constexpr uint32_t kReports = 20000;
    std::atomic<bool> failed{false};
    std::thread consumer([&] {
        uint32_t last = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (last != kReports && std::chrono::steady_clock::now() < deadline) {
            const uint32_t before = pad->Axes[0].Value;
            if (Poll(*pad) == 0) {
                std::this_thread::yield();
                continue;
            }
            const JoystickInput& axis = pad->Axes[0];
            // Changed is exactly the difference, a change moves forward, and the held button
            // never flickers.
            if (axis.Changed != (before ^ axis.Value))
                failed = true;
            if (axis.Changed != 0 && axis.Value <= before)
                failed = true;
            if (pad->Buttons[1].Changed != 0 || pad->Buttons[1].Value != 1)
                failed = true;
            last = axis.Value;
        }
        if (last != kReports)
            failed = true;
    });
    for (uint32_t serial = 1; serial <= kReports; ++serial) {
        FakeReaderThread::Post(RawInputBytes(Handle(1), CounterReport(layout, serial)));
        if (serial % 64 == 0)
            std::this_thread::yield();
    }
    consumer.join();
    EXPECT_FALSE(failed.load());
    EXPECT_EQ(kReports, pad->Axes[0].Value) << "the last report was lost";
    // Every input ends at the last report's state.
    Poll(*pad);
    EXPECT_EQ(kReports & 1, pad->Buttons[0].Value);
    EXPECT_EQ(0u, Poll(*pad));
}

// The pad goes and comes back over and over while its reports are decoded and polled: the
// reader stays sound, and once it has gone for good its buttons rest and its axis keeps its
// last position.
TEST_F(ReaderConcurrencyTest, APadThatGoesAndComesBackWhileReportsFlowEndsAtRest) {
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (uint32_t serial = 1; !done.load(); ++serial)
            FakeReaderThread::Post(RawInputBytes(Handle(1), CounterReport(layout, serial % 1000 + 1)));
    });
    std::thread consumer([&] {
        while (!done.load())
            Poll(*pad);
    });
    for (int round = 0; round < 2000; ++round) {
        DeviceRemoved(Handle(1));
        RebindDevice(*pad, Handle(1));
    }
    done = true;
    producer.join();
    consumer.join();
    FakeReaderThread::Post(RawInputBytes(Handle(1), CounterReport(layout, 777)));
    EXPECT_TRUE(DeviceRemoved(Handle(1)));
    Poll(*pad);
    EXPECT_EQ(0u, pad->Buttons[0].Value + pad->Buttons[1].Value);
    EXPECT_EQ(777u, pad->Axes[0].Value);
}

// Another device is made, started, stopped and released by its owner over and over while
// reports flow for both: the reader stays sound for the first, and a device released while
// its reports are decoded is freed safely (possibly on the reader's thread, after its decode).
TEST_F(ReaderConcurrencyTest, AnotherDeviceStartedStoppedAndReleasedWhileReportsFlowKeepsTheReaderSound) {
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (uint32_t serial = 1; serial <= 5000 || !done.load(); ++serial) {
            FakeReaderThread::Post(RawInputBytes(Handle(1), CounterReport(layout, std::min(serial, 5000u))));
            FakeReaderThread::Post(RawInputBytes(Handle(2), CounterReport(layout, serial)));
            if (serial % 32 == 0)
                std::this_thread::yield();
        }
    });
    std::thread consumer([&] {
        // Only the first device is polled: a device's Value belongs to the user-interface
        // thread while it starts reading.
        while (!done.load() || pad->Axes[0].Value != 5000) {
            Poll(*pad);
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 300; ++round) {
        JoystickDevice* transient = MakeStrictDevice(layout, Handle(2));
        ASSERT_NE(nullptr, transient);
        ASSERT_EQ(kOk, StartReading(*transient));
        std::this_thread::yield();
        StopReading(*transient);
        EXPECT_EQ(0u, transient->Reading);
        transient->Release();
    }
    done = true;
    producer.join();
    consumer.join();
    EXPECT_EQ(5000u, pad->Axes[0].Value);
    EXPECT_EQ(1, ReaderDeviceCount());
    EXPECT_EQ(1, FakeReaderThread::starts.load()) << "the thread serving the first device must live on";
}

}  // namespace
