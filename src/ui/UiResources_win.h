// The process-wide drawing resources every window uses: the screen's DPI, the user-interface
// font, the arrow cursor and the black brush. The application entry creates them after the
// text table is loaded and before any window exists, and destroys them after the last
// window is gone. User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/UiMetrics.h"

extern HINSTANCE programInstance;  // the module the entry point received

struct UiResources {
    static int32_t dpiX;
    static int32_t dpiY;
    static float scaleY;  // dpiY / 96
    static HFONT uiFont;
    static HCURSOR arrowCursor;  // shared by the system: never destroyed
    static HBRUSH blackBrush;    // a stock object: never destroyed

    static int32_t Create();
    static void Destroy();
};

// Logical lengths scaled by the screen's horizontal and vertical DPI.
inline int32_t ScaleX(int32_t length) {
    return ScaleLogical(length, UiResources::dpiX);
}
inline int32_t ScaleY(int32_t length) {
    return ScaleLogical(length, UiResources::dpiY);
}

// The font lookup, as a table so that a test can offer "Segoe UI", which Wine lacks.
struct FontFunctions {
    // Whether the display has a font family of this name.
    bool (*HasFamily)(HDC dc, const wchar_t* face);
    // CreateFontW with the interface font's fixed attributes; null on failure.
    HFONT (*CreateUiFont)(int32_t height, const wchar_t* face);
};

extern const FontFunctions kPlatformFonts;
void SetFontFunctions(const FontFunctions* functions);  // null restores the platform

// "Segoe UI" at 11 points when the display has it and it can be made, else "Tahoma".
HFONT ChooseUiFont(HDC dc, int32_t dpiY);
