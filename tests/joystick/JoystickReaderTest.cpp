// The reader's list, its thread's life cycle, Poll and the HID library's holds, over the
// thread's stand-in, also with a thread of reports against a polling thread.
#include "support/JoystickFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

class JoystickReaderTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        ASSERT_NE(nullptr, pad = MakeStrictDevice(layout, Handle(1)));
        ASSERT_NE(nullptr, other = MakeStrictDevice(layout, Handle(2)));
    }
    void TearDown() override {
        for (JoystickDevice* device : {pad, other}) {
            if (device != nullptr)
                StopReading(*device);
        }
        SafeRelease(pad);
        SafeRelease(other);
        JoystickFixture::TearDown();
    }

    StrictLayout layout = GamePadLayout();
    JoystickDevice* pad = nullptr;
    JoystickDevice* other = nullptr;
};

// A press and a release are each polled once as a change; a report without change, or one
// of a device that is not being read, gives nothing to poll.
TEST_F(JoystickReaderTest, EachChangeIsPolledOnceAndOnlyForTheDeviceBeingRead) {
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(0u, Poll(*pad)) << "nothing arrived since the start";
    const uint32_t otherSequence = other->Sequence.load();
    Deliver(Handle(2), ReportBuilder(layout).Press(1).Bytes());
    EXPECT_EQ(otherSequence, other->Sequence.load());

    const std::vector<uint8_t> rest = ReportBuilder(layout).Set(0x30, 127).Set(0x31, 127).Bytes();
    for (uint32_t held : {1u, 0u}) {
        Deliver(Handle(1),
                held != 0 ? ReportBuilder(layout).Press(2).Set(0x30, 127).Set(0x31, 127).Bytes() : rest);
        EXPECT_NE(0u, Poll(*pad));
        EXPECT_EQ(held, pad->Buttons[1].Value);
        EXPECT_EQ(1u, pad->Buttons[1].Changed);
        EXPECT_EQ(0u, pad->Buttons[0].Changed);
        EXPECT_EQ(0u, Poll(*pad)) << "the same report must not be reported twice";
    }
    Deliver(Handle(1), rest);
    EXPECT_EQ(0u, Poll(*pad));
}

// A report that arrived before a stop and was never polled does not show up as a change
// in the next run: a start takes every input's current value as pending.
TEST_F(JoystickReaderTest, NextRunStartsFromTheValuesNotFromAReportNobodyPolled) {
    ASSERT_EQ(kOk, StartReading(*pad));
    Deliver(Handle(1), ReportBuilder(layout).Press(3).Set(0x39, 2).Set(0x30, 127).Bytes());
    StopReading(*pad);
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(0u, Poll(*pad));
    EXPECT_EQ(0u, pad->Buttons[2].Value);
    EXPECT_EQ(0u, pad->Hats[0].Directions[1].Value);
}

TEST_F(JoystickReaderTest, TheHidLibraryStaysLoadedUntilTheLastDeviceGoes) {
    SafeRelease(pad);
    EXPECT_TRUE(HidLibraryLoaded());
    SafeRelease(other);
    EXPECT_FALSE(HidLibraryLoaded());
}

// Starting twice reads once, stopping an idle device does nothing, watching keeps the
// thread past the last device; shutdown ends the thread and unloads the library, and the
// devices can be released afterwards.
TEST_F(JoystickReaderTest, OneThreadServesTheDevicesReadOrWatchedAndShutdownEndsItBeforeTheDevicesGo) {
    StopReading(*pad);
    EXPECT_EQ(0, FakeReaderThread::starts.load());
    ASSERT_EQ(kOk, StartWatching());
    ASSERT_EQ(kOk, StartReading(*other));
    StopReading(*other);
    EXPECT_TRUE(ReaderThreadRecorded());
    StopWatching();
    EXPECT_FALSE(ReaderThreadRecorded());
    ASSERT_EQ(kOk, StartReading(*pad));
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(1, ReaderDeviceCount());
    EXPECT_EQ(2, FakeReaderThread::starts.load());
    EXPECT_EQ(2u, pad->RefCount()) << "the reader holds exactly one reference";
    // A removal the reader cannot take is never done beside a thread that decodes reports.
    EXPECT_FALSE(RemoveWithoutReader(Handle(1)));
    EXPECT_EQ(1u, pad->Connected.load());
    ReaderShutdown();
    EXPECT_EQ(2, FakeReaderThread::ends.load());
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_EQ(1u, pad->Reading) << "shutdown leaves the flags as they are";
    SafeRelease(pad);
    SafeRelease(other);
    EXPECT_EQ(0, HidHolderCount()) << "a release after shutdown must not take the count below 0";
    EXPECT_TRUE(AllInstanceCountersZero());
}

