// The user's text of a failure; see LastError_win.h.
#include "core/LastError_win.h"

#include <new>

String* FailureText(const char16_t* prefix, HResult code) {
    String* text = new (std::nothrow) String(prefix);
    if (text == nullptr)
        return nullptr;
    wchar_t* system = SystemText(code);
    int32_t length = system != nullptr ? lstrlenW(system) : 0;
    // The system's texts end with a line break, which would split a console line.
    while (length > 0 &&
           (system[length - 1] == L'\n' || system[length - 1] == L'\r' || system[length - 1] == L' '))
        --length;
    HResult appended = kOk;
    if (length > 0) {
        appended = text->Append(reinterpret_cast<const char16_t*>(system), length);
    } else {
        wchar_t hex[16];
        wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        appended = text->Append(reinterpret_cast<const char16_t*>(hex));
    }
    if (system != nullptr)
        LocalFree(system);
    if (Failed(appended))
        SafeRelease(text);
    return text;
}
