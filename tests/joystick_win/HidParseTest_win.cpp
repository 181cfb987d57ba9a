// Checks the test harness against hid.dll itself: the four real descriptors parse into the
// collections and capabilities their dumps describe, and the report builders put each field
// where the library reads it. Every joystick test in this folder relies on these facts.
#include <gtest/gtest.h>

#include "HidParseHarness_win.h"
#include "descriptors/FlightStickDescriptor.h"
#include "descriptors/GamePad12Descriptor.h"
#include "descriptors/SignedPadDescriptor.h"
#include "descriptors/WirelessPadDescriptor.h"

namespace {

constexpr NTSTATUS kInvalidReportLength = static_cast<NTSTATUS>(0xC0110003);
constexpr NTSTATUS kIncompatibleReportId = static_cast<NTSTATUS>(0xC011000A);

struct Device {
    const char* name;
    const uint8_t* descriptor;
    size_t length;
    USHORT usage;
    USHORT inputLength;
};

const Device kDevices[] = {
    {"game pad, 12 buttons", gamepad12::kDescriptor, sizeof gamepad12::kDescriptor, 5,
     gamepad12::kInputLength},
    {"flight stick", flightstick::kDescriptor, sizeof flightstick::kDescriptor, 4, flightstick::kInputLength},
    {"signed pad", signedpad::kDescriptor, sizeof signedpad::kDescriptor, 5, signedpad::kInputLength},
    {"wireless pad", wirelesspad::kDescriptor, sizeof wirelesspad::kDescriptor, 5, wirelesspad::kInputLength},
};

std::vector<USAGE> PressedButtons(ParsedCollection& c, ReportBytes& report, NTSTATUS* status) {
    std::vector<USAGE> usages(128);
    ULONG count = static_cast<ULONG>(usages.size());
    *status = HidP_GetUsages(HidP_Input, HID_USAGE_PAGE_BUTTON, 0, usages.data(), &count, c.Preparsed(),
                             report.Data(), report.Length());
    usages.resize(*status == HIDP_STATUS_SUCCESS ? count : 0);
    return usages;
}

ULONG Value(ParsedCollection& c, USAGE page, USAGE usage, ReportBytes& report, NTSTATUS* status) {
    ULONG value = 0xDEADBEEF;
    *status =
        HidP_GetUsageValue(HidP_Input, page, 0, usage, &value, c.Preparsed(), report.Data(), report.Length());
    return value;
}

TEST(HidParseHarness, EveryDescriptorGivesOneJoystickCollectionWithItsReportLength) {
    ASSERT_TRUE(HidParserAvailable());
    for (const Device& d : kDevices) {
        SCOPED_TRACE(d.name);
        std::vector<ParsedCollection> collections;
        ASSERT_EQ(ParseReportDescriptor(d.descriptor, d.length, &collections), 0);
        ASSERT_EQ(collections.size(), 1u);
        EXPECT_EQ(collections[0].usagePage, 1);
        EXPECT_EQ(collections[0].usage, d.usage);
        EXPECT_EQ(collections[0].inputLength, d.inputLength);
        HIDP_CAPS caps{};
        ASSERT_EQ(HidP_GetCaps(collections[0].Preparsed(), &caps), HIDP_STATUS_SUCCESS);
        EXPECT_EQ(caps.InputReportByteLength, d.inputLength);
        EXPECT_GE(caps.NumberInputButtonCaps, 1);
        EXPECT_GE(caps.NumberInputValueCaps, 7);
    }
}

TEST(HidParseHarness, PressedButtonsComeBackAsTheirUsages) {
    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(gamepad12::kDescriptor, sizeof gamepad12::kDescriptor, &pad));
    gamepad12::State s;
    s.buttons = (1u << 0) | (1u << 2) | (1u << 11);
    ReportBytes report = gamepad12::Report(s);
    NTSTATUS status;
    EXPECT_EQ(PressedButtons(pad, report, &status), (std::vector<USAGE>{1, 3, 12}));
    EXPECT_EQ(status, HIDP_STATUS_SUCCESS);
}

