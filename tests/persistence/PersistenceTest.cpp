// The portable persistence rules: the settings record's bytes, the profile record through
// the association model (what a restore applies, skips or refuses, seen in the record
// captured afterwards) and the profile name dialog's OK rules in both modes. The registry
// itself is SettingsStoreTest_win.cpp's; the moves to and from the board the session test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "RecordBytes.h"
#include "joystick/InputCatalogue.h"
#include "persistence/ProfileName.h"
#include "persistence/SavedValues.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Record(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    return Bytes(bytes, bytes + kSavedValuesLength);
}

// Damaged positions read as 100, ports 256 and 0 both go through byte 255, and a flag word
// whose low byte is 0 is still on.
TEST(SavedValuesTest, PositionsAbove100ReadAs100AndPortAndFlagsKeepTheirMeaning) {
    const uint8_t damaged[kSavedValuesLength] = {101, 255, 100, 0, 200, 50, 150, 7, 0, 9};
    const Bytes expected = {100, 100, 100, 0, 100, 50, 100, 7, 0, 9};
    EXPECT_EQ(expected, Record(ParseSavedValues(damaged, kSavedValuesLength)));
    for (uint32_t port : {256u, 0u}) {
        SavedValues values = DefaultSavedValues();
        values.SetComPort(port);
        const Bytes bytes = Record(values);
        EXPECT_EQ(255, bytes[8]) << port;
        EXPECT_EQ(256u, ParseSavedValues(bytes.data(), kSavedValuesLength).ComPort()) << port;
    }
    BoardState board;
    board.SetPercent(kChannelInputD, 99);
    EXPECT_EQ(Record(CaptureSavedValues(board, 31, 0x100)), (Bytes{99, 0, 0, 0, 0, 0, 0, 0, 30, 1}));
}

// Button 1 on "Tecla A": the set each case starts from.
const Bytes kStart = {0, 0, 1, 0, 9, 0, 0, 0, 1, 0, 0, 8};
// Botão 3 -> Tecla Enter, Eixo X -> Sensor de luz.
const Bytes kExample = {0, 0, 2, 0, 9, 0, 0, 0, 3, 0, 0, 6, 1, 0, 0, 0, 0x30, 0, 1, 4};
const Bytes kEmpty = {0, 0, 0, 0};

// A header with the count, then entries of page (8 bits here), usage, analog byte, index.
Bytes Record(uint8_t count, std::initializer_list<std::array<uint8_t, 4>> entries) {
    Bytes record = {0, 0, count, 0};
    for (const auto& e : entries)
        record.insert(record.end(), {e[0], 0, 0, 0, e[1], 0, e[2], e[3]});
    return record;
}

// A model whose inputs are two hats' directions and two sliders, which share their usages,
// then buttons 1 and 3 and the X axis.
class ProfileRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (JoystickInput& hat : hats) {
            hat.Kind = kKindHat8;
            ASSERT_TRUE(CreateDirectionInputs(hat));
            for (int d = 0; d < kDirectionCount; ++d)
                model->AddInputRef(&hat.Directions[d], &hat);
        }
        const uint32_t usages[][2] = {{1, 0x36}, {1, 0x36}, {9, 1}, {9, 3}, {1, 0x30}};
        for (int i = 0; i < 5; ++i) {
            inputs[i].UsagePage = usages[i][0];
            inputs[i].Usage = usages[i][1];
            inputs[i].Name = u"Entrada";
            model->AddInputRef(&inputs[i], nullptr);
        }
    }
    void TearDown() override {
        delete model;
        for (JoystickInput& hat : hats)
            delete[] hat.Directions;
        EXPECT_TRUE(AllInstanceCountersZero());
    }
    JoystickInput hats[2], inputs[5];
    AssociationModel* model = new AssociationModel();
};

TEST_F(ProfileRecordTest, RestoreAppliesValidRecordsInOrderAndLeavesTheSetAloneForInvalidOnes) {
    Bytes withExtra = kExample, wideSamePage = Record(1, {{9, 1, 0, 5}});
    withExtra.push_back(7);
    wideSamePage[6] = 1;  // page 0x10009 is not page 9
    const struct {
        const char* name;
        Bytes record;
        bool valid;
        Bytes after;
    } cases[] = {
        {"the example", kExample, true, kExample},
        {"an empty set clears", kEmpty, true, kEmpty},
        {"bytes after the entries are ignored", withExtra, true, kExample},
        {"the later entry for one input wins", Record(2, {{9, 3, 0, 6}, {9, 3, 0, 9}}), true,
         Record(1, {{9, 3, 0, 9}})},
        {"the later entry for one target wins", Record(2, {{9, 3, 1, 2}, {1, 0x30, 7, 2}}), true,
         Record(1, {{1, 0x30, 1, 2}})},
        {"no matching input, or a target outside its list, is skipped",
         Record(3, {{9, 2, 0, 6}, {9, 3, 1, 7}, {9, 3, 0, 44}}), true, kEmpty},
        {"a 32-bit usage page", wideSamePage, true, kEmpty},
        {"shorter than the header", {0, 0, 0}, false, kStart},
        {"a count larger than the data", Record(3, {{9, 3, 0, 6}, {1, 0x30, 1, 4}}), false, kStart},
        {"a first word of 1", {1, 0, 0, 0}, false, kStart},
        {"a first word of 256", {0, 1, 0, 0}, false, kStart},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Restore(*model, kStart));
        EXPECT_EQ(c.valid, Restore(*model, c.record)) << c.name;
        EXPECT_EQ(c.after, Capture(*model)) << c.name;
    }
    EXPECT_FALSE(RestoreAssociations(*model, nullptr));
}

