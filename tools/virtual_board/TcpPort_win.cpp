// --tcp [ADDRESS:]PORT on Windows (Winsock): the same TCP port as on Linux, so that a host
// test on a Windows machine needs no virtual COM port driver. One host at a time; a second
// is closed at once; a host that goes is replaced by the next. The responder waits on the
// sockets' events and on an interrupt event that Interrupt sets. Opened by
// BoardPort_win.cpp's OpenBoardPort through Platform.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <cstring>

#include "Platform.h"
#include "core/Handle_win.h"

namespace {

// The system's text of a Winsock failure, which SystemErrorText takes as a Win32 code.
std::string SocketFailure(const std::string& what) {
    return what + ": " + SystemErrorText(static_cast<int32_t>(FailureFromError(WSAGetLastError())));
}

class TcpIo : public SerialIo {
  public:
    TcpIo(SOCKET listener, WSAEVENT listenEvent, HANDLE interrupt)
        : listener_(listener),
          listenEvent_(listenEvent),
          interrupt_(interrupt),
          hostEvent_(WSACreateEvent()) {}
    ~TcpIo() override {
        DropHost();
        WSACloseEvent(hostEvent_);
    }

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        *count = 0;
        if (next_ == end_) {
            HANDLE events[3] = {interrupt_, listenEvent_, hostEvent_};
            // A quarter of a second at most, as the COM port's read: the loop then looks
            // at the board's words even if an interrupt was missed.
            const DWORD woke = WaitForMultipleObjects(host_ != INVALID_SOCKET ? 3 : 2, events, FALSE, 250);
            if (woke == WAIT_FAILED)
                return FailureFromError(GetLastError());
            WSANETWORKEVENTS happened;
            if (WSAEnumNetworkEvents(listener_, listenEvent_, &happened) == 0 &&
                (happened.lNetworkEvents & FD_ACCEPT))
                Accept();
            if (host_ == INVALID_SOCKET)
                return kOk;
            WSAEnumNetworkEvents(host_, hostEvent_, &happened);
            const int n = recv(host_, reinterpret_cast<char*>(in_), sizeof in_, 0);
            if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
                return kOk;
            if (n <= 0) {  // the host went: the next one is served
                DropHost();
                return kOk;
            }
            next_ = 0;
            end_ = static_cast<size_t>(n);
        }
        *byte = in_[next_++];
        *count = 1;
        return kOk;
    }

    // Never blocks (the event selection makes the socket non-blocking): what the socket
    // cannot take at once is lost, as on Linux.
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override {
        *written = 0;
        if (host_ == INVALID_SOCKET)
            return kShortWrite;
        const int n = send(host_, reinterpret_cast<const char*>(data), static_cast<int>(length), 0);
        *written = n < 0 ? 0 : static_cast<uint32_t>(n);
        return *written == length ? kOk : kShortWrite;
    }

    bool HasBufferedInput() const override { return next_ != end_; }

    HResult ClearError() override { return kOk; }

  private:
    void Accept() {
        const SOCKET s = accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return;
        if (host_ != INVALID_SOCKET) {  // one host at a time: the newcomer reads the end at once
            closesocket(s);
            return;
        }
        const BOOL on = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        WSAEventSelect(s, hostEvent_, FD_READ | FD_CLOSE);
        host_ = s;
    }

    void DropHost() {
        if (host_ != INVALID_SOCKET)
            closesocket(host_);
        host_ = INVALID_SOCKET;
        WSAResetEvent(hostEvent_);
        next_ = end_ = 0;
    }

    SOCKET listener_;
    WSAEVENT listenEvent_;
    HANDLE interrupt_;
    WSAEVENT hostEvent_;
    SOCKET host_ = INVALID_SOCKET;
    uint8_t in_[1024];
    size_t next_ = 0, end_ = 0;
};

class TcpPort : public BoardPort {
  public:
    ~TcpPort() override {
        io_.reset();
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
        if (listenEvent_ != WSA_INVALID_EVENT)
            WSACloseEvent(listenEvent_);
        if (started_)
            WSACleanup();
    }
    SerialIo& Io() override { return *io_; }
    void Interrupt() override { SetEvent(interrupt_.Get()); }
    std::string HostEnd() const override { return where_; }

    bool Open(const std::string& address, unsigned port, std::string* error) {
        const std::string named = address + ":" + std::to_string(port);
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            *error = "cannot start Winsock for " + named;
            return false;
        }
        started_ = true;
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<u_short>(port));
        if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
            *error = "--tcp " + named + ": '" + address + "' is not an IPv4 address such as 127.0.0.1";
            return false;
        }
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        // Exclusive: without it Windows lets a second program bind the same port.
        const BOOL on = TRUE;
        if (listener_ == INVALID_SOCKET ||
            setsockopt(listener_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                       sizeof on) != 0 ||
            bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listener_, 4) != 0) {
            *error = SocketFailure("cannot listen on " + named);
            return false;
        }
        int length = sizeof at;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);  // port 0: the one given
        where_ = "socket://" + address + ":" + std::to_string(ntohs(at.sin_port));
        listenEvent_ = WSACreateEvent();
        interrupt_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (listenEvent_ == WSA_INVALID_EVENT || interrupt_.Get() == nullptr ||
            WSAEventSelect(listener_, listenEvent_, FD_ACCEPT) != 0) {
            *error = SocketFailure("cannot set up " + named);
            return false;
        }
        io_.reset(new TcpIo(listener_, listenEvent_, interrupt_.Get()));
        return true;
    }

  private:
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    WSAEVENT listenEvent_ = WSA_INVALID_EVENT;
    ScopedHandle interrupt_;
    std::string where_;
    std::unique_ptr<TcpIo> io_;
};

}  // namespace

void SharpenTimers() {
    // Windows' waits end at its timer's ticks whatever is asked; a paced byte may leave up
    // to a tick late (the line's total stays within a tick, as the times are absolute).
}

std::unique_ptr<BoardPort> OpenTcpPort(const std::string& address, unsigned port, std::string* error) {
    std::unique_ptr<TcpPort> opened(new TcpPort);
    if (!opened->Open(address, port, error))
        return nullptr;
    return opened;
}
