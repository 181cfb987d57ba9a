// Status codes shared by every subsystem. The program reports failures as 32-bit
// HRESULT-style values rather than exceptions, so that no exception ever crosses a
// window procedure or a thread entry.
#pragma once

#include <cstdint>

using HResult = int32_t;

constexpr HResult kOk = 0;
constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult kNoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001u);
constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002u);
constexpr HResult kUnspecifiedFailure = static_cast<HResult>(0x80004005u);

// A system error code becomes 0x8007xxxx when it reads as a positive signed number;
// 0 stays 0 and anything already negative (an HRESULT) passes through unchanged.
constexpr HResult HResultFromError(uint32_t error) {
    return static_cast<int32_t>(error) > 0 ? static_cast<HResult>(0x80070000u | (error & 0xFFFFu))
                                           : static_cast<HResult>(error);
}

constexpr bool Failed(HResult code) {
    return code < 0;
}

// The code of a call that failed with this system error. A failing call that left the
// error at 0 (or a substitute that set none) must still read as a failure, or the caller
// would carry on as if it had worked.
constexpr HResult FailureFromError(uint32_t error) {
    return Failed(HResultFromError(error)) ? HResultFromError(error) : kUnspecifiedFailure;
}