// Each link on an input that shares its usages comes back to the input it was made on,
// whichever order it was made in; a hat direction's usage (above 255) is stored whole; and
// a record with one entry for some usages binds the first input that has them.
TEST_F(ProfileRecordTest, InputsThatShareTheirUsagesKeepTheirLinksThroughARecord) {
    // Which input drives each key target (A, B) and channel (Entrada A, B), in list order.
    auto links = [&] {
        std::vector<std::pair<int32_t, JoystickInput*>> found;
        for (int32_t i = 0; i < model->AllAssociations().Count(); ++i) {
            const Association* a = AssociationModel::At(model->AllAssociations(), i);
            found.emplace_back(a->targetIndex + 100 * a->isChannel, a->inputRef->input);
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    // Second hat up -> A, first hat up -> B, second slider -> Entrada A, first -> Entrada B.
    for (const auto& [input, isChannel, target] :
         {std::tuple(4, false, 8), std::tuple(0, false, 9), std::tuple(9, true, 0), std::tuple(8, true, 1)})
        model->AddAssociationForInput(input, isChannel, target);
    const auto made = links();
    const Bytes saved = Capture(*model);
    ASSERT_EQ(saved.size(), 36u);
    EXPECT_EQ(Bytes(saved.begin() + 4, saved.begin() + 12), (Bytes{0, 0, 0, 0, 0x90, 0x0F, 0, 9}));
    ASSERT_TRUE(Restore(*model, kEmpty));
    ASSERT_TRUE(Restore(*model, saved));
    EXPECT_EQ(links(), made);

    ASSERT_TRUE(Restore(*model, {0, 0, 1, 0, 0, 0, 0, 0, 0x90, 0x0F, 0, 8}));
    ASSERT_EQ(model->AllAssociations().Count(), 1);
    EXPECT_EQ(AssociationModel::At(model->AllAssociations(), 0)->inputRef->input, &hats[0].Directions[0]);
}

TEST(ProfileNameTest, TrimsMatchesWithoutCaseAndRefusesWithTheMessageOfTheMode) {
    const std::u16string notInList = u"Por favor, selecione um perfil válido da lista!";
    const std::u16string emptyName = u"Por favor, digite um nome válido para o perfil!";
    const std::u16string hundred(100, u'n');
    ObjectList* saved = new ObjectList();
    // "": the key's default value.
    for (const char16_t* name : {u"Corrida", u"AÇÃO Ŀ Ωμέγα Жук", u"x", u"", hundred.c_str()}) {
        String* text = new String(name);
        saved->Append(text);
        text->Release();
    }
    const struct {
        bool existingOnly;
        std::u16string typed, name, refusal;  // name: as returned when accepted
        bool nameExists;
    } cases[] = {
        {true, u"  corrida ", u"corrida", u"", true},
        {true, u"\t ação ŀ ΩΜΈΓΑ жУК\u00A0", u"ação ŀ ΩΜΈΓΑ жУК", u"", true},
        {true, u"Corridas", u"", notInList, false},
        {true, u" \r\n", u"", notInList, true},
        {false, u"  Novo perfil ", u"Novo perfil", u"", false},
        {false, u"X", u"X", u"", true},
        {false, u" \t", u"", emptyName, true},
        {false, hundred + u"x", hundred, u"", true},
        {true, hundred + u"x", u"", notInList, false},  // only a save cuts to the limit
    };
    for (const auto& c : cases) {
        String* name = new String(c.typed.c_str());
        const ProfileNameCheck check = CheckProfileName(*name, saved, c.existingOnly);
        EXPECT_EQ(c.refusal, std::u16string(check.refusal != nullptr ? check.refusal : u""));
        EXPECT_EQ(c.refusal.empty(), check.accepted);
        EXPECT_EQ(c.nameExists, check.nameExists) << std::string(c.typed.begin(), c.typed.end());
        EXPECT_EQ(check.accepted ? c.name : name->Chars(), std::u16string(name->Chars()));
        name->Release();
    }
    saved->Release();
    EXPECT_TRUE(AllInstanceCountersZero());
}

}  // namespace
