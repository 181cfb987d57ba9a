// The start-up marks; see StartupTrace_win.h.
#include "ui/StartupTrace_win.h"

#include <windows.h>

#include <cstdio>

#include "core/Handle_win.h"

namespace {
// 0: not looked up yet, 1: no trace asked for, 2: tracing to gPath.
int gState = 0;
wchar_t gPath[MAX_PATH];
bool gMarked[static_cast<int>(StartupPhase::kCount)] = {};

const char* const kPhaseNames[] = {"entry", "window", "paint"};
static_assert(sizeof(kPhaseNames) / sizeof(kPhaseNames[0]) == static_cast<size_t>(StartupPhase::kCount),
              "a name for each phase");

long long UnixMilliseconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10000ULL);  // 100 ns since 1601
}
}  // namespace

void MarkStartup(StartupPhase phase) {
    const long long now = UnixMilliseconds();  // before the look-up, which the phase should not pay
    if (gState == 0) {
        const DWORD length = GetEnvironmentVariableW(L"OMBRIX_STARTUP_TRACE", gPath, MAX_PATH);
        gState = length > 0 && length < MAX_PATH ? 2 : 1;
    }
    const int index = static_cast<int>(phase);
    if (gState != 2 || gMarked[index])
        return;
    gMarked[index] = true;
    ScopedHandle file(CreateFileW(gPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    char line[64];
    const int length = std::snprintf(line, sizeof(line), "%s %lld\n", kPhaseNames[index], now);
    DWORD written = 0;
    if (length > 0)
        WriteFile(file.Get(), line, static_cast<DWORD>(length), &written, nullptr);
}
