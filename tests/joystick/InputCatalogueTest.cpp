// Capabilities to inputs, the preparation of axes and hats, and the input names, on devices
// built and prepared as enumeration and the main window build and prepare them.
#include "support/JoystickFixture.h"

#include <map>
#include <string>
#include <tuple>

#include "joystick/ReportDecoder.h"

namespace {

class InputCatalogueTest : public JoystickFixture {};

// Every input's name, direction sub-inputs included, in block order.
std::u16string Names(const JoystickDevice& device) {
    std::u16string names;
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        const JoystickInput& input = device.Inputs()[i];
        names += (i > 0 ? u"|" : u"") + std::u16string(DisplayName(input));
        for (int d = 0; input.Directions != nullptr && d < kDirectionCount; ++d)
            names += u"|" + std::u16string(DisplayName(input.Directions[d]));
    }
    return names;
}

// Only the first button capability counts; a single usage is one button, an inverted
// range none. Buttons are numbered from 1 whatever their usages.
TEST_F(InputCatalogueTest, ButtonsComeFromTheFirstCapabilityOnly) {
    const struct {
        uint16_t first, last;
        int32_t count;
        const char16_t* names;
    } cases[] = {{1, 4, 4, u"Botão 1|Botão 2|Botão 3|Botão 4|Eixo X"},
                 {7, 7, 1, u"Botão 1|Eixo X"},
                 {5, 2, 0, u"Eixo X"}};
    for (const auto& c : cases) {
        StrictLayout layout = EmptyStrictLayout();
        AddButtonCaps(layout, 9, c.first, c.last);
        AddButtonCaps(layout, 9, 20, 40);
        AddValueField(layout, 1, 0x30, 0, 8, 0, 255);
        JoystickDevice* pad = MakeStrictDevice(layout, Handle(1));
        ASSERT_NE(nullptr, pad);
        EXPECT_EQ(c.names, Names(*pad));
        EXPECT_EQ(c.count > 0 ? c.first : 0u, c.count > 0 ? pad->Buttons[0].Usage : 0u);
        pad->Release();
    }
}

// Relative values give no input. Limits are reduced to the field's width; equal limits, a
// range within 1/64 of ten bits and a hat give raw values, other ranges are scaled onto
// 0 to 1023. Axes rest at their centre, hats and d-pad values at 0. The first hat switch
// numbered 1 to 8 is the eight-way hat, with four directions; a later one stays a value.
TEST_F(InputCatalogueTest, ValueInputsAreNamedRangedAndScaledByTheirUsage) {
    const struct {
        uint16_t page, usage, bits;
        int32_t min, max;
        const char16_t* name;
        int32_t kind, lo, hi;
        uint32_t rest, full;  // Value after preparation; what the logical maximum delivers
    } rows[] = {
        {1, 0x38, 8, -127, 127, nullptr, 0, 0, 0, 0, 0},  // relative
        {1, 0x30, 16, 0, 255, u"Eixo X", kKindAxis, 0, 255, 514, 1023},
        {1, 0x31, 8, -1, 255, u"Eixo Y", kKindAxis, 255, 255, 255, 255},
        {1, 0x32, 32, -32768, 32767, u"Eixo Z", kKindAxis, -32768, 32767, 512, 1023},
        {1, 0x33, 16, 0, 1007, u"Eixo de Rotação X", kKindAxis, 0, 1007, 512, 1023},
        {1, 0x34, 16, 0, 1008, u"Eixo de Rotação Y", kKindAxis, 0, 1008, 513, 1008},
        {1, 0x35, 16, 0, 1039, u"Eixo de Rotação Z", kKindAxis, 0, 1039, 512, 1039},
        {1, 0x36, 16, 0, 1040, u"Eixo Deslizante", kKindAxis, 0, 1040, 512, 1023},
        {1, 0x39, 4, 1, 8, u"Direcional", kKindHat8, 1, 8, 0, 8},          // the second hat switch
        {1, 0x39, 4, 0, 7, u"Eixo de Visão", kKindAxis, 0, 7, 146, 1023},  // rests at 0
        {2, 0xBB, 8, 0, 255, u"HID 02:BB", 0xBB - 16, 0, 255, 0, 255},     // from 0x90 on any page
        {1, 0x40, 8, 0, 255, u"Vetor X", kKindAxis, 0, 255, 514, 1023},
        {1, 0x45, 8, 0, 255, u"Vetor de Rotação Z", kKindAxis, 0, 255, 514, 1023},
        {1, 0x92, 1, 0, 1, u"Direcional para direita", 0x92 - 16, 0, 1, 0, 1},
    };
    StrictLayout layout = EmptyStrictLayout();
    AddButtonCaps(layout, 9, 1, 2);
    AddValueField(layout, 1, 0x39, 0, 4, 1, 8);  // the hat, whatever comes after it
    std::u16string names = u"Botão 1|Botão 2";
    for (const auto& row : rows) {
        AddValueField(layout, row.page, row.usage, 0, row.bits, row.min, row.max)->Caps.IsAbsolute =
            row.name != nullptr;
        names += row.name != nullptr ? u"|" + std::u16string(row.name) : u"";
    }
    JoystickDevice* pad = MakeStrictDevice(layout, Handle(1));
    ASSERT_NE(nullptr, pad);
    EXPECT_EQ(
        names +
            u"|Direcional|Direcional acima|Direcional para direita|Direcional para baixo|Direcional para "
            u"esquerda",
        Names(*pad));
    ASSERT_EQ(static_cast<int32_t>(std::size(rows)) - 1, pad->AxisCount);
    for (int32_t i = 0; i < pad->AxisCount; ++i) {
        const auto& row = rows[i + 1];
        const JoystickInput& axis = pad->Axes[i];
        EXPECT_EQ(std::make_tuple(row.kind, row.lo, row.hi, row.rest, row.rest, row.full),
                  std::make_tuple(axis.Kind, axis.LogicalMin, axis.LogicalMax, axis.LoadValue(),
                                  axis.LoadPending(), ScaleAxisValue(axis, static_cast<uint32_t>(row.hi))))
            << DisplayName(axis)[0] << i;
    }
    EXPECT_EQ(0u, pad->Hats[0].LoadValue());
    pad->Release();
}

