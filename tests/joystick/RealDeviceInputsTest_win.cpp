// The input catalogue and the report decoder on real devices: each descriptor is parsed by
// hidparse.sys, its capabilities read through the real hid.dll, its inputs built and
// prepared, and real report bytes decoded into them.
#include <gtest/gtest.h>

#include "JoystickSupport_win.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

constexpr uint32_t kDesktop = 1;

struct AxisRow {
    uint32_t usage;
    const char16_t* name;
    int32_t max;
    bool scaled;
};

class RealDeviceInputs : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ReaderStartup(nullptr), kOk); }
    void TearDown() override {
        ReaderShutdown();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    // Decodes one report as the reader thread would; returns whether it touched an enabled input.
    uint32_t Decode(JoystickDevice& device, const std::vector<uint8_t>& report) {
        return DecodeReport(device, report.data(), static_cast<uint32_t>(report.size()), usages_, 128);
    }
    uint32_t PendingOf(JoystickDevice& device, uint32_t usage, uint32_t page = kDesktop) {
        JoystickInput* input = FindInput(device, page, usage);
        EXPECT_NE(input, nullptr) << "page " << page << " usage " << usage;
        return input != nullptr ? input->LoadPending() : 0xDEADBEEF;
    }
    // Pending of desktop-page inputs, {usage, value} each.
    void ExpectPending(JoystickDevice& device,
                       std::initializer_list<std::pair<uint32_t, uint32_t>> expected) {
        for (const auto& e : expected)
            EXPECT_EQ(PendingOf(device, e.first), e.second) << "usage " << e.first;
    }
    // Axes as the catalogue must make them: name, logical range from 0, scaled or raw.
    void ExpectAxes(JoystickDevice& device, std::initializer_list<AxisRow> rows) {
        for (const AxisRow& row : rows) {
            JoystickInput* axis = FindInput(device, kDesktop, row.usage);
            ASSERT_NE(axis, nullptr) << row.usage;
            EXPECT_EQ(std::u16string(DisplayName(*axis)), row.name);
            EXPECT_EQ(axis->Kind, kKindAxis);
            EXPECT_EQ(axis->LogicalMin, 0);
            EXPECT_EQ(axis->LogicalMax, row.max);
            EXPECT_EQ(axis->Centre, row.max / 2);
            EXPECT_EQ(axis->Scale, row.scaled ? 1023.0f / row.max : 0.0f) << row.usage;
        }
    }

    uint16_t usages_[128] = {};
};

TEST_F(RealDeviceInputs, GamePadGivesTwelveNamedButtonsSixScaledAxesAndARawHat) {
    DevicePtr pad = MakeRealDevice("gamepad12");
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->Usage, 5u);
    ASSERT_EQ(pad->ButtonCount, 12);
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(std::u16string(DisplayName(pad->Buttons[i])),
                  u"Botão " + std::u16string(i >= 9 ? u"1" : u"") + char16_t(u'0' + (i + 1) % 10));
        EXPECT_EQ(pad->Buttons[i].Kind, i);
        EXPECT_EQ(pad->Buttons[i].UsagePage, 9u);
        EXPECT_EQ(pad->Buttons[i].Usage, static_cast<uint32_t>(i + 1));
    }
    ASSERT_EQ(pad->AxisCount, 6);
    ExpectAxes(*pad, {{0x30, u"Eixo X", 255, true},
                      {0x31, u"Eixo Y", 255, true},
                      {0x32, u"Eixo Z", 255, true},
                      {0x35, u"Eixo de Rotação Z", 255, true},
                      {0x33, u"Eixo de Rotação X", 255, true},
                      {0x34, u"Eixo de Rotação Y", 255, true}});
    EXPECT_EQ(FindInput(*pad, kDesktop, 0x30)->Value, 514u);  // the centre mapped with the +1
    // A hat whose logical maximum is 7 is not an eight-way hat here: a plain value, unscaled.
    ASSERT_EQ(pad->HatCount, 1);
    const JoystickInput& hat = pad->Hats[0];
    EXPECT_EQ(hat.Kind, kKindAxis);
    EXPECT_EQ(std::u16string(DisplayName(hat)), u"Eixo de Visão");
    EXPECT_EQ(hat.Scale, 0.0f);
    EXPECT_EQ(hat.Centre, 3);
    EXPECT_EQ(hat.Directions, nullptr);

    const RealDescriptor& d = Descriptor("gamepad12");
    EXPECT_EQ(
        Decode(*pad,
               d.Report({{"buttons", 0x811}, {"x", 0}, {"y", 255}, {"z", 128}, {"rx", 64}, {"hat", 6}})),
        1u);
    EXPECT_EQ(PendingButtons(*pad), 0x811u);
    ExpectPending(*pad, {{0x30, 0}, {0x31, 1023}, {0x32, 513}, {0x33, 256}, {0x39, 6}});
    // Released buttons read 0 again; the hat's null state comes through as its raw bits.
    Decode(*pad, d.Report({{"buttons", 0x2}}));
    EXPECT_EQ(PendingButtons(*pad), 0x2u);
    EXPECT_EQ(PendingOf(*pad, 0x39), 255u);
}

