// The interface's portable rules: its arithmetic at the screen densities users have, which
// controls are drawn white on black, and the association editor's
// input list: buttons by number under whatever word the translation gives them, the rest by
// name, and the directions of the first hat before those of a later one.
#include <string>
#include <vector>

#include "support/JoystickFixture.h"
#include "ui/InputOrder.h"
#include "ui/UiMetrics.h"

namespace {

TEST(UiRules, ScalingFontAndPicturesPerDpi) {
    const struct {
        int32_t dpi;
        int32_t fontHeight, stripLeft, boardWidth, boardHeight, secondWidth, secondHeight;
    } cases[] = {
        {96, -14, 338, 259, 288, 72, 100},
        {120, -18, 422, 323, 360, 90, 125},
        {144, -22, 507, 388, 432, 108, 150},
        {192, -29, 676, 518, 576, 145, 200},  // factor 1: the stored size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(UiFontHeight(c.dpi), c.fontHeight);
        EXPECT_EQ(ScaleLogical(338, c.dpi), c.stripLeft);
        const float factor = PictureFactor(static_cast<float>(c.dpi) / 96.0f);
        const PictureSize board = ScaledPictureSize(518, 576, factor),
                          second = ScaledPictureSize(145, 200, factor);
        EXPECT_EQ((std::vector<int32_t>{board.width, board.height, second.width, second.height}),
                  (std::vector<int32_t>{c.boardWidth, c.boardHeight, c.secondWidth, c.secondHeight}));
    }
    EXPECT_EQ(PictureFactor(2.0f), 1.0f);
}

// The rows and "Pressionado" on the board's black area; the port field, the start button and
// the right column keep the system's colours.
TEST(UiRules, OnlyTheBoardAreaControlsUseTheBoardsColours) {
    for (int32_t id : {IDC_CH4_EDIT, IDC_CH4_SLIDER, IDC_CH0_SPIN, IDC_PRESSED, IDC_CH7_EDIT})
        EXPECT_TRUE(UsesBoardColours(id)) << id;
    for (int32_t id : {IDC_PORT_EDIT, IDC_START, IDC_JOYSTICK_ONLY, IDC_JOYSTICK_LABEL, IDC_ASSOCIATIONS})
        EXPECT_FALSE(UsesBoardColours(id)) << id;
}

class InputOrderTest : public JoystickFixture {};

String* ReadName(void* word, const char16_t*, const char16_t* key) {
    return new String(std::u16string(key) == u"Button" ? static_cast<const char16_t*>(word) : u"");
}

TEST_F(InputOrderTest, ButtonsByNumberUnderAnyWordThenTheRestByName) {
    // "Zeta" sorts after every other name, so only the number rule puts 10 after 9.
    for (const std::u16string word : {u"Botão", u"Zeta"}) {
        if (word == u"Zeta")
            LoadInputNames(ReadName, const_cast<char16_t*>(word.c_str()));
        JoystickDevice* pad = MakeStrictDevice(GamePadLayout(), Handle(1));
        ASSERT_NE(pad, nullptr);
        AssociationModel model;
        ASSERT_EQ(BuildInputRefs(model, *pad), kOk);
        std::u16string buttons, names;
        for (int n = 1; n <= 12; ++n)
            buttons += word + (n < 10 ? u" " : u" 1") + char16_t(u'0' + n % 10) + u"|";
        for (int32_t i = 0; i < model.InputRefs().Count(); ++i)
            names += DisplayName(*model.InputRefAt(i)->input) + std::u16string(u"|");
        // The directions and axes: by name, or, their texts emptied by a translation that
        // only names the buttons, first.
        EXPECT_EQ(names, word == u"Botão" ? buttons +
                                                u"Direcional acima|Direcional para baixo|Direcional para "
                                                u"direita|Direcional para esquerda|Eixo X|Eixo Y|"
                                          : u"||||||" + buttons);
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
