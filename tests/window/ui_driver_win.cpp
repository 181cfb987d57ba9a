// A test driver for the end-to-end window tests: runs under the same wineserver as the
// program, finds its main window and answers one command per input line, so that a script
// can click and type with xdotool at the screen positions it reports and then read back
// what the window shows.
//   wait-window MS | window (WxH+X+Y) | client | rect ID | text ID | state ID | pos ID
//   wait-text ID TEXT MS  (elapsed ms, or "timeout") | message MS (caption|text, then OK)
//   no-message MS | wait-closed MS | message-cancel MS (as message, answered Cancel)
//   items ID (entries joined by "|") | selected ID | select ID INDEX (as the user's choice)
//   dialog MS (the profile dialog's caption, or none) | dialog-items | dialog-text
//   dialog-rect ID
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {
HWND gMain = nullptr;

std::string Utf8(const wchar_t* text) {
    char buffer[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return n > 0 ? std::string(buffer, n - 1) : std::string();
}

std::string TextOf(HWND window) {
    wchar_t text[2048] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return Utf8(text);
}

HWND FindMain() {
    return FindWindowW(L"#32770", L"Ombrix Emulator");
}

// A visible dialog box other than the main window: a message box.
BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    wchar_t name[64];
    GetClassNameW(window, name, 64);
    if (window != gMain && IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0 &&
        GetDlgItem(window, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The profile dialog: a dialog box with the name field 1052.
BOOL CALLBACK FindProfileDialog(HWND window, LPARAM found) {
    if (window != gMain && IsWindowVisible(window) && GetDlgItem(window, 1052) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND ProfileDialog() {
    HWND dialog = nullptr;
    EnumWindows(FindProfileDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

bool IsListBox(HWND control) {
    wchar_t name[64] = {};
    GetClassNameW(control, name, 64);
    return lstrcmpiW(name, L"ListBox") == 0;
}

std::string Items(HWND control) {
    const bool list = IsListBox(control);
    const LRESULT count = SendMessageW(control, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    std::string all;
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        SendMessageW(control, list ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        all += (i > 0 ? "|" : "") + Utf8(text);
    }
    return all;
}

HWND WaitForBox(int ms) {
    for (int waited = 0; waited <= ms; waited += 20) {
        HWND box = nullptr;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr)
            return box;
        Sleep(20);
    }
    return nullptr;
}

std::string Answer(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    int id = 0;
    if (command == "wait-window") {
        int ms = 0;
        in >> ms;
        for (int waited = 0; waited <= ms && gMain == nullptr; waited += 50) {
            HWND main = FindMain();
            if (main != nullptr && IsWindowVisible(main))
                gMain = main;
            else
                Sleep(50);
        }
        return gMain != nullptr ? "ok" : "timeout";
    }
    if (command == "window") {
        RECT r = {};
        GetWindowRect(gMain, &r);
        return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
               std::to_string(r.left) + "+" + std::to_string(r.top);
    }
    if (command == "client") {
        RECT client = {};
        GetClientRect(gMain, &client);
        return std::to_string(client.right) + " " + std::to_string(client.bottom);
    }
    if (command == "rect" && in >> id) {
        RECT r = {};
        GetWindowRect(GetDlgItem(gMain, id), &r);
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
               std::to_string(r.bottom);
    }
    if (command == "text" && in >> id)
        return TextOf(GetDlgItem(gMain, id));
    if (command == "state" && in >> id) {
        HWND control = GetDlgItem(gMain, id);
        const LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
        return std::string(IsWindowVisible(control) ? "visible" : "hidden") + " " +
               (IsWindowEnabled(control) ? "enabled" : "disabled") + " " +
               (checked == BST_CHECKED ? "checked" : "-");
    }
    if (command == "pos" && in >> id)
        return std::to_string(SendMessageW(GetDlgItem(gMain, id), TBM_GETPOS, 0, 0));
    if (command == "wait-text" && in >> id) {
        std::string expected;
        int ms = 0;
        in >> expected >> ms;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start <= static_cast<DWORD>(ms)) {
            if (TextOf(GetDlgItem(gMain, id)) == expected)
                return std::to_string(GetTickCount() - start);
            Sleep(2);
        }
        return "timeout";
    }
    if (command == "message" || command == "no-message" || command == "message-cancel") {
        int ms = 0;
        in >> ms;
        HWND box = WaitForBox(ms);
        if (box == nullptr)
            return "none";
        const std::string shown = TextOf(box) + "|" + TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, command == "message-cancel" ? IDCANCEL : IDOK, 0);
        return shown;
    }
    if (command == "items" && in >> id)
        return Items(GetDlgItem(gMain, id));
    if (command == "selected" && in >> id) {
        HWND control = GetDlgItem(gMain, id);
        return std::to_string(SendMessageW(control, IsListBox(control) ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
    }
    if (command == "select" && in >> id) {
        // What the control does when the user picks an entry: select it, tell the parent.
        int index = 0;
        in >> index;
        HWND control = GetDlgItem(gMain, id);
        const bool list = IsListBox(control);
        SendMessageW(control, list ? LB_SETCURSEL : CB_SETCURSEL, index, 0);
        SendMessageW(gMain, WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
        return "ok";
    }
    if (command == "dialog") {
        int ms = 0;
        in >> ms;
        for (int waited = 0; waited <= ms; waited += 20) {
            HWND dialog = ProfileDialog();
            if (dialog != nullptr)
                return TextOf(dialog);
            Sleep(20);
        }
        return "none";
    }
    if (command == "dialog-items")
        return Items(GetDlgItem(ProfileDialog(), 1052));
    if (command == "dialog-text")
        return TextOf(GetDlgItem(ProfileDialog(), 1052));
    if (command == "dialog-rect" && in >> id) {
        RECT r = {};
        GetWindowRect(GetDlgItem(ProfileDialog(), id), &r);
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
               std::to_string(r.bottom);
    }
    if (command == "wait-closed") {
        int ms = 0;
        in >> ms;
        for (int waited = 0; waited <= ms; waited += 50) {
            if (!IsWindow(gMain))
                return "closed";
            Sleep(50);
        }
        return "open";
    }
    return "unknown command";
}
}  // namespace

int main() {
    SetProcessDPIAware();
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty())
            continue;
        // A line break would end the answer early: each run of them becomes one space.
        std::string answer;
        for (char c : Answer(line)) {
            const bool isBreak = c == '\r' || c == '\n';
            if (!isBreak)
                answer += c;
            else if (answer.empty() || answer.back() != ' ')
                answer += ' ';
        }
        std::printf("%s\n", answer.c_str());
        std::fflush(stdout);
    }
    return 0;
}
