// A test driver for the end-to-end window tests: runs under the same wineserver as the
// program, finds its main window and answers one command per input line, so that a script
// can click and type with xdotool at the screen positions it reports and then read back
// what the window shows.
//   wait-window MS | client (above the status bar, which must end the client area) | rect ID
//   text ID | state ID | pos ID | status PART (the status bar's text in that part)
//   wait-text ID TEXT MS  (elapsed ms, or "timeout") | message MS (caption|text, then OK)
//   no-message MS | message-cancel MS (as message, answered Cancel)
//   items ID (entries joined by "|") | selected ID | select ID INDEX (as the user's choice)
//   dialog MS (the profile dialog's caption, or none) | menu MS (open once a pop-up menu is up)
//   box-after ID MS (posts the command ID to the main window; ms until a box shows, then OK)
// An ID that the main window lacks names a control of the profile dialog (its name field 1052).
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

namespace {
HWND gMain = nullptr;

// The text as UTF-8, each run of line breaks one space, so that an answer stays one line.
std::string Utf8(const wchar_t* text) {
    char buffer[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    std::string out;
    for (int i = 0; i + 1 < n; ++i) {
        const bool isBreak = buffer[i] == '\r' || buffer[i] == '\n';
        if (!isBreak || out.empty() || out.back() != ' ')
            out += isBreak ? ' ' : buffer[i];
    }
    return out;
}

std::string TextOf(HWND window) {
    wchar_t text[2048] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return Utf8(text);
}

// SB_GETTEXTW writes to the caller's buffer, which the message does not carry across
// processes: the buffer is made in the program's memory and read back from there.
std::string StatusText(HWND bar, int part) {
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (bar == nullptr || process == nullptr)
        return "no status bar";
    const size_t length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
    wchar_t text[512] = {};
    void* remote = VirtualAllocEx(process, nullptr, sizeof(text), MEM_COMMIT, PAGE_READWRITE);
    if (remote != nullptr && length < 512) {
        SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, text, (length + 1) * sizeof(wchar_t), nullptr);
    }
    if (remote != nullptr)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return Utf8(text);
}

// A visible window other than the main one that has the control id: a message box (its
// text, 0xFFFF) or the profile dialog (its name field, 1052).
HWND WindowWith(int id) {
    for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window != gMain && IsWindowVisible(window) && GetDlgItem(window, id) != nullptr)
            return window;
    }
    return nullptr;
}

HWND Control(int id) {
    HWND control = GetDlgItem(gMain, id);
    return control != nullptr ? control : GetDlgItem(WindowWith(1052), id);
}

HWND Visible(HWND window) {
    return IsWindowVisible(window) ? window : nullptr;
}

// Calls found every ms step until it gives a window or ms have passed; its last answer.
template <typename Find>
HWND Poll(int ms, Find found, int step = 20) {
    HWND window = found();
    for (int waited = 0; window == nullptr && waited < ms; waited += step) {
        Sleep(step);
        window = found();
    }
    return window;
}

std::string Answer(const std::string& line) {
    std::istringstream in(line);
    std::string command, expected;
    int ms = 0, index = 0;
    in >> command;
    RECT r = {};
    if (command == "wait-window" && in >> ms) {
        gMain = Poll(ms, [] { return Visible(FindWindowW(L"#32770", L"Ombrix Emulator")); });
        return gMain != nullptr ? "ok" : "timeout";
    }
    if (command == "client" && GetClientRect(gMain, &r)) {
        RECT bar = {};
        HWND status = FindWindowExW(gMain, nullptr, STATUSCLASSNAMEW, nullptr);
        if (status == nullptr || !GetWindowRect(status, &bar))
            return "no status bar";
        MapWindowPoints(HWND_DESKTOP, gMain, reinterpret_cast<POINT*>(&bar), 2);
        if (bar.left != 0 || bar.right != r.right || bar.bottom != r.bottom)
            return "the status bar does not end the client area";
        return std::to_string(r.right) + " " + std::to_string(bar.top);
    }
    if (command == "status" && in >> index)
        return StatusText(FindWindowExW(gMain, nullptr, STATUSCLASSNAMEW, nullptr), index);
    // The commands that only wait name the time first; the others name a control.
    if (command == "message" || command == "no-message" || command == "message-cancel") {
        HWND box = in >> ms ? Poll(ms, [] { return WindowWith(0xFFFF); }) : nullptr;
        if (box == nullptr)
            return "none";
        const std::string shown = TextOf(box) + "|" + TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, command == "message-cancel" ? IDCANCEL : IDOK, 0);
        return shown;
    }
    if (command == "menu" && in >> ms)
        return Poll(ms, [] { return Visible(FindWindowW(L"#32768", nullptr)); }) != nullptr ? "open" : "none";
    if (command == "dialog" && in >> ms) {
        HWND dialog = Poll(ms, [] { return WindowWith(1052); });
        return dialog != nullptr ? TextOf(dialog) : "none";
    }
    int id = 0;
    if (!(in >> id))
        return "unknown command";
    HWND control = Control(id);
    wchar_t kind[64] = {};
    GetClassNameW(control, kind, 64);
    const bool list = lstrcmpiW(kind, L"ListBox") == 0;
    if (command == "rect") {
        GetWindowRect(control, &r);
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
               std::to_string(r.bottom);
    }
    if (command == "text")
        return TextOf(control);
    if (command == "state")
        return std::string(IsWindowVisible(control) ? "visible" : "hidden") + " " +
               (IsWindowEnabled(control) ? "enabled" : "disabled") + " " +
               (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "-");
    if (command == "pos")
        return std::to_string(SendMessageW(control, TBM_GETPOS, 0, 0));
    if (command == "wait-text" && in >> expected >> ms) {
        const DWORD start = GetTickCount();
        return Poll(
                   ms, [&] { return TextOf(Control(id)) == expected ? GetDesktopWindow() : nullptr; }, 2)
                   ? std::to_string(GetTickCount() - start)
                   : "timeout";
    }
    if (command == "box-after" && in >> ms) {
        // A box answered just before may not have gone yet, and must not count as this one.
        Poll(ms, [] { return WindowWith(0xFFFF) == nullptr ? GetDesktopWindow() : nullptr; });
        const DWORD start = GetTickCount();
        PostMessageW(gMain, WM_COMMAND, static_cast<WPARAM>(id), 0);
        HWND box = Poll(
            ms, [] { return WindowWith(0xFFFF); }, 1);  // the baseline's shows in about 20 ms
        const DWORD shown = GetTickCount() - start;
        if (box == nullptr)
            return "timeout";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return std::to_string(shown);
    }
    if (command == "items") {
        std::string all;
        for (LRESULT i = 0, count = SendMessageW(control, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0); i < count;
             ++i) {
            wchar_t text[512] = {};
            SendMessageW(control, list ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            all += (i > 0 ? "|" : "") + Utf8(text);
        }
        return all;
    }
    if (command == "selected")
        return std::to_string(SendMessageW(control, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
    if (command == "select" && in >> index) {
        // What the control does when the user picks an entry: select it, tell the parent.
        SendMessageW(control, list ? LB_SETCURSEL : CB_SETCURSEL, index, 0);
        SendMessageW(gMain, WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
        return "ok";
    }
    return "unknown command";
}
}  // namespace

int main() {
    SetProcessDPIAware();
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty()) {
            std::printf("%s\n", Answer(line).c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