TEST(HidParseHarness, ValueFieldsReadBackAsBuilt) {
    ParsedCollection stick;
    ASSERT_TRUE(ParseFirstCollection(flightstick::kDescriptor, sizeof flightstick::kDescriptor, &stick));
    flightstick::State s;
    s.x = 2047;
    s.slider = 777;
    s.hat = 120;
    s.buttons = 1u << 28;
    ReportBytes report = flightstick::Report(s);
    NTSTATUS status;
    EXPECT_EQ(Value(stick, 1, 0x30, report, &status), 2047u);
    EXPECT_EQ(Value(stick, 1, 0x36, report, &status), 777u);
    EXPECT_EQ(Value(stick, 1, 0x39, report, &status), 120u);
    EXPECT_EQ(PressedButtons(stick, report, &status), (std::vector<USAGE>{29}));

    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(signedpad::kDescriptor, sizeof signedpad::kDescriptor, &pad));
    signedpad::State p;
    p.ry = 0xFFFF;
    p.rz = 200;
    p.hat = 3;
    p.buttons = 1u << 9;
    ReportBytes padReport = signedpad::Report(p);
    EXPECT_EQ(Value(pad, 1, 0x34, padReport, &status), 0xFFFFu);
    EXPECT_EQ(Value(pad, 1, 0x35, padReport, &status), 200u);
    EXPECT_EQ(Value(pad, 1, 0x39, padReport, &status), 3u);
    EXPECT_EQ(PressedButtons(pad, padReport, &status), (std::vector<USAGE>{10}));
}

// The parser keeps the descriptor's signed limit: the catalogue has to reduce it to the
// field's width, or the axis range would be empty.
TEST(HidParseHarness, SignedPadAxisReportsTheSignedLogicalMaximum) {
    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(signedpad::kDescriptor, sizeof signedpad::kDescriptor, &pad));
    HIDP_VALUE_CAPS caps[16];
    USHORT count = 16;
    ASSERT_EQ(HidP_GetSpecificValueCaps(HidP_Input, 1, 0, 0x30, caps, &count, pad.Preparsed()),
              HIDP_STATUS_SUCCESS);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(caps[0].LogicalMin, 0);
    EXPECT_EQ(caps[0].LogicalMax, -1);
    EXPECT_EQ(caps[0].BitSize, 16);
}

// The null state is not filtered by the library: the raw bits come back with success.
TEST(HidParseHarness, HatNullStateReadsAsItsRawBits) {
    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(gamepad12::kDescriptor, sizeof gamepad12::kDescriptor, &pad));
    ReportBytes report = gamepad12::Report(gamepad12::State{});
    NTSTATUS status;
    EXPECT_EQ(Value(pad, 1, 0x39, report, &status), 0xFFu);
    EXPECT_EQ(status, HIDP_STATUS_SUCCESS);
}

TEST(HidParseHarness, ReportOfAnyOtherLengthIsRefused) {
    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(signedpad::kDescriptor, sizeof signedpad::kDescriptor, &pad));
    ReportBytes full = signedpad::Report(signedpad::State{});
    for (size_t length :
         {size_t{0}, size_t{1}, size_t{signedpad::kInputLength - 1}, size_t{signedpad::kInputLength + 1}}) {
        SCOPED_TRACE(length);
        std::vector<char> bytes(full.Bytes().begin(), full.Bytes().end());
        bytes.resize(length + 1);  // never hand the library a null pointer
        ULONG value = 0;
        EXPECT_EQ(HidP_GetUsageValue(HidP_Input, 1, 0, 0x30, &value, pad.Preparsed(), bytes.data(),
                                     static_cast<ULONG>(length)),
                  kInvalidReportLength);
    }
}

TEST(HidParseHarness, ReportWithAnotherIdOnlyAnswersForItsOwnFields) {
    ParsedCollection pad;
    ASSERT_TRUE(ParseFirstCollection(wirelesspad::kDescriptor, sizeof wirelesspad::kDescriptor, &pad));
    ReportBytes battery = wirelesspad::BatteryReport(77);
    NTSTATUS status;
    EXPECT_EQ(Value(pad, 6, 0x20, battery, &status), 77u);
    EXPECT_EQ(status, HIDP_STATUS_SUCCESS);
    Value(pad, 1, 0x30, battery, &status);
    EXPECT_EQ(status, kIncompatibleReportId);
    PressedButtons(pad, battery, &status);
    EXPECT_EQ(status, kIncompatibleReportId);

    ParsedCollection signedPad;
    ASSERT_TRUE(ParseFirstCollection(signedpad::kDescriptor, sizeof signedpad::kDescriptor, &signedPad));
    ReportBytes withId(1, signedpad::kInputLength);
    Value(signedPad, 1, 0x30, withId, &status);
    EXPECT_EQ(status, kIncompatibleReportId);
}

}  // namespace
