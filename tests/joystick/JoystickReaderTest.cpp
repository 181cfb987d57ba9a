// The reader's list, its thread's life cycle and Poll, over the thread's stand-in.
#include "support/JoystickFixture.h"

#include "joystick/ReportDecoder.h"

namespace {

class JoystickReaderTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        layout = GamePadLayout();
        pad = MakeStrictDevice(layout, Handle(1));
        other = MakeStrictDevice(layout, Handle(2));
        ASSERT_NE(nullptr, pad);
        ASSERT_NE(nullptr, other);
    }
    void TearDown() override {
        if (pad != nullptr)
            StopReading(*pad);
        if (other != nullptr)
            StopReading(*other);
        SafeRelease(pad);
        SafeRelease(other);
        JoystickFixture::TearDown();
    }

    StrictLayout layout;
    JoystickDevice* pad = nullptr;
    JoystickDevice* other = nullptr;
};

TEST_F(JoystickReaderTest, ButtonReportIsPolledOnceAsAChange) {
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(0u, Poll(*pad)) << "nothing arrived since the start";

    Deliver(Handle(1), ReportBuilder(layout).Press(2).Set(0x30, 127).Set(0x31, 127).Bytes());
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(1u, pad->Buttons[1].Value);
    EXPECT_EQ(1u, pad->Buttons[1].Changed);
    EXPECT_EQ(0u, pad->Buttons[0].Changed);
    EXPECT_EQ(0u, Poll(*pad)) << "the same report must not be reported twice";

    const std::vector<uint8_t> rest = ReportBuilder(layout).Set(0x30, 127).Set(0x31, 127).Bytes();
    Deliver(Handle(1), rest);
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(0u, pad->Buttons[1].Value);
    EXPECT_EQ(1u, pad->Buttons[1].Changed);
    // A report without change advances the sequence, but Poll reports nothing.
    const uint32_t before = pad->Sequence.load();
    Deliver(Handle(1), rest);
    EXPECT_EQ(before + 1, pad->Sequence.load());
    EXPECT_EQ(0u, Poll(*pad));
    for (int i = 0; i < pad->InputCount(); ++i)
        EXPECT_EQ(0u, pad->Inputs()[i].Changed);
}

TEST_F(JoystickReaderTest, ButtonsOfADeviceWithNothingEnabledWaitForALaterReport) {
    for (int i = 0; i < pad->InputCount(); ++i)
        pad->Inputs()[i].Enabled = 0;
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(0u, Poll(*pad));
    Deliver(Handle(1), ReportBuilder(layout).Press(1).Bytes());
    EXPECT_EQ(0u, Poll(*pad));
    EXPECT_EQ(0u, pad->Buttons[0].Value);

    // A later report that touches an enabled input (here enabled while reading, which
    // the program itself never does) lets Poll take the buttons too.
    pad->Axes[0].Enabled = 0xFFFFFFFF;
    Deliver(Handle(1), ReportBuilder(layout).Press(1).Set(0x30, 127).Bytes());
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(1u, pad->Buttons[0].Value);
    EXPECT_EQ(1u, pad->Buttons[0].Changed);
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

// Starting twice reads once, stopping an idle device does nothing, watching keeps the
// thread; shutdown ends the thread and devices can be released afterwards.
TEST_F(JoystickReaderTest, StartingTwiceReadsOnceAndShutdownEndsTheThreadBeforeTheDevicesGo) {
    StopReading(*pad);
    EXPECT_EQ(0, FakeReaderThread::starts.load());
    // While the window watches for pads the thread outlives the last device it reads.
    ASSERT_EQ(kOk, StartWatching());
    ASSERT_EQ(kOk, StartReading(*other));
    StopReading(*other);
    EXPECT_TRUE(ReaderThreadRecorded());
    StopWatching();
    EXPECT_FALSE(ReaderThreadRecorded());
    FakeReaderThread::starts = FakeReaderThread::ends = 0;
    ASSERT_EQ(kOk, StartReading(*pad));
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(1, ReaderDeviceCount());
    EXPECT_EQ(1, FakeReaderThread::starts.load());
    EXPECT_EQ(2u, pad->RefCount()) << "the reader holds exactly one reference";
    ReaderShutdown();
    EXPECT_FALSE(FakeReaderThread::starts > FakeReaderThread::ends);
    EXPECT_EQ(1u, pad->Reading) << "shutdown leaves the flags as they are";
    EXPECT_EQ(1u, pad->RefCount());
    SafeRelease(pad);
    SafeRelease(other);
    EXPECT_TRUE(AllInstanceCountersZero());
}

}  // namespace
