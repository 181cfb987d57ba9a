// Opening and configuring the board's COM port, and the COM handle as a SerialIo.
// The platform calls go through SerialFunctions so that tests can stand in for the open
// call (Wine does not enforce exclusive opening, so "port in use" cannot happen for real).
#pragma once

#include <windows.h>

#include "board/ResponderLoop.h"
#include "core/Handle_win.h"

struct SerialFunctions {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::SetCommState) SetCommState;
    decltype(&::SetupComm) SetupComm;
    decltype(&::SetCommTimeouts) SetCommTimeouts;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::ClearCommError) ClearCommError;
    decltype(&::CloseHandle) CloseHandle;
};

extern const SerialFunctions kPlatformSerial;
const SerialFunctions& Serial();
void SetSerialFunctions(const SerialFunctions* functions);  // null restores the platform

// A COM port closed through the table, which keeps the thread's last error: a failure path
// can close the port and still report why it failed.
struct SerialPortKind {
    using Type = HANDLE;
    static bool IsValid(HANDLE port) { return IsValidHandle(port); }
    static void Close(HANDLE port) {
        const DWORD error = GetLastError();
        Serial().CloseHandle(port);
        SetLastError(error);
    }
};
using ScopedPort = Scoped<SerialPortKind>;

// The board's line: 38400 baud, 8N1, binary, no flow control, abort on error.
DCB BoardLineSettings();
COMMTIMEOUTS BoardTimeouts();

// The largest port number whose name fits the 16-character name buffer: "\\.\COM" and
// eight digits and the NUL.
constexpr unsigned kMaxPortNumber = 99999999;

// Opens "\\.\COMn" (falling back to "COMn" only when the first name does not exist),
// then sets the line, the driver queues and the time-outs. Returns the open handle, or
// INVALID_HANDLE_VALUE with the system's last error still set and no handle left open.
// A number above kMaxPortNumber opens nothing and fails with ERROR_INVALID_PARAMETER.
HANDLE OpenAndConfigurePort(unsigned portNumber);

class ComPortIo : public SerialIo {
  public:
    explicit ComPortIo(HANDLE port) : port_(port) {}
    HResult ReadByte(uint8_t* byte, uint32_t* count) override;
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override;
    HResult ClearError() override;

  private:
    HANDLE port_;
};
