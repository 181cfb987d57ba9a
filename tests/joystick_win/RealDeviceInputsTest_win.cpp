// The input catalogue and the report decoder on real devices: each descriptor is parsed by
// hidparse.sys, its capabilities read through the real hid.dll, its inputs built and
// prepared, and real report bytes decoded into them.
#include <gtest/gtest.h>

#include "RealDevice_win.h"
#include "core/RefObject.h"
#include "descriptors/FlightStickDescriptor.h"
#include "descriptors/GamePad12Descriptor.h"
#include "descriptors/SignedPadDescriptor.h"
#include "descriptors/WirelessPadDescriptor.h"
#include "joystick/HidFunctions.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

const RealDescriptor kGamePad12 = {gamepad12::kDescriptor, sizeof gamepad12::kDescriptor,
                                   gamepad12::kVendorId, gamepad12::kProductId};
const RealDescriptor kFlightStick = {flightstick::kDescriptor, sizeof flightstick::kDescriptor,
                                     flightstick::kVendorId, flightstick::kProductId};
const RealDescriptor kSignedPad = {signedpad::kDescriptor, sizeof signedpad::kDescriptor,
                                   signedpad::kVendorId, signedpad::kProductId};
const RealDescriptor kWirelessPad = {wirelesspad::kDescriptor, sizeof wirelesspad::kDescriptor,
                                     wirelesspad::kVendorId, wirelesspad::kProductId};

constexpr uint32_t kDesktop = 1;

std::u16string ButtonText(int number) {
    std::u16string text = u"Botão ";
    for (char c : std::to_string(number))
        text += static_cast<char16_t>(c);
    return text;
}
constexpr uint32_t kButtonPage = 9;

class RealDeviceInputs : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ReaderStartup(nullptr), kOk); }
    void TearDown() override {
        ReaderShutdown();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    // Decodes one report as the reader thread would; returns whether it touched an enabled input.
    uint32_t Decode(JoystickDevice& device, const ReportBytes& report) {
        return DecodeReport(device, report.Bytes().data(), static_cast<uint32_t>(report.Bytes().size()),
                            usages_, 128);
    }
    uint32_t PendingOf(JoystickDevice& device, uint32_t page, uint32_t usage) {
        JoystickInput* input = FindInput(device, page, usage);
        EXPECT_NE(input, nullptr) << "page " << page << " usage " << usage;
        return input != nullptr ? input->LoadPending() : 0xDEADBEEF;
    }

    uint16_t usages_[128] = {};
};

TEST_F(RealDeviceInputs, GamePadGivesTwelveNamedButtonsSixScaledAxesAndARawHat) {
    DevicePtr pad = MakeRealDevice(kGamePad12, nullptr);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->Usage, 5u);
    ASSERT_EQ(pad->ButtonCount, 12);
    for (int32_t i = 0; i < 12; ++i) {
        const JoystickInput& button = pad->Buttons[i];
        EXPECT_EQ(ShownName(button), ButtonText(i + 1));
        EXPECT_EQ(button.Kind, i);
        EXPECT_EQ(button.UsagePage, kButtonPage);
        EXPECT_EQ(button.Usage, static_cast<uint32_t>(i + 1));
    }
    ASSERT_EQ(pad->AxisCount, 6);
    const std::pair<uint32_t, std::u16string> axes[] = {{0x30, u"Eixo X"},
                                                        {0x31, u"Eixo Y"},
                                                        {0x32, u"Eixo Z"},
                                                        {0x35, u"Eixo de Rotação Z"},
                                                        {0x33, u"Eixo de Rotação X"},
                                                        {0x34, u"Eixo de Rotação Y"}};
    for (const auto& [usage, name] : axes) {
        JoystickInput* axis = FindInput(*pad, kDesktop, usage);
        ASSERT_NE(axis, nullptr) << usage;
        EXPECT_EQ(ShownName(*axis), name);
        EXPECT_EQ(axis->Kind, kKindAxis);
        EXPECT_EQ(axis->LogicalMin, 0);
        EXPECT_EQ(axis->LogicalMax, 255);
        EXPECT_EQ(axis->Centre, 127);
        EXPECT_NEAR(axis->Scale, 1023.0f / 255.0f, 1e-6);
        EXPECT_EQ(axis->Value, 514u);  // the centre mapped with the +1 of the preparation
    }
    // A hat whose logical maximum is 7 is not an eight-way hat here: a plain value, unscaled.
    ASSERT_EQ(pad->HatCount, 1);
    const JoystickInput& hat = pad->Hats[0];
    EXPECT_EQ(hat.Usage, 0x39u);
    EXPECT_EQ(hat.Kind, kKindAxis);
    EXPECT_EQ(ShownName(hat), u"Eixo de Visão");
    EXPECT_EQ(hat.Scale, 0.0f);
    EXPECT_EQ(hat.Centre, 3);
    EXPECT_EQ(hat.Value, 0u);
    EXPECT_EQ(hat.Directions, nullptr);
}

