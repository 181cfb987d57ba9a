// Capabilities to inputs, the preparation of axes and hats, and the input names.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"

namespace {

HidButtonCaps ButtonRange(uint16_t page, uint16_t first, uint16_t last) {
    HidButtonCaps caps = {};
    caps.UsagePage = page;
    caps.IsRange = 1;
    caps.IsAbsolute = 1;
    caps.Range.UsageMin = first;
    caps.Range.UsageMax = last;
    return caps;
}

HidValueCaps Value(uint16_t usage, int32_t logicalMin, int32_t logicalMax, uint16_t bitSize = 8,
                   uint16_t page = 1, bool absolute = true) {
    HidValueCaps caps = {};
    caps.UsagePage = page;
    caps.IsAbsolute = absolute ? 1 : 0;
    caps.BitSize = bitSize;
    caps.LogicalMin = logicalMin;
    caps.LogicalMax = logicalMax;
    caps.NotRange.Usage = usage;
    return caps;
}

std::u16string Text(const char16_t* text) {
    return text != nullptr ? std::u16string(text) : u"(null)";
}

// Owns a block built from capabilities and releases it at the end of the test.
class Built {
  public:
    Built(std::vector<HidButtonCaps> buttons, std::vector<HidValueCaps> values) {
        code = BuildInputs(buttons.data(), static_cast<uint32_t>(buttons.size()), values.data(),
                           static_cast<uint32_t>(values.size()), &block);
    }
    ~Built() { ReleaseInputBlock(block); }
    JoystickInput& Button(int i) { return block.Inputs[i]; }
    JoystickInput& Axis(int i) { return block.Inputs[block.ButtonCount + i]; }
    JoystickInput& Hat() { return block.Inputs[block.ButtonCount + block.AxisCount]; }

    HResult code;
    InputBlock block;
};

class InputCatalogueTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ReleaseInputNames();
        EXPECT_TRUE(AllInstanceCountersZero());
    }
};

// Names, usages and kinds of buttons and of a hat's directions are checked on the real
// devices (the Windows tests); here the shapes of capability lists those do not have.
TEST_F(InputCatalogueTest, ButtonsComeFromTheFirstCapabilityOnly) {
    HidButtonCaps single = {};
    single.UsagePage = 9;
    single.NotRange.Usage = 7;
    Built one({single}, {});
    ASSERT_EQ(1, one.block.ButtonCount);
    EXPECT_EQ(7u, one.Button(0).Usage);
    EXPECT_EQ(u"Botão 1", Text(DisplayName(one.Button(0))));
    Built inverted({ButtonRange(9, 5, 2)}, {Value(0x30, 0, 255)});
    EXPECT_EQ(kOk, inverted.code);
    EXPECT_EQ(0, inverted.block.ButtonCount);
    EXPECT_EQ(1, inverted.block.AxisCount);
    Built two({ButtonRange(9, 1, 4), ButtonRange(9, 5, 20)}, {});
    EXPECT_EQ(4, two.block.ButtonCount);
}

// The first hat switch with range 1 to 8 is an eight-way hat at rest with directions made
// once; a second one is an axis of the same kind, neither scaled nor given directions, and
// a plain axis takes none.
TEST_F(InputCatalogueTest, HatsAndTheirDirections) {
    Built built({ButtonRange(9, 1, 2)}, {Value(0x39, 1, 8, 4), Value(0x39, 1, 8, 4), Value(0x30, 0, 255)});
    ASSERT_EQ(1, built.block.HatCount);
    EXPECT_EQ(kKindHat8, built.Hat().Kind);
    EXPECT_EQ(0u, built.Hat().Value);
    EXPECT_EQ(u"Direcional", Text(DisplayName(built.Hat())));
    ASSERT_TRUE(CreateDirectionInputs(built.Hat()));
    JoystickInput* first = built.Hat().Directions;
    EXPECT_TRUE(CreateDirectionInputs(built.Hat()));
    EXPECT_EQ(first, built.Hat().Directions);

    ASSERT_EQ(2, built.block.AxisCount);
    JoystickInput& second = built.Axis(0);
    EXPECT_EQ(kKindHat8, second.Kind);
    EXPECT_EQ(u"Direcional", Text(DisplayName(second)));
    NormalizeAxis(second);
    EXPECT_EQ(0.0f, second.Scale);
    EXPECT_EQ(0u, second.Value);
    EXPECT_EQ(nullptr, second.Directions);
    EXPECT_FALSE(CreateDirectionInputs(built.Axis(1)));
}

// Relative values give no input; limits are reduced to the field width, and equal limits
// deliver raw values.
TEST_F(InputCatalogueTest, ValueLimitsAndKinds) {
    Built built({ButtonRange(9, 1, 2)}, {Value(0x38, -127, 127, 8, 1, false), Value(0x30, 0, 255, 16),
                                         Value(0x31, -1, 255, 8), Value(0x32, -32768, 32767, 32)});
    ASSERT_EQ(3, built.block.AxisCount);
    EXPECT_EQ(0x30u, built.Axis(0).Usage);
    EXPECT_EQ(0, built.Axis(0).LogicalMin);
    EXPECT_EQ(255, built.Axis(0).LogicalMax);
    EXPECT_EQ(255, built.Axis(1).LogicalMin);
    EXPECT_EQ(255, built.Axis(1).LogicalMax);
    EXPECT_EQ(-32768, built.Axis(2).LogicalMin) << "a 32-bit field keeps its limits whole";
    EXPECT_EQ(-1, built.Axis(2).Centre);
    NormalizeAxis(built.Axis(1));
    EXPECT_EQ(0.0f, built.Axis(1).Scale);
    EXPECT_EQ(255u, built.Axis(1).Value);
    EXPECT_EQ(255u, built.Axis(1).LoadPending());
}

