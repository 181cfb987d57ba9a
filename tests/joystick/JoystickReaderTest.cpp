#include "support/JoystickFixture.h"

#include "joystick/ReportDecoder.h"

namespace {

class JoystickReaderTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        layout = GamePadLayout();
        pad = FakeHid::MakeDevice(layout, Handle(1));
        other = FakeHid::MakeDevice(layout, Handle(2));
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

    Deliver(Handle(1), ReportBuilder(layout).Set(0x30, 127).Set(0x31, 127).Bytes());
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(0u, pad->Buttons[1].Value);
    EXPECT_EQ(1u, pad->Buttons[1].Changed);
}

TEST_F(JoystickReaderTest, ReportWithoutChangeAdvancesButPollReportsNothing) {
    ASSERT_EQ(kOk, StartReading(*pad));
    const std::vector<uint8_t> rest = ReportBuilder(layout).Set(0x30, 127).Set(0x31, 127).Bytes();
    Deliver(Handle(1), rest);
    Poll(*pad);
    const uint32_t before = pad->Sequence.load();
    Deliver(Handle(1), rest);
    EXPECT_EQ(before + 1, pad->Sequence.load());
    EXPECT_EQ(0u, Poll(*pad));
    for (int i = 0; i < pad->InputCount(); ++i)
        EXPECT_EQ(0u, pad->Inputs()[i].Changed);
}

TEST_F(JoystickReaderTest, HatReportIsPolledWithItsDirections) {
    ASSERT_EQ(kOk, StartReading(*pad));
    Deliver(Handle(1), ReportBuilder(layout).Set(0x39, 2).Set(0x30, 127).Set(0x31, 127).Bytes());
    EXPECT_NE(0u, Poll(*pad));
    const JoystickInput& hat = pad->Hats[0];
    EXPECT_EQ(3u, hat.Value);
    EXPECT_EQ(1u, hat.Directions[0].Value);
    EXPECT_EQ(1u, hat.Directions[0].Changed);
    EXPECT_EQ(1u, hat.Directions[1].Value);
    EXPECT_EQ(0u, hat.Directions[2].Changed);
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

TEST_F(JoystickReaderTest, StartingTwiceReadsOnceAndStoppingAnIdleDeviceDoesNothing) {
    StopReading(*pad);
    EXPECT_EQ(0, FakeReaderThread::Starts());
    ASSERT_EQ(kOk, StartReading(*pad));
    ASSERT_EQ(kOk, StartReading(*pad));
    EXPECT_EQ(1, ReaderDeviceCount());
    EXPECT_EQ(1, FakeReaderThread::Starts());
    EXPECT_EQ(2u, pad->RefCount()) << "the reader holds exactly one reference";
}

TEST_F(JoystickReaderTest, MalformedRawInputChangesNothingAndReadsNothingBeyondTheCopy) {
    ASSERT_EQ(kOk, StartReading(*pad));
    const std::vector<uint8_t> good = ReportBuilder(layout).Press(1).Set(0x30, 0).Bytes();
    std::vector<uint8_t> shortReport = good;
    shortReport.resize(5);

    DeliverRaw(RawInputBytes(Handle(1), good, 0, 1));            // size 0
    DeliverRaw(RawInputBytes(Handle(1), good, 8, 0));            // no report
    DeliverRaw(RawInputBytes(Handle(1), shortReport));           // shorter than the device's report
    DeliverRaw(RawInputBytes(Handle(1), shortReport, 8, 1));     // claims the full length, 5 arrived
    DeliverRaw(RawInputBytes(Handle(1), shortReport, 4096, 1));  // claims far more than the buffer
    std::vector<uint8_t> cut = RawInputBytes(Handle(1), good);
    cut.resize(20);
    DeliverRaw(cut);  // cut in the header

    EXPECT_EQ(0u, Poll(*pad));
    EXPECT_EQ(0u, pad->Buttons[0].LoadPending());
    EXPECT_EQ(514u, pad->Axes[0].LoadPending());
    EXPECT_LE(FakeHid::State().LongestReport.load(), 8u) << "a length beyond the copied bytes was decoded";

    // A report that claims more than it holds but holds a whole report is decoded from
    // what arrived.
    DeliverRaw(RawInputBytes(Handle(1), good, 4096, 1));
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(1u, pad->Buttons[0].Value);
}

TEST_F(JoystickReaderTest, ShutdownEndsTheThreadAndDevicesCanBeReleasedAfterwards) {
    ASSERT_EQ(kOk, StartReading(*pad));
    ReaderShutdown();
    EXPECT_FALSE(FakeReaderThread::Running());
    EXPECT_EQ(1u, pad->Reading) << "shutdown leaves the flags as they are";
    EXPECT_EQ(1u, pad->RefCount());
    SafeRelease(pad);
    SafeRelease(other);
    EXPECT_TRUE(AllInstanceCountersZero());
}

}  // namespace
