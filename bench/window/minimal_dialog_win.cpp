// The baseline of the window benchmarks: the smallest dialog program, a modal dialog from
// an in-memory template with the main window's caption and nothing else, so that the
// benchmark measures what the program adds to Wine's own start of a process and a dialog.
// The main window's "Salvar perfil" command (40001) shows a message box owned by the dialog,
// with the program's text, as the baseline of the message-box benchmark.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {
INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        EndDialog(dialog, 2);
    if (message == WM_COMMAND && LOWORD(wParam) == 40001)
        MessageBoxW(dialog, L"Por favor, selecione um joystick antes de prosseguir!", L"Oops...",
                    MB_ICONINFORMATION | MB_OK);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    alignas(4) uint8_t memory[256] = {};
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(memory);
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
    dialog->cx = 300;
    dialog->cy = 200;
    auto* words = reinterpret_cast<WORD*>(dialog + 1);
    *words++ = 0;  // no menu
    *words++ = 0;  // the standard dialog class
    const wchar_t caption[] = L"Ombrix Emulator";
    std::memcpy(words, caption, sizeof(caption));
    DialogBoxIndirectParamW(instance, dialog, nullptr, Procedure, 0);
    return 0;
}
