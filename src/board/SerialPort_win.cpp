// Opening the board's COM port with its line settings, and the port as the responder's
// SerialIo, all through the SerialFunctions table; see SerialPort_win.h.
#include "board/SerialPort_win.h"

#include <atomic>

#include "core/LastError_win.h"

const SerialFunctions kPlatformSerial = {
    ::CreateFileW, ::SetCommState, ::SetupComm,      ::SetCommTimeouts,
    ::ReadFile,    ::WriteFile,    ::ClearCommError, ::CloseHandle,
};

namespace {
std::atomic<const SerialFunctions*> gSerial{&kPlatformSerial};

HANDLE OpenByName(const wchar_t* name) {
    return Serial().CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}
}  // namespace

const SerialFunctions& Serial() {
    return *gSerial.load(std::memory_order_relaxed);
}

void SetSerialFunctions(const SerialFunctions* functions) {
    gSerial.store(functions != nullptr ? functions : &kPlatformSerial, std::memory_order_relaxed);
}

DCB BoardLineSettings() {
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 38400;
    dcb.fBinary = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 1;
    dcb.XonLim = 0;
    dcb.XoffLim = 16;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

COMMTIMEOUTS BoardTimeouts() {
    // A read that receives nothing returns after 250 ms, so the loop checks for a stop at
    // least four times a second without ever sleeping.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = 200;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 250;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 250;
    return timeouts;
}

HANDLE OpenAndConfigurePort(unsigned portNumber) {
    // Ports above COM9 exist only in the device namespace ("\\.\COM10"); the plain name
    // is the fallback for drivers that only publish a DOS name, and is tried only when
    // the first name does not exist at all. Any other error (a port in use) stands.
    if (portNumber > kMaxPortNumber) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    wchar_t name[16];
    wsprintfW(name, L"\\\\.\\COM%u", portNumber);
    ScopedPort port(OpenByName(name));
    if (!port && GetLastError() == ERROR_FILE_NOT_FOUND) {
        wsprintfW(name, L"COM%u", portNumber);
        port.Reset(OpenByName(name));
    }
    if (!port)
        return INVALID_HANDLE_VALUE;

    DCB dcb = BoardLineSettings();
    COMMTIMEOUTS timeouts = BoardTimeouts();
    if (!Serial().SetCommState(port.Get(), &dcb) || !Serial().SetupComm(port.Get(), 4096, 4096) ||
        !Serial().SetCommTimeouts(port.Get(), &timeouts)) {
        return INVALID_HANDLE_VALUE;  // the port closes with the system's error kept
    }
    return port.Release();
}

HResult ComPortIo::ReadByte(uint8_t* byte, uint32_t* count) {
    DWORD received = 0;
    const BOOL ok = Serial().ReadFile(port_, byte, 1, &received, nullptr);
    *count = received;
    return ok != FALSE ? kOk : LastErrorCode();
}

HResult ComPortIo::Write(const uint8_t* data, uint32_t length, uint32_t* written) {
    // A write time-out succeeds with fewer bytes written: the reply did not go whole.
    DWORD taken = 0;
    const BOOL ok = Serial().WriteFile(port_, data, length, &taken, nullptr);
    *written = taken;
    if (ok == FALSE)
        return LastErrorCode();
    return taken == length ? kOk : kShortWrite;
}

HResult ComPortIo::ClearError() {
    DWORD errors = 0;
    return Serial().ClearCommError(port_, &errors, nullptr) != FALSE ? kOk : LastErrorCode();
}
