// The interface's arithmetic at the screen densities users have, which controls are drawn
// white on black, and the start's error code.
#include <gtest/gtest.h>

#include "core/Status.h"
#include "ui/UiMetrics.h"

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
        const PictureSize board = ScaledPictureSize(518, 576, factor);
        const PictureSize second = ScaledPictureSize(145, 200, factor);
        EXPECT_EQ(board.width, c.boardWidth);
        EXPECT_EQ(board.height, c.boardHeight);
        EXPECT_EQ(second.width, c.secondWidth);
        EXPECT_EQ(second.height, c.secondHeight);
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

TEST(UiRules, AFailedStartNeverReadsAsSuccess) {
    EXPECT_EQ(FailureFromError(0), static_cast<HResult>(0x80004005u));
    EXPECT_EQ(FailureFromError(2), static_cast<HResult>(0x80070002u));
    EXPECT_EQ(FailureFromError(0x8007000Eu), static_cast<HResult>(0x8007000Eu));
}