// A range within 1/64 of ten bits (1008 to 1039 steps) passes raw values through; one step
// outside that window on either side is scaled.
TEST_F(InputCatalogueTest, AxisWithinASixtyFourthOfTenBitsIsUnscaledAndOneJustOutsideIsScaled) {
    const struct {
        int32_t max;
        bool scaled;
    } cases[] = {{1007, true}, {1008, false}, {1023, false}, {1039, false}, {1040, true}};
    for (const auto& c : cases) {
        Built built({}, {Value(0x30, 0, c.max, 16)});
        NormalizeAxis(built.Axis(0));
        EXPECT_EQ(c.scaled, built.Axis(0).Scale != 0.0f) << "logical 0 to " << c.max;
        if (c.scaled)
            EXPECT_FLOAT_EQ(1023.0f / c.max, built.Axis(0).Scale);
    }
    Built wide({}, {Value(0x31, 0, 65535, 16)});
    NormalizeAxis(wide.Axis(0));
    EXPECT_NEAR(0.01561f, wide.Axis(0).Scale, 1e-5f);
    EXPECT_EQ(512u, wide.Axis(0).Value);
}

// Named by the usage table; without a table name, by page and usage. Kinds from the usage.
TEST_F(InputCatalogueTest, DisplayNamesFollowTheUsage) {
    Built built({}, {Value(0xBB, 0, 255, 8, 2), Value(0xBA, 0, 255, 8, 2), Value(0x35, 0, 255),
                     Value(0x40, 0, 255), Value(0x45, 0, 255), Value(0x92, 0, 1)});
    const char16_t* names[] = {u"HID 02:BB", u"HID 02:BA",          u"Eixo de Rotação Z",
                               u"Vetor X",   u"Vetor de Rotação Z", u"Direcional para direita"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(names[i], Text(DisplayName(built.Axis(i))));
    EXPECT_EQ(0xBB - 16, built.Axis(0).Kind);
    EXPECT_EQ(0x92 - 16, built.Axis(5).Kind);
    EXPECT_EQ(0u, built.Axis(5).Value) << "a d-pad value rests at 0, not at its centre";
}

// A translation file as a map of keys of section "Joystick".
struct FakeFile {
    std::map<std::u16string, std::u16string> keys;
    int reads = 0;

    static String* Read(void* context, const char16_t* section, const char16_t* key) {
        auto* file = static_cast<FakeFile*>(context);
        ++file->reads;
        if (std::u16string(section) != u"Joystick")
            return new String();
        auto found = file->keys.find(key);
        return found == file->keys.end() ? new String() : new String(found->second.c_str());
    }
};

// Without a "Button" text nothing else is read and every default stays; with one, every
// key counts, even an empty or absent one.
TEST_F(InputCatalogueTest, ButtonKeyDecidesWhetherTheFileNamesTheInputs) {
    for (const char16_t* button : {u"", u"(absent)", u"Knopf"}) {
        FakeFile file;
        file.keys[u"YAxis"] = u"Y-Achse";
        file.keys[u"DPad"] = u"";
        if (std::u16string(button) != u"(absent)")
            file.keys[u"Button"] = button;
        LoadInputNames(FakeFile::Read, &file);
        const bool loaded = std::u16string(button) == u"Knopf";
        EXPECT_EQ(loaded, InputNames().Loaded);
        EXPECT_EQ(loaded ? 22 : 1, file.reads);
        Built built({ButtonRange(9, 1, 2)}, {Value(0x31, 0, 255), Value(0x30, 0, 255), Value(0x39, 1, 8, 4)});
        EXPECT_EQ(loaded ? u"Knopf 2" : u"Botão 2", Text(DisplayName(built.Button(1))));
        EXPECT_EQ(loaded ? u"Y-Achse" : u"Eixo Y", Text(DisplayName(built.Axis(0))));
        EXPECT_EQ(loaded ? u"" : u"Eixo X", Text(DisplayName(built.Axis(1))))
            << "an absent key gives nothing";
        EXPECT_EQ(loaded ? u"" : u"Direcional", Text(DisplayName(built.Hat())));
        ReleaseInputNames();
    }
}

TEST_F(InputCatalogueTest, NamesAreReadAtTheTimeOfTheCallAndSurviveRelease) {
    Built built({}, {Value(0x30, 0, 255), Value(0x39, 1, 8, 4)});
    ASSERT_TRUE(CreateDirectionInputs(built.Hat()));
    EXPECT_EQ(u"Eixo X", Text(DisplayName(built.Axis(0))));

    FakeFile file;
    file.keys[u"Button"] = u"Knopf";
    file.keys[u"XAxis"] = u"X-Achse";
    file.keys[u"DUp"] = u"Hoch";
    LoadInputNames(FakeFile::Read, &file);
    EXPECT_EQ(u"X-Achse", Text(DisplayName(built.Axis(0))));

    // Directions made while the file's texts were loaded must not point at them after
    // they are released.
    JoystickInput withLoadedNames;
    withLoadedNames.Kind = kKindHat8;
    ASSERT_TRUE(CreateDirectionInputs(withLoadedNames));
    EXPECT_EQ(u"Hoch", Text(DisplayName(withLoadedNames.Directions[0])));
    ReleaseInputNames();
    EXPECT_EQ(u"Eixo X", Text(DisplayName(built.Axis(0))));
    EXPECT_EQ(u"Direcional acima", Text(DisplayName(withLoadedNames.Directions[0])));
    delete[] withLoadedNames.Directions;
}

}  // namespace