// The translation file's section "Joystick", and the count of keys read from it.
std::map<std::u16string, std::u16string> gKeys;
int gReads = 0;

String* ReadKey(void*, const char16_t* section, const char16_t* key) {
    ++gReads;
    const auto found = gKeys.find(key);
    return new String(std::u16string(section) == u"Joystick" && found != gKeys.end() ? found->second.c_str()
                                                                                     : u"");
}

// Without a "Button" text nothing else is read and every default stays; with one, every
// key counts, even an empty or absent one. Buttons keep the names they were built with;
// the other names are read at the time of the call, so none outlives the file's texts.
TEST_F(InputCatalogueTest, TheTranslationNamesTheInputsOnlyWhenItNamesTheButtons) {
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 4;
    AddButtons(layout, 1, 2, 1);
    AddByteValue(layout, 0x31, 2, 1, 0, 255);
    AddByteValue(layout, 0x30, 3, 1, 0, 255);
    AddByteValue(layout, 0x39, 4, 1, 1, 8).Caps.BitSize = 4;
    const std::u16string defaults =
        u"|Eixo Y|Eixo X|Direcional|Direcional acima|Direcional para direita|"
        u"Direcional para baixo|Direcional para esquerda";
    JoystickDevice* before = MakeStrictDevice(layout, Handle(1));
    ASSERT_NE(nullptr, before);
    for (const char16_t* button : {u"", u"(absent)", u"Knopf"}) {
        gKeys = {{u"YAxis", u"Y-Achse"}, {u"DPad", u""}, {u"DUp", u"Hoch"}};
        if (std::u16string(button) != u"(absent)")
            gKeys[u"Button"] = button;
        gReads = 0;
        LoadInputNames(ReadKey, nullptr);
        const bool loaded = std::u16string(button) == u"Knopf";
        EXPECT_EQ(loaded ? 22 : 1, gReads);
        JoystickDevice* pad = MakeStrictDevice(layout, Handle(2));
        ASSERT_NE(nullptr, pad);
        const std::u16string translated = u"|Y-Achse|||Hoch|||";
        EXPECT_EQ((loaded ? u"Knopf 1|Knopf 2" : u"Botão 1|Botão 2") + (loaded ? translated : defaults),
                  Names(*pad));
        EXPECT_EQ(u"Botão 1|Botão 2" + (loaded ? translated : defaults), Names(*before));
        ReleaseInputNames();
        EXPECT_EQ((loaded ? u"Knopf 1|Knopf 2" : u"Botão 1|Botão 2") + defaults, Names(*pad));
        pad->Release();
    }
    before->Release();
}

}  // namespace