TEST_F(RealDeviceInputs, GamePadReportGivesPressedButtonsScaledAxesAndTheRawHat) {
    DevicePtr pad = MakeRealDevice(kGamePad12, nullptr);
    ASSERT_NE(pad, nullptr);
    gamepad12::State s;
    s.buttons = (1u << 0) | (1u << 4) | (1u << 11);
    s.x = 0;
    s.y = 255;
    s.z = 128;
    s.rx = 64;
    s.hat = 6;
    EXPECT_EQ(Decode(*pad, gamepad12::Report(s)), 1u);
    EXPECT_EQ(PendingButtons(*pad), (1u << 0) | (1u << 4) | (1u << 11));
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 0u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x31), 1023u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x32), 513u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x33), 256u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x39), 6u);

    // Released buttons read 0 again; the hat's null state comes through as its raw bits.
    s.buttons = 1u << 1;
    s.hat = 0xFF;
    Decode(*pad, gamepad12::Report(s));
    EXPECT_EQ(PendingButtons(*pad), 1u << 1);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x39), 255u);
}

TEST_F(RealDeviceInputs, FlightStickKeepsTenBitAxesUnscaledAndScalesElevenBitOnes) {
    DevicePtr stick = MakeRealDevice(kFlightStick, nullptr);
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->Usage, 4u);
    // 128 button fields, but the first capability declares usages 1 to 29 only.
    ASSERT_EQ(stick->ButtonCount, 29);
    EXPECT_EQ(ShownName(stick->Buttons[28]), u"Botão 29");
    // Seven axes: the parser leaves out the field declared with usage 0 on page 0.
    ASSERT_EQ(stick->AxisCount, 7);
    EXPECT_EQ(FindInput(*stick, 0, 0), nullptr);

    JoystickInput* throttle = FindInput(*stick, kDesktop, 0x36);
    ASSERT_NE(throttle, nullptr);
    EXPECT_EQ(ShownName(*throttle), u"Eixo Deslizante");
    EXPECT_EQ(throttle->LogicalMax, 1023);
    EXPECT_EQ(throttle->Scale, 0.0f);  // already 10 bits: raw values pass through
    EXPECT_EQ(throttle->Value, 512u);

    JoystickInput* x = FindInput(*stick, kDesktop, 0x30);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->LogicalMax, 2047);
    EXPECT_EQ(x->Centre, 1023);
    EXPECT_NEAR(x->Scale, 1023.0f / 2047.0f, 1e-6);
    EXPECT_EQ(x->Value, 512u);

    // The hat's range 0-239 is no eight-way hat.
    ASSERT_EQ(stick->HatCount, 1);
    EXPECT_EQ(stick->Hats[0].Kind, kKindAxis);
    EXPECT_EQ(stick->Hats[0].LogicalMax, 239);
    EXPECT_EQ(ShownName(stick->Hats[0]), u"Eixo de Visão");
}

TEST_F(RealDeviceInputs, FlightStickReportGivesThrottleAxesHatAndTheLastDeclaredButton) {
    DevicePtr stick = MakeRealDevice(kFlightStick, nullptr);
    ASSERT_NE(stick, nullptr);
    flightstick::State s;
    s.slider = 1023;
    s.x = 2047;
    s.y = 0;
    s.rz = 300;
    s.hat = 240;  // null state: above the logical maximum
    s.buttons = (1u << 0) | (1u << 28);
    EXPECT_EQ(Decode(*stick, flightstick::Report(s)), 1u);
    EXPECT_EQ(PendingOf(*stick, kDesktop, 0x36), 1023u);
    EXPECT_EQ(PendingOf(*stick, kDesktop, 0x30), 1023u);
    EXPECT_EQ(PendingOf(*stick, kDesktop, 0x31), 0u);
    EXPECT_EQ(PendingOf(*stick, kDesktop, 0x35), 300u);
    EXPECT_EQ(PendingOf(*stick, kDesktop, 0x39), 240u);
    EXPECT_EQ(PendingButtons(*stick), (1u << 0) | (1u << 28));
}

