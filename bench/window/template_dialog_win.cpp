// The floor of the start-up benchmark: the program's own main-window template, with its
// common controls, shown by a program that does nothing else (no pictures, fonts, layout,
// settings or joysticks). What the program takes beyond this is its own work; what this
// takes beyond the minimal dialog is the cost of the window's controls under the system.
#include <windows.h>

#include <commctrl.h>

#include "resource.h"

namespace {
INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        EndDialog(dialog, 2);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    InitCommonControls();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, Procedure, 0);
    return 0;
}
