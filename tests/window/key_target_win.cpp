// A target window for the end-to-end key tests: takes the foreground and prints one line
// per key message it receives, "down SC" or "up SC" with the scan code in hexadecimal
// (bit 8 for an extended key), since a synthetic scan-code key carries no virtual key.
#include <windows.h>

#include <cstdio>

namespace {
LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) {
        const unsigned scan = static_cast<unsigned>((lParam >> 16) & 0x1FF);
        std::printf("%s %X\n", message == WM_KEYDOWN ? "down" : "up", scan);
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

int main() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OmbrixKeyTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"OmbrixKeyTarget", L"Key target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