// The descriptor writes the axes' maximum as -1; reduced to the 16-bit field it is 65535,
// so the axes cover their whole range instead of an empty or inverted one.
TEST_F(RealDeviceInputs, SignedPadAxesSpanTheWholeSixteenBitField) {
    DevicePtr pad = MakeRealDevice(kSignedPad, nullptr);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->ButtonCount, 10);
    ASSERT_EQ(pad->AxisCount, 6);
    for (uint32_t usage : {0x30u, 0x31u, 0x33u, 0x34u}) {
        JoystickInput* axis = FindInput(*pad, kDesktop, usage);
        ASSERT_NE(axis, nullptr) << usage;
        EXPECT_EQ(axis->LogicalMin, 0);
        EXPECT_EQ(axis->LogicalMax, 65535);
        EXPECT_EQ(axis->Centre, 32767);
        EXPECT_EQ(axis->Value, 512u);
        EXPECT_GT(axis->Scale, 0.0f);
    }
    signedpad::State s;
    s.x = 0xFFFF;
    s.y = 0;
    s.rx = 0x8000;
    s.ry = 0x7FFF;
    s.z = 255;
    Decode(*pad, signedpad::Report(s));
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 1023u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x31), 0u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x33), 511u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x34), 511u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x32), 1023u);
}

TEST_F(RealDeviceInputs, SignedPadHatIsAnEightWayHatWithFourDirections) {
    DevicePtr pad = MakeRealDevice(kSignedPad, nullptr);
    ASSERT_NE(pad, nullptr);
    ASSERT_EQ(pad->HatCount, 1);
    const JoystickInput& hat = pad->Hats[0];
    EXPECT_EQ(hat.Kind, kKindHat8);
    EXPECT_EQ(ShownName(hat), u"Direcional");
    EXPECT_EQ(hat.Value, 0u);
    EXPECT_EQ(hat.Centre, 4);
    ASSERT_NE(hat.Directions, nullptr);
    const std::pair<uint32_t, std::u16string> directions[] = {{0xF90, u"Direcional acima"},
                                                              {0xF92, u"Direcional para direita"},
                                                              {0xF91, u"Direcional para baixo"},
                                                              {0xF93, u"Direcional para esquerda"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(hat.Directions[i].Usage, directions[i].first);
        EXPECT_EQ(hat.Directions[i].UsagePage, 0u);
        EXPECT_EQ(hat.Directions[i].Kind, i);
        EXPECT_EQ(ShownName(hat.Directions[i]), directions[i].second);
    }
}

TEST_F(RealDeviceInputs, SignedPadHatPositionsGiveDirectionMasksAndSubInputs) {
    DevicePtr pad = MakeRealDevice(kSignedPad, nullptr);
    ASSERT_NE(pad, nullptr);
    const JoystickInput& hat = pad->Hats[0];
    // Raw 0 is the null state (centred); 1 to 8 run clockwise from up.
    const uint32_t masks[16] = {0, 1, 3, 2, 6, 4, 12, 8, 9, 0, 0, 0, 0, 0, 0, 0};
    for (uint8_t raw = 0; raw < 16; ++raw) {
        SCOPED_TRACE(raw);
        signedpad::State s;
        s.hat = raw;
        EXPECT_EQ(Decode(*pad, signedpad::Report(s)), 1u);
        EXPECT_EQ(hat.LoadPending(), masks[raw]);
        for (int bit = 0; bit < 4; ++bit)
            EXPECT_EQ(hat.Directions[bit].LoadPending(), (masks[raw] >> bit) & 1u);
    }
}

TEST_F(RealDeviceInputs, WirelessPadIgnoresConsumerButtonsAndNamesSimulationControls) {
    DevicePtr pad = MakeRealDevice(kWirelessPad, nullptr);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->ButtonCount, 15);
    EXPECT_EQ(pad->Buttons[0].UsagePage, kButtonPage);
    JoystickInput* brake = FindInput(*pad, 2, 0xC5);
    JoystickInput* accelerator = FindInput(*pad, 2, 0xC4);
    ASSERT_NE(brake, nullptr);
    ASSERT_NE(accelerator, nullptr);
    EXPECT_FALSE(ShownName(*brake).empty());
    EXPECT_NE(ShownName(*brake), ShownName(*accelerator));
    EXPECT_EQ(brake->Scale, 0.0f);
    EXPECT_EQ(pad->Hats[0].Kind, kKindHat8);

    wirelesspad::State s;
    s.back = true;  // consumer page: no button of ours
    s.buttons = 1u << 14;
    s.accelerator = 1000;
    s.hat = 7;
    Decode(*pad, wirelesspad::Report(s));
    EXPECT_EQ(PendingButtons(*pad), 1u << 14);
    EXPECT_EQ(accelerator->LoadPending(), 1000u);
    EXPECT_EQ(pad->Hats[0].LoadPending(), 8u);  // left
}

