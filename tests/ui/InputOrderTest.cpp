// The association editor's input list: buttons by number under whatever word the
// translation gives them, the rest by name, and the directions of the first hat before
// those of a later one.
#include <map>
#include <string>

#include "support/JoystickFixture.h"
#include "ui/InputOrder.h"

namespace {

class InputOrderTest : public JoystickFixture {};

String* ReadName(void* word, const char16_t*, const char16_t* key) {
    return new String(std::u16string(key) == u"Button" ? static_cast<const char16_t*>(word) : u"");
}

std::u16string Names(const AssociationModel& model) {
    std::u16string names;
    for (int32_t i = 0; i < model.InputRefs().Count(); ++i)
        names += (i > 0 ? u"|" : u"") + std::u16string(DisplayName(*model.InputRefAt(i)->input));
    return names;
}

TEST_F(InputOrderTest, ButtonsByNumberUnderAnyWordThenTheRestByName) {
    // "Zeta" sorts after every other name, so only the number rule puts 10 after 9.
    for (const char16_t* word : {u"Botão", u"Zeta"}) {
        if (std::u16string(word) != u"Botão")
            LoadInputNames(ReadName, const_cast<char16_t*>(word));
        JoystickDevice* pad = MakeStrictDevice(GamePadLayout(), Handle(1));
        ASSERT_NE(pad, nullptr);
        AssociationModel model;
        ASSERT_EQ(BuildInputRefs(model, *pad), kOk);
        const std::u16string w(word);
        std::u16string buttons;
        for (int n = 1; n <= 12; ++n)
            buttons += w + u" " + std::u16string(1, u'0' + n % 10).insert(0, n >= 10 ? u"1" : u"") + u"|";
        // The directions and axes: by name, or, their texts emptied by a translation that
        // only names the buttons, first.
        EXPECT_EQ(Names(model), w == u"Botão" ? buttons +
                                                    u"Direcional acima|Direcional para baixo|Direcional para "
                                                    u"direita|Direcional para esquerda|Eixo X|Eixo Y"
                                              : u"||||||" + buttons.substr(0, buttons.size() - 1));
        model.ClearInputRefs();
        SafeRelease(pad);
        ReleaseInputNames();
    }
}

TEST_F(InputOrderTest, TheFirstHatsDirectionsComeBeforeALaterHats) {
    InputBlock block;
    block.Inputs = new JoystickInput[2];
    block.HatCount = 2;
    for (int h = 0; h < 2; ++h) {
        block.Inputs[h].Kind = kKindHat8;
        ASSERT_TRUE(CreateDirectionInputs(block.Inputs[h]));
    }
    auto* pad = new JoystickDevice(DeviceIdentity{}, nullptr, 0, new String(u"Pad"), block);
    AssociationModel model;
    ASSERT_EQ(BuildInputRefs(model, *pad), kOk);
    ASSERT_EQ(model.InputRefs().Count(), 8);
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(model.InputRefAt(i)->parentHat, &pad->Hats[i % 2])
            << DisplayName(*model.InputRefAt(i)->input);
    model.ClearInputRefs();
    pad->Release();
}

}  // namespace
