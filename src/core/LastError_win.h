// The failure code of the Win32 call that just failed, from the thread's last error.
#pragma once

#include <windows.h>

#include "core/Status.h"

inline HResult LastErrorCode() {
    return FailureFromError(GetLastError());
}
