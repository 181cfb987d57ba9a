// The user interface's arithmetic, free of platform calls: lengths in logical units of 96
// dots per inch scaled to the screen, the font size, the sizes of the scaled board
// pictures, the channel rows' control ids and which main-window controls are drawn white
// on black. Used by the drawing resources, the window framework and the main window;
// tested natively.
#pragma once

#include <cstdint>

#include "board/BoardState.h"
#include "resource.h"

// A logical length scaled by a DPI, the fraction dropped toward zero.
constexpr int32_t ScaleLogical(int32_t length, int32_t dpi) {
    return length * dpi / 96;
}

// The user-interface font: 11 points as a character height (negative) at dpiY.
constexpr int32_t UiFontHeight(int32_t dpiY) {
    return -(11 * dpiY / 72);
}

// The pictures are stored at twice their 96-DPI size.
inline float PictureFactor(float scaleY) {
    return scaleY * 0.5f;
}

struct PictureSize {
    int32_t width;
    int32_t height;
};

// The size of a stored picture scaled by factor, each side truncated.
inline PictureSize ScaledPictureSize(int32_t width, int32_t height, float factor) {
    return {static_cast<int32_t>(static_cast<float>(width) * factor),
            static_cast<int32_t>(static_cast<float>(height) * factor)};
}

// The edit of manual row m; its spin control and slider follow at +1 and +2, and the ids
// step by IDC_CHANNEL_STEP per wire channel.
inline int32_t RowEditId(int32_t manualIndex) {
    return IDC_CHANNEL_FIRST + IDC_CHANNEL_STEP * kManualToWire[manualIndex];
}
// The last wire channel's slider stays below the port field, from which the ids keep the
// system's colours.
static_assert(IDC_CHANNEL_FIRST + IDC_CHANNEL_STEP * (kChannelCount - 1) + 2 < IDC_PORT_EDIT,
              "the channel controls' ids stay below IDC_PORT_EDIT");
// The wire channel of a row's edit, spin or slider, or of the "Pressionado" box (3).
constexpr int32_t WireChannelOfControl(int32_t controlId) {
    return (controlId - IDC_CHANNEL_FIRST) / IDC_CHANNEL_STEP;
}

// The channel rows and "Pressionado" stand on the board's black area and are drawn white
// on black; the start button, the port field and the association editor (ids from the
// port field on) keep the system's colours.
constexpr bool UsesBoardColours(int32_t controlId) {
    return controlId != IDC_START && controlId < IDC_PORT_EDIT;
}
