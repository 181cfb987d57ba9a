// A target window for the end-to-end key tests: takes the foreground and prints one line
// per key message it receives, "down SC" or "up SC" with the scan code in hexadecimal
// (bit 8 for an extended key), since a synthetic scan-code key carries no virtual key.
#include <windows.h>

#include <cstdio>

int main() {
    // An edit box takes the focus; the key messages are read off the queue.
    HWND window = CreateWindowW(L"EDIT", L"Key target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_KEYDOWN || message.message == WM_KEYUP) {
            const unsigned scan = static_cast<unsigned>((message.lParam >> 16) & 0x1FF);
            std::printf("%s %X\n", message.message == WM_KEYDOWN ? "down" : "up", scan);
            std::fflush(stdout);
        }
        DispatchMessageW(&message);
    }
    return 0;
}
