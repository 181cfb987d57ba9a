// Decoding reports into inputs over the substitute HID parser.
#include "support/JoystickFixture.h"

#include <cstring>

#include "joystick/ReportDecoder.h"

namespace {

class ReportDecoderTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        layout = GamePadLayout();
    }
    void TearDown() override {
        SafeRelease(device);
        JoystickFixture::TearDown();
    }

    void Make(bool prepare = true) {
        device = MakeStrictDevice(layout, Handle(1), prepare);
        ASSERT_NE(nullptr, device);
    }
    uint32_t Decode(const std::vector<uint8_t>& report) {
        return DecodeReport(*device, report.data(), static_cast<uint32_t>(report.size()), usages, 128);
    }
    std::vector<uint32_t> ButtonPendings() const {
        std::vector<uint32_t> values;
        for (int i = 0; i < device->ButtonCount; ++i)
            values.push_back(device->Buttons[i].LoadPending());
        return values;
    }

    StrictLayout layout;
    JoystickDevice* device = nullptr;
    uint16_t usages[128];
};

// A second button range on the same page: its usages are ignored, and holding more buttons
// than the first range has still decodes the first range's buttons (through the reader,
// whose usage list is the one handed to the parser).
TEST_F(ReportDecoderTest, MoreButtonsHeldThanTheFirstRangeHasStillDecodeIt) {
    layout.ButtonCaps[0].Range.UsageMax = 4;
    layout.Bitmaps[0].Count = 4;
    AddButtons(layout, 13, 14, 6);
    Make();
    ASSERT_EQ(4, device->ButtonCount);
    ASSERT_EQ(kOk, StartReading(*device));
    Deliver(Handle(1), ReportBuilder(layout).Press(1).Press(3).Press(4).Press(13, 1).Press(14, 1).Bytes());
    EXPECT_EQ((std::vector<uint32_t>{1, 0, 1, 1}), ButtonPendings());
    StopReading(*device);
}

TEST_F(ReportDecoderTest, AxisValueBelowTheLogicalMinimumMapsBelowZeroAndHugeValuesClamp) {
    JoystickInput axis;
    axis.LogicalMin = 10;
    axis.Scale = 1023.0f / 255.0f;
    EXPECT_EQ(-40, static_cast<int32_t>(ScaleAxisValue(axis, 0)));
    axis.LogicalMin = 0;
    axis.Scale = 1023.0f;
    EXPECT_EQ(INT32_MAX, static_cast<int32_t>(ScaleAxisValue(axis, 0x7FFFFFFF)));
}

// Raw 0 is the rest position, 1 to 8 run clockwise from up; anything else reads as centred.
TEST_F(ReportDecoderTest, EightWayHatGivesItsDirectionMaskAndDirections) {
    Make();
    const uint32_t masks[16] = {0, 1, 3, 2, 6, 4, 12, 8, 9, 0, 0, 0, 0, 0, 0, 0};
    for (uint32_t raw : {3u, 0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 3u, 9u, 3u, 15u, 3u, 255u}) {
        Decode(ReportBuilder(layout).Set(0x39, raw).Bytes());
        const uint32_t mask = masks[raw & 15];
        EXPECT_EQ(mask, device->Hats[0].LoadPending()) << "raw " << raw;
        for (int d = 0; d < 4; ++d)
            EXPECT_EQ((mask >> d) & 1, device->Hats[0].Directions[d].LoadPending()) << "raw " << raw;
    }
    EXPECT_EQ(0u, HatDirectionMask(0xFFFFFFFF));
}

TEST_F(ReportDecoderTest, SecondHatSwitchDeliversItsRawValue) {
    AddByteValue(layout, 0x39, 6, 1, 1, 8).Caps.BitSize = 4;
    Make();
    ASSERT_EQ(3, device->AxisCount);
    Decode(ReportBuilder(layout).Set(0x39, 2).Bytes());
    EXPECT_EQ(3u, device->Hats[0].LoadPending());
    EXPECT_EQ(2u, device->Axes[2].LoadPending()) << "only the hat is read as a direction mask";
}