// Report 4 carries only the battery: every other input keeps what report 1 gave it.
TEST_F(RealDeviceInputs, ReportWithAnotherIdChangesOnlyTheInputsItCarries) {
    DevicePtr pad = MakeRealDevice(kWirelessPad, nullptr);
    ASSERT_NE(pad, nullptr);
    wirelesspad::State s;
    s.buttons = 0x5;
    s.x = 0;
    s.hat = 3;
    Decode(*pad, wirelesspad::Report(s));
    JoystickInput* battery = FindInput(*pad, 6, 0x20);
    ASSERT_NE(battery, nullptr);
    const uint32_t batteryBefore = battery->LoadPending();

    EXPECT_EQ(Decode(*pad, wirelesspad::BatteryReport(200)), 1u);
    EXPECT_NE(battery->LoadPending(), batteryBefore);
    EXPECT_EQ(PendingButtons(*pad), 0x5u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 0u);
    EXPECT_EQ(pad->Hats[0].LoadPending(), 2u);
}

// Anything but the device's exact report length is refused by the library: no input moves
// and the report does not count.
TEST_F(RealDeviceInputs, ReportOfTheWrongLengthChangesNothing) {
    DevicePtr pad = MakeRealDevice(kGamePad12, nullptr);
    ASSERT_NE(pad, nullptr);
    gamepad12::State s;
    s.buttons = 0xFFF;
    s.x = 0;
    s.hat = 4;
    const std::vector<uint8_t> full = gamepad12::Report(s).Bytes();
    for (uint32_t length : {0u, 1u, 9u, 11u, 64u}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> bytes(full);
        bytes.resize(std::max<size_t>(length, 1));
        EXPECT_EQ(DecodeReport(*pad, bytes.data(), length, usages_, 128), 0u);
        EXPECT_EQ(PendingButtons(*pad), 0u);
        EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 514u);
        EXPECT_EQ(PendingOf(*pad, kDesktop, 0x39), 0u);
    }
}

// Disabled inputs are left alone; buttons are decoded as a whole but only count when one
// of them is enabled.
TEST_F(RealDeviceInputs, DisabledInputsKeepTheirValuesAndDoNotCount) {
    DevicePtr pad = MakeRealDevice(kSignedPad, nullptr);
    ASSERT_NE(pad, nullptr);
    for (int32_t i = 0; i < pad->InputCount(); ++i)
        pad->Inputs()[i].Enabled.store(0);
    signedpad::State s;
    s.buttons = 0x3;
    s.x = 0;
    s.hat = 5;
    EXPECT_EQ(Decode(*pad, signedpad::Report(s)), 0u);
    EXPECT_EQ(PendingButtons(*pad), 0x3u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 512u);
    EXPECT_EQ(pad->Hats[0].LoadPending(), 0u);
    EXPECT_EQ(pad->Hats[0].Directions[2].LoadPending(), 0u);

    FindInput(*pad, kDesktop, 0x30)->Enabled.store(~0u);
    EXPECT_EQ(Decode(*pad, signedpad::Report(s)), 1u);
    EXPECT_EQ(PendingOf(*pad, kDesktop, 0x30), 0u);
}

}  // namespace
