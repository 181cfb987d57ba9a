// Decoding reports into inputs over the substitute HID parser, and finding the report in the
// bytes the system copies.
#include "support/JoystickFixture.h"

#include "joystick/ReportDecoder.h"

namespace {

class ReportDecoderTest : public JoystickFixture {
  protected:
    void TearDown() override {
        SafeRelease(device);
        JoystickFixture::TearDown();
    }
    void Make() { ASSERT_NE(nullptr, device = MakeStrictDevice(layout, Handle(1))); }
    uint32_t Decode(const std::vector<uint8_t>& report, uint16_t* list = nullptr, uint32_t capacity = 128) {
        return DecodeReport(*device, report.data(), static_cast<uint32_t>(report.size()),
                            list ? list : usages, capacity);
    }
    std::vector<uint32_t> ButtonPendings() const {
        std::vector<uint32_t> values;
        for (int i = 0; i < device->ButtonCount; ++i)
            values.push_back(device->Buttons[i].LoadPending());
        return values;
    }

    StrictLayout layout = GamePadLayout();
    JoystickDevice* device = nullptr;
    uint16_t usages[128];
};

// A second button range on the same page: its usages are ignored, and holding more buttons
// than the first range has still decodes the first range's buttons (through the reader,
// whose usage list is the one handed to the parser). A list too short for the buttons held
// is refused by the parser and never written past.
TEST_F(ReportDecoderTest, TheFirstRangesButtonsDecodeHoweverManyAreHeldAndTheListIsNeverOverrun) {
    layout.ButtonCaps[0].Range.UsageMax = 4;
    layout.Bitmaps[0].Count = 4;
    AddButtons(layout, 13, 14, 6);
    Make();
    ASSERT_EQ(4, device->ButtonCount);
    ASSERT_EQ(kOk, StartReading(*device));
    Deliver(Handle(1), ReportBuilder(layout).Press(1).Press(3).Press(4).Press(13, 1).Press(14, 1).Bytes());
    EXPECT_EQ((std::vector<uint32_t>{1, 0, 1, 1}), ButtonPendings());
    StopReading(*device);

    uint16_t list[4] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    EXPECT_EQ(1u, Decode(ReportBuilder(layout).Press(2).Press(3).Press(4).Bytes(), list, 2));  // axes count
    EXPECT_EQ(0xAAAA, list[2]);
    EXPECT_EQ((std::vector<uint32_t>{1, 0, 1, 1}), ButtonPendings());
}

// Raw 0 is the rest position, 1 to 8 run clockwise from up; anything else reads as centred.
// Only the first hat switch is read as a direction mask: a second delivers its raw value.
TEST_F(ReportDecoderTest, EightWayHatGivesItsDirectionMaskAndDirections) {
    AddByteValue(layout, 0x39, 6, 1, 1, 8).Caps.BitSize = 4;
    Make();
    ASSERT_EQ(3, device->AxisCount);
    const uint32_t masks[16] = {0, 1, 3, 2, 6, 4, 12, 8, 9, 0, 0, 0, 0, 0, 0, 0};
    for (uint32_t raw : {3u, 0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 3u, 9u, 3u, 15u, 3u, 255u}) {
        Decode(ReportBuilder(layout).Set(0x39, raw).Bytes());
        const uint32_t mask = masks[raw & 15];
        EXPECT_EQ(mask, device->Hats[0].LoadPending()) << "raw " << raw;
        for (int d = 0; d < 4; ++d)
            EXPECT_EQ((mask >> d) & 1, device->Hats[0].Directions[d].LoadPending()) << "raw " << raw;
        EXPECT_EQ(raw, device->Axes[2].LoadPending());
    }
}

// A report shorter than the device's changes nothing; disabled
// buttons still update but do not count as touching the device; an enabled axis does,
// changed or not. Scaled values are truncated, below the logical minimum they go below 0,
// and huge ones clamp.
TEST_F(ReportDecoderTest, InputsChangeOnlyFromAWholeReportAndOnlyEnabledOnesTouchTheDevice) {
    Make();
    EXPECT_EQ(1u, Decode(ReportBuilder(layout).Press(4).Set(0x30, 200).Set(0x31, 255).Bytes()));
    EXPECT_EQ(802u, device->Axes[0].LoadPending());
    EXPECT_EQ(1023u, device->Axes[1].LoadPending());
    std::vector<uint8_t> report = ReportBuilder(layout).Press(5).Set(0x30, 0).Bytes();
    report.resize(5);
    EXPECT_EQ(0u, Decode(report));
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}), ButtonPendings());
    EXPECT_EQ(802u, device->Axes[0].LoadPending());

    for (int i = 0; i < device->InputCount(); ++i)
        device->Inputs()[i].Enabled = 0;
    EXPECT_EQ(0u, Decode(ReportBuilder(layout).Press(1).Set(0x30, 0).Bytes()));
    EXPECT_EQ(1u, device->Buttons[0].LoadPending());
    EXPECT_EQ(802u, device->Axes[0].LoadPending()) << "a disabled axis is not decoded";
    device->Axes[1].Enabled = 0xFFFFFFFF;
    EXPECT_EQ(1u, Decode(ReportBuilder(layout).Set(0x31, 255).Bytes()));

    JoystickInput axis;
    axis.LogicalMin = 10;
    axis.Scale = 1023.0f / 255.0f;
    EXPECT_EQ(-40, static_cast<int32_t>(ScaleAxisValue(axis, 0)));
    axis.Scale = 1023.0f;
    EXPECT_EQ(INT32_MAX, static_cast<int32_t>(ScaleAxisValue(axis, 0x7FFFFFFF)));
}

// The first report follows the headers and is cut to the bytes that arrived; an empty
// report, no report, a header alone or input of another type is nothing to decode.
TEST(RawReportTest, FirstReportIsFoundBehindTheHeadersAndCutToWhatArrived) {
    const std::vector<uint8_t> raw = RawInputBytes(Handle(7), {0, 1, 2, 3, 4, 5}, 4096);
    RawReport found;
    ASSERT_TRUE(FindFirstReport(raw.data(), static_cast<uint32_t>(raw.size()), &found));
    EXPECT_EQ(Handle(7), found.Device);
    EXPECT_EQ(raw.data() + 32, found.Report);
    EXPECT_EQ(6u, found.Length);
    ASSERT_TRUE(FindFirstReport(raw.data(), 34, &found));
    EXPECT_EQ(2u, found.Length);
    std::vector<uint8_t> keyboard = RawInputBytes(Handle(7), {0, 1, 2});
    keyboard[0] = 1;  // RIM_TYPEKEYBOARD
    const std::vector<uint8_t> cases[] = {RawInputBytes(Handle(7), {0, 1, 2}, 0, 1),
                                          RawInputBytes(Handle(7), {0, 1, 2}, 3, 0),
                                          RawInputBytes(Handle(7), {}, 8, 1), keyboard};
    for (const std::vector<uint8_t>& bytes : cases)
        EXPECT_FALSE(FindFirstReport(bytes.data(), static_cast<uint32_t>(bytes.size()), &found));
    EXPECT_FALSE(FindFirstReport(nullptr, 100, &found));
    EXPECT_EQ(nullptr, found.Report);
}

}  // namespace