// Disabled buttons still update but do not count as touching the device; an enabled axis
// does, changed or not.
TEST_F(ReportDecoderTest, OnlyEnabledInputsTouchTheDevice) {
    Make();
    for (int i = 0; i < device->InputCount(); ++i)
        device->Inputs()[i].Enabled = 0;
    EXPECT_EQ(0u, Decode(ReportBuilder(layout).Press(1).Set(0x30, 255).Bytes()));
    EXPECT_EQ(1u, device->Buttons[0].LoadPending());
    EXPECT_EQ(514u, device->Axes[0].LoadPending()) << "a disabled axis is not decoded";
    device->Axes[1].Enabled = 0xFFFFFFFF;
    EXPECT_EQ(1u, Decode(ReportBuilder(layout).Set(0x31, 127).Bytes()));
    EXPECT_EQ(1u, Decode(ReportBuilder(layout).Set(0x31, 127).Bytes()));
}

// Failed parsing calls, and a report shorter than the device's, leave the inputs alone.
TEST_F(ReportDecoderTest, FailedParsingAndShortReportsLeaveTheInputsAlone) {
    Make();
    std::vector<uint8_t> report = ReportBuilder(layout).Press(5).Set(0x30, 0).Bytes();
    report.resize(5);
    EXPECT_EQ(0u, Decode(report));
    Decode(ReportBuilder(layout).Press(4).Set(0x30, 200).Bytes());
    reinterpret_cast<StrictLayout*>(device->PreparsedData)->FailMask = 8 | 16;  // GetUsages, GetUsageValue
    EXPECT_EQ(0u, Decode(ReportBuilder(layout).Press(5).Set(0x30, 0).Bytes()));
    EXPECT_EQ(1u, device->Buttons[3].LoadPending());
    EXPECT_EQ(0u, device->Buttons[4].LoadPending());
    EXPECT_EQ(802u, device->Axes[0].LoadPending());  // 200 of 255
}

TEST_F(ReportDecoderTest, UsageListIsNeverWrittenBeyondItsCapacity) {
    Make();
    uint16_t list[4] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    const std::vector<uint8_t> report = ReportBuilder(layout).Press(1).Press(2).Press(3).Bytes();
    // Room for two usages, three buttons down: the parser refuses and nothing changes.
    EXPECT_EQ(1u, DecodeReport(*device, report.data(), 8, list, 2));  // the axes still count
    EXPECT_EQ(0xAAAA, list[2]);
    EXPECT_EQ(std::vector<uint32_t>(12, 0), ButtonPendings());
}

TEST(RawReportTest, FirstReportIsFoundBehindTheHeadersAndCutToWhatArrived) {
    const std::vector<uint8_t> raw = RawInputBytes(Handle(7), {0, 1, 2, 3, 4, 5});
    RawReport found;
    ASSERT_TRUE(FindFirstReport(raw.data(), static_cast<uint32_t>(raw.size()), &found));
    EXPECT_EQ(Handle(7), found.Device);
    EXPECT_EQ(raw.data() + 32, found.Report);
    EXPECT_EQ(6u, found.Length);
    // A size field claiming more than arrived, and a copy shorter than the bytes in the buffer.
    const std::vector<uint8_t> overstated = RawInputBytes(Handle(7), {0, 1, 2, 3}, 4096, 1);
    ASSERT_TRUE(FindFirstReport(overstated.data(), static_cast<uint32_t>(overstated.size()), &found));
    EXPECT_EQ(4u, found.Length);
    ASSERT_TRUE(FindFirstReport(overstated.data(), 34, &found));
    EXPECT_EQ(2u, found.Length);
    // Not a report: empty, header only, not HID input.
    std::vector<uint8_t> keyboard = RawInputBytes(Handle(7), {0, 1, 2});
    keyboard[0] = 1;  // RIM_TYPEKEYBOARD
    const std::vector<uint8_t> cases[] = {RawInputBytes(Handle(7), {0, 1, 2}, 0, 1),
                                          RawInputBytes(Handle(7), {0, 1, 2}, 3, 0),
                                          RawInputBytes(Handle(7), {}, 8, 1), keyboard};
    for (const std::vector<uint8_t>& bytes : cases)
        EXPECT_FALSE(FindFirstReport(bytes.data(), static_cast<uint32_t>(bytes.size()), &found));
    EXPECT_FALSE(FindFirstReport(cases[2].data(), 20, &found));
    EXPECT_FALSE(FindFirstReport(nullptr, 100, &found));
    EXPECT_EQ(nullptr, found.Report);
}

}  // namespace
