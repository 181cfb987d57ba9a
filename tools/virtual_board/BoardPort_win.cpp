// The virtual board's port on Windows: a COM port opened and configured exactly as the
// program opens its own, answered through the program's ComPortIo. Opened by
// VirtualBoard.cpp through Platform.h.
#include <windows.h>

#include "Platform.h"
#include "board/SerialPort_win.h"
#include "core/LastError_win.h"

namespace {

class ComPort : public BoardPort {
  public:
    ComPort(HANDLE handle, unsigned number) : handle_(handle), number_(number), io_(handle) {}
    SerialIo& Io() override { return io_; }
    // The port's read time-out, a quarter of a second, lets the loop see a stop.
    void Interrupt() override {}
    std::string HostEnd() const override { return "COM" + std::to_string(number_); }

  private:
    ScopedPort handle_;  // closed after io_, which is declared after it
    unsigned number_;
    ComPortIo io_;
};

}  // namespace

std::unique_ptr<BoardPort> OpenBoardPort(const PortRequest& request, std::string* error) {
    if (request.tcpPort >= 0) {
        if (request.comPort != 0) {
            *error = "--tcp answers on a TCP port: it takes no --port";
            return nullptr;
        }
        return OpenTcpPort(request.tcpAddress, static_cast<unsigned>(request.tcpPort), error);
    }
    if (!request.device.empty() || !request.link.empty()) {
        *error = "--device and --link are for the Linux build; here use --port N";
        return nullptr;
    }
    if (request.comPort == 0) {
        *error = "--port N is needed: the COM port to answer on";
        return nullptr;
    }
    HANDLE handle = OpenAndConfigurePort(request.comPort);
    if (handle == INVALID_HANDLE_VALUE) {
        *error =
            "cannot open COM" + std::to_string(request.comPort) + ": " + SystemErrorText(LastErrorCode());
        return nullptr;
    }
    return std::unique_ptr<BoardPort>(new ComPort(handle, request.comPort));
}

const char* PortUsage() {
    return "--port N | --tcp [ADDRESS:]PORT";
}

std::string SystemErrorText(int32_t code) {
    String* text = FailureText(u"", code);
    std::string result;
    if (text != nullptr && text->Length() > 0) {
        const auto* wide = reinterpret_cast<const wchar_t*>(text->Chars());
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, text->Length(), nullptr, 0, nullptr, nullptr);
        result.resize(static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, wide, text->Length(), &result[0], bytes, nullptr, nullptr);
    }
    SafeRelease(text);
    return result;
}
