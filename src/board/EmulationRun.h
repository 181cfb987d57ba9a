// The status code of a failed start of an emulation run, from the system's last error.
// Used by the main window's OpenBoardPort.
#pragma once

#include <cstdint>

#include "core/Status.h"

constexpr HResult kUnspecifiedFailure = static_cast<HResult>(0x80004005u);

// A failing call that left the last error at 0 must still read as a failure, or the
// window would show a run that is not there.
constexpr HResult RunErrorCode(uint32_t lastError) {
    return lastError == 0 ? kUnspecifiedFailure : HResultFromError(lastError);
}
