// The failure code of the Win32 call that just failed, from the thread's last error, and
// the system's text for a failure code.
#pragma once

#include <windows.h>

#include "core/Status.h"
#include "core/String.h"

inline HResult LastErrorCode() {
    return FailureFromError(GetLastError());
}

// The system's text for code (with its closing line break), in a block the caller frees
// with LocalFree; null when the system has none.
inline wchar_t* SystemText(HResult code) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    return text;
}

// A failure as the user reads it: prefix, then the system's text for code without its
// closing line break, or the code as "0x%08X" when the system has no text for it. The
// formatter of the Windows virtual board's messages and of the window's failure boxes. A
// new String the caller releases; null when memory ran out.
String* FailureText(const char16_t* prefix, HResult code);