// A counter pad: a 32-bit axis with 10-bit logical range (so raw values pass unscaled),
// carrying the report's serial number; button 1 is the serial's low bit; button 2 is held
// in every report.
std::vector<uint8_t> CounterReport(const StrictLayout& layout, uint32_t serial) {
    ReportBuilder report(layout);
    report.Set(0x30, serial).Press(2);
    if (serial & 1)
        report.Press(1);
    return report.Bytes();
}

// A reader thread decoding reports while the association thread polls and the user-interface
// thread makes, starts, unplugs, re-binds, stops and releases another device. In every build
// no report is reported twice or lost and a held button never flickers; under
// ThreadSanitizer it also checks the locks over the reader's list and a device's raw handle,
// and a device released while its report is decoded.
TEST_F(JoystickReaderTest, ReportsAreNeverReportedTwiceNorLostWhileAnotherDeviceComesAndGoes) {
    StrictLayout counter = EmptyStrictLayout();
    counter.InputLength = 8;
    AddButtons(counter, 1, 2, 1);
    AddByteValue(counter, 0x30, 2, 4, 0, 1023);
    SafeRelease(pad);
    ASSERT_NE(nullptr, pad = MakeStrictDevice(counter, Handle(1)));
    ASSERT_EQ(kOk, StartReading(*pad));
    Deliver(Handle(1), CounterReport(counter, 0));  // presses button 2 for good
    Poll(*pad);
    ASSERT_EQ(1u, pad->Buttons[1].Value);

    constexpr uint32_t kReports = 20000;
    std::atomic<bool> done{false}, failed{false};
    std::thread producer([&] {
        for (uint32_t serial = 1; serial <= kReports || !done.load(); ++serial) {
            FakeReaderThread::Post(
                RawInputBytes(Handle(1), CounterReport(counter, std::min(serial, kReports))));
            FakeReaderThread::Post(RawInputBytes(Handle(3), CounterReport(counter, serial)));
            if (serial % 32 == 0)
                std::this_thread::yield();
        }
    });
    // Only the first device is polled: a device's Value belongs to the user-interface thread
    // while it starts reading.
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
            failed = failed || axis.Changed != (before ^ axis.Value) ||
                     (axis.Changed != 0 && axis.Value <= before) || pad->Buttons[1].Changed != 0 ||
                     pad->Buttons[1].Value != 1;
            last = axis.Value;
        }
        failed = failed || last != kReports;
    });
    for (int round = 0; round < 300; ++round) {
        JoystickDevice* transient = MakeStrictDevice(counter, Handle(3));
        ASSERT_NE(nullptr, transient);
        ASSERT_EQ(kOk, StartReading(*transient));
        std::this_thread::yield();
        DeviceRemoved(Handle(3));
        RebindDevice(*transient, Handle(3));
        StopReading(*transient);
        transient->Release();  // possibly while the reader still decodes its report
    }
    done = true;
    producer.join();
    consumer.join();
    EXPECT_FALSE(failed.load());
    Poll(*pad);
    EXPECT_EQ(kReports, pad->Axes[0].Value) << "the last report was lost";
    EXPECT_EQ(kReports & 1, pad->Buttons[0].Value);
    EXPECT_EQ(0u, Poll(*pad));
    EXPECT_EQ(1, ReaderDeviceCount());
    EXPECT_EQ(1, FakeReaderThread::starts.load()) << "the thread serving the first device must live on";
}

}  // namespace
