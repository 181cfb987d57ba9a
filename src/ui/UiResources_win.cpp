// The process-wide drawing resources and the choice of the interface font; see
// UiResources_win.h.
#include "ui/UiResources_win.h"

#include "core/Handle_win.h"
#include "ui/UiMetrics.h"

HINSTANCE programInstance = nullptr;

int32_t UiResources::dpiX = 96;
int32_t UiResources::dpiY = 96;
float UiResources::scaleY = 1.0f;
HFONT UiResources::uiFont = nullptr;
HCURSOR UiResources::arrowCursor = nullptr;
HBRUSH UiResources::blackBrush = nullptr;

namespace {
int CALLBACK StopAtFirstFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool PlatformHasFamily(HDC dc, const wchar_t* face) {
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &font, StopAtFirstFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

HFONT PlatformCreateUiFont(int32_t height, const wchar_t* face) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

const FontFunctions* gFonts = &kPlatformFonts;
}  // namespace

const FontFunctions kPlatformFonts = {PlatformHasFamily, PlatformCreateUiFont};

void SetFontFunctions(const FontFunctions* functions) {
    gFonts = functions != nullptr ? functions : &kPlatformFonts;
}

HFONT ChooseUiFont(HDC dc, int32_t dpiY) {
    const int32_t height = UiFontHeight(dpiY);
    HFONT font = nullptr;
    if (gFonts->HasFamily(dc, L"Segoe UI"))
        font = gFonts->CreateUiFont(height, L"Segoe UI");
    if (font == nullptr)
        font = gFonts->CreateUiFont(height, L"Tahoma");
    return font;
}

int32_t UiResources::Create() {
    arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
    blackBrush = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const ScopedDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    dpiX = GetDeviceCaps(display.Get(), LOGPIXELSX);
    dpiY = GetDeviceCaps(display.Get(), LOGPIXELSY);
    scaleY = static_cast<float>(dpiY) / 96.0f;
    uiFont = ChooseUiFont(display.Get(), dpiY);
    return 1;
}

void UiResources::Destroy() {
    // The cursor is the system's shared arrow and the brush a stock object: only the font
    // was made here.
    if (uiFont != nullptr)
        GdiObjectKind<HFONT>::Close(uiFont);
    uiFont = nullptr;
    arrowCursor = nullptr;
    blackBrush = nullptr;
}
