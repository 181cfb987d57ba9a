// --tcp [ADDRESS:]PORT on Linux: the board answers raw bytes on a TCP port, as clients
// that open socket://ADDRESS:PORT expect, one host at a time. A host that connects while
// another is served is closed at once (it reads the end of the stream); a host that goes
// is replaced by the next. The listening and the served socket are watched in one ppoll,
// the only place where the interrupt signal gets through, as on the pty. Opened by
// BoardPort_posix.cpp's OpenBoardPort through Platform.h.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "InterruptibleWait_posix.h"
#include "Platform.h"

namespace {

HResult ErrnoCode(int error) {
    return FailureFromError(static_cast<uint32_t>(error));
}

class TcpIo : public SerialIo {
  public:
    explicit TcpIo(int listener) : listener_(listener) {}
    ~TcpIo() override { DropHost(); }

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        *count = 0;
        if (next_ == end_) {
            pollfd wait[2] = {{listener_, POLLIN, 0}, {host_, POLLIN, 0}};
            if (wait_.Poll(wait, host_ >= 0 ? 2 : 1) < 0)
                return errno == EINTR ? kOk : ErrnoCode(errno);
            if (wait[0].revents != 0)
                Accept();
            if (host_ < 0 || (wait[1].revents == 0))
                return kOk;
            const ssize_t n = recv(host_, in_, sizeof in_, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
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

    // Never blocks: what the host's socket cannot take at once is lost, as on the pty.
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override {
        *written = 0;
        if (host_ < 0)
            return kShortWrite;
        const ssize_t n = send(host_, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
        *written = n < 0 ? 0 : static_cast<uint32_t>(n);
        return *written == length ? kOk : kShortWrite;
    }

    bool HasBufferedInput() const override { return next_ != end_; }

    HResult ClearError() override { return kOk; }

    void Interrupt() { wait_.Interrupt(); }

  private:
    void Accept() {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (host_ >= 0) {  // one host at a time: the newcomer reads the end at once
            close(fd);
            return;
        }
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // a reply is one small send
        host_ = fd;
    }

    void DropHost() {
        if (host_ >= 0)
            close(host_);
        host_ = -1;
        next_ = end_ = 0;
    }

    int listener_;
    int host_ = -1;
    InterruptibleWait wait_;
    uint8_t in_[1024];
    size_t next_ = 0, end_ = 0;
};

class TcpPort : public BoardPort {
  public:
    ~TcpPort() override {
        io_.reset();
        if (listener_ >= 0)
            close(listener_);
    }
    SerialIo& Io() override { return *io_; }
    void Interrupt() override { io_->Interrupt(); }
    std::string HostEnd() const override { return where_; }

    bool Open(const std::string& address, unsigned port, std::string* error) {
        const std::string named = address + ":" + std::to_string(port);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<uint16_t>(port));
        if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
            *error = "--tcp " + named + ": '" + address + "' is not an IPv4 address such as 127.0.0.1";
            return false;
        }
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (listener_ < 0 || setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
            bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listener_, 4) != 0) {
            *error = "cannot listen on " + named + ": " + std::strerror(errno);
            return false;
        }
        socklen_t length = sizeof at;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length);  // port 0: the one given
        where_ = "socket://" + address + ":" + std::to_string(ntohs(at.sin_port));
        if (!InterruptibleWait::InstallHandler()) {
            *error = "cannot set up " + named + ": " + std::strerror(errno);
            return false;
        }
        io_.reset(new TcpIo(listener_));
        return true;
    }

  private:
    int listener_ = -1;
    std::string where_;
    std::unique_ptr<TcpIo> io_;
};

}  // namespace

std::unique_ptr<BoardPort> OpenTcpPort(const std::string& address, unsigned port, std::string* error) {
    std::unique_ptr<TcpPort> opened(new TcpPort);
    if (!opened->Open(address, port, error))
        return nullptr;
    return opened;
}