TEST_F(RealDeviceInputs, FlightStickKeepsTenBitAxesUnscaledAndScalesElevenBitOnes) {
    DevicePtr stick = MakeRealDevice("flight_stick");
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->Usage, 4u);
    // 128 button fields, but the first capability declares usages 1 to 29 only.
    ASSERT_EQ(stick->ButtonCount, 29);
    EXPECT_EQ(std::u16string(DisplayName(stick->Buttons[28])), u"Botão 29");
    // Seven axes: the parser leaves out the field declared with usage 0 on page 0.
    ASSERT_EQ(stick->AxisCount, 7);
    EXPECT_EQ(FindInput(*stick, 0, 0), nullptr);
    ExpectAxes(*stick, {{0x36, u"Eixo Deslizante", 1023, false}, {0x30, u"Eixo X", 2047, true}});
    EXPECT_EQ(FindInput(*stick, kDesktop, 0x36)->Value, 512u);
    EXPECT_EQ(FindInput(*stick, kDesktop, 0x30)->Value, 512u);
    // The hat's range 0-239 is no eight-way hat.
    ASSERT_EQ(stick->HatCount, 1);
    EXPECT_EQ(stick->Hats[0].Kind, kKindAxis);
    EXPECT_EQ(stick->Hats[0].LogicalMax, 239);

    const RealDescriptor& d = Descriptor("flight_stick");
    EXPECT_EQ(
        Decode(*stick,
               d.Report({{"slider", 1023}, {"x", 2047}, {"y", 0}, {"rz", 300}, {"buttons", 0x10000001}})),
        1u);
    // The hat (0x39) in its null state, above the logical maximum.
    ExpectPending(*stick, {{0x36, 1023}, {0x30, 1023}, {0x31, 0}, {0x35, 300}, {0x39, 240}});
    EXPECT_EQ(PendingButtons(*stick), 0x10000001u);
}

// The descriptor writes the axes' maximum as -1; reduced to the 16-bit field it is 65535,
// so the axes cover their whole range instead of an empty or inverted one. Its hat is an
// eight-way hat with four named directions.
TEST_F(RealDeviceInputs, SignedPadAxesSpanTheWholeFieldAndItsHatHasFourDirections) {
    DevicePtr pad = MakeRealDevice("signed_pad");
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->ButtonCount, 10);
    ASSERT_EQ(pad->AxisCount, 6);
    ExpectAxes(*pad, {{0x30, u"Eixo X", 65535, true},
                      {0x31, u"Eixo Y", 65535, true},
                      {0x33, u"Eixo de Rotação X", 65535, true},
                      {0x34, u"Eixo de Rotação Y", 65535, true}});
    ASSERT_EQ(pad->HatCount, 1);
    const JoystickInput& hat = pad->Hats[0];
    EXPECT_EQ(hat.Kind, kKindHat8);
    EXPECT_EQ(std::u16string(DisplayName(hat)), u"Direcional");
    EXPECT_EQ(hat.Centre, 4);
    ASSERT_NE(hat.Directions, nullptr);
    const std::pair<uint32_t, std::u16string> directions[] = {{0xF90, u"Direcional acima"},
                                                              {0xF92, u"Direcional para direita"},
                                                              {0xF91, u"Direcional para baixo"},
                                                              {0xF93, u"Direcional para esquerda"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(hat.Directions[i].Usage, directions[i].first);
        EXPECT_EQ(hat.Directions[i].Kind, i);
        EXPECT_EQ(std::u16string(DisplayName(hat.Directions[i])), directions[i].second);
    }

    Decode(*pad,
           Descriptor("signed_pad")
               .Report({{"x", 0xFFFF}, {"y", 0}, {"rx", 0x8000}, {"ry", 0x7FFF}, {"z", 255}, {"hat", 4}}));
    ExpectPending(*pad, {{0x30, 1023}, {0x31, 0}, {0x33, 511}, {0x34, 511}, {0x32, 1023}});
    EXPECT_EQ(hat.LoadPending(), 6u);  // down-right
    EXPECT_EQ(hat.Directions[1].LoadPending(), 1u);
    EXPECT_EQ(hat.Directions[2].LoadPending(), 1u);
}

// Report 4 carries only the battery: every other input keeps what report 1 gave it.
TEST_F(RealDeviceInputs, WirelessPadIgnoresConsumerButtonsAndAReportOfAnotherIdKeepsTheRest) {
    DevicePtr pad = MakeRealDevice("wireless_pad");
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->ButtonCount, 15);
    JoystickInput* brake = FindInput(*pad, 2, 0xC5);
    JoystickInput* accelerator = FindInput(*pad, 2, 0xC4);
    ASSERT_NE(brake, nullptr);
    ASSERT_NE(accelerator, nullptr);
    EXPECT_FALSE(std::u16string(DisplayName(*brake)).empty());
    EXPECT_NE(std::u16string(DisplayName(*brake)), DisplayName(*accelerator));
    EXPECT_EQ(brake->Scale, 0.0f);
    EXPECT_EQ(pad->Hats[0].Kind, kKindHat8);

    const RealDescriptor& d = Descriptor("wireless_pad");
    // "back" is on the consumer page: no button of ours.
    Decode(*pad, d.Report({{"back", 1}, {"buttons", 0x4005}, {"accelerator", 1000}, {"x", 0}, {"hat", 7}}));
    EXPECT_EQ(PendingButtons(*pad), 0x4005u);
    EXPECT_EQ(accelerator->LoadPending(), 1000u);
    EXPECT_EQ(pad->Hats[0].LoadPending(), 8u);  // left
    const uint32_t battery = PendingOf(*pad, 0x20, 6);

    EXPECT_EQ(Decode(*pad, d.Report({{"battery", 200}}, 4)), 1u);
    EXPECT_NE(PendingOf(*pad, 0x20, 6), battery);
    EXPECT_EQ(PendingButtons(*pad), 0x4005u);
    EXPECT_EQ(PendingOf(*pad, 0x30), 0u);
    EXPECT_EQ(pad->Hats[0].LoadPending(), 8u);
}

}  // namespace
