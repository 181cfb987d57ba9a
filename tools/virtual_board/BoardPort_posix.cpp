// The virtual board's ports on Linux: a pseudo-terminal pair it makes itself (the host
// opens the other end), or a serial device held exclusively. Both are a blocking
// descriptor that a stop interrupts with a signal. Opened by VirtualBoard.cpp through
// Platform.h.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Platform.h"

namespace {

HResult ErrnoCode(int error) {
    return FailureFromError(static_cast<uint32_t>(error));
}

// The signal that interrupts the responder's wait for a stop. Its handler does nothing:
// the wait fails with EINTR and the loop looks at the board's words.
constexpr int kInterruptSignal = SIGUSR2;

void OnInterrupt(int) {}

// A read hands out the bytes of one read() one at a time, so that a burst costs one
// system call, not one per byte. The descriptor does not block: a reply the host's end
// cannot take whole at once is lost, not waited for, so that a host that writes without
// reading never stalls the board. When a read's bytes are all handed out the responder
// waits in ppoll, the one place where the interrupt signal is let through: a signal sent
// at any other moment stays pending until then, so no stop is missed. A poll costs a
// ppoll, a read and a write; an idle board never wakes up.
class DescriptorIo : public SerialIo {
  public:
    explicit DescriptorIo(int fd) : fd_(fd) {}

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        *count = 0;
        if (discard_.exchange(false, std::memory_order_acquire)) {
            // The host that sent these has gone (PtyPort's watcher): none gets a reply.
            next_ = end_ = 0;
            tailLength_ = 0;
        }
        if (next_ == end_) {
            if (!readerKnown_.load(std::memory_order_acquire)) {
                // The interrupt signal stays blocked in this thread but for the wait,
                // whatever mask the process was started with.
                sigset_t interrupt;
                sigemptyset(&interrupt);
                sigaddset(&interrupt, kInterruptSignal);
                pthread_sigmask(SIG_BLOCK, &interrupt, &waitMask_);
                sigdelset(&waitMask_, kInterruptSignal);
                reader_ = pthread_self();
                readerKnown_.store(true, std::memory_order_release);
            }
            pollfd wait{fd_, POLLIN, 0};
            if (ppoll(&wait, 1, nullptr, &waitMask_) < 0)
                return errno == EINTR ? kOk : ErrnoCode(errno);
            const ssize_t n = read(fd_, in_, sizeof in_);
            if (n < 0)
                return errno == EINTR || errno == EAGAIN ? kOk : ErrnoCode(errno);
            if (n == 0)  // a hang-up: the device has gone
                return ErrnoCode(EIO);
            next_ = 0;
            end_ = static_cast<size_t>(n);
        }
        *byte = in_[next_++];
        *count = 1;
        return kOk;
    }

    // What is left of a reply cut short goes first, so that the host never sees a reply
    // start inside another; while it cannot go, new replies are lost.
    HResult Write(const uint8_t* data, uint32_t length) override {
        if (tailLength_ > 0) {
            const HResult tail = WriteSome(tail_ + tailStart_, tailLength_ - tailStart_, &tailStart_);
            if (tailStart_ < tailLength_)
                return Failed(tail) ? tail : kShortWrite;
            tailLength_ = 0;
        }
        size_t written = 0;
        const HResult result = WriteSome(data, length, &written);
        if (written == length)
            return kOk;
        if (written > 0 && length <= sizeof tail_) {
            std::memcpy(tail_, data, length);
            tailStart_ = written;
            tailLength_ = length;
        }
        return Failed(result) ? result : kShortWrite;
    }

    HResult ClearError() override { return kOk; }

    // Any thread. Pending until the responder waits, if it is not waiting yet.
    void Interrupt() {
        if (readerKnown_.load(std::memory_order_acquire))
            pthread_kill(reader_, kInterruptSignal);
    }

    // Any thread: what the host sent and the board has not handed out yet, and the rest of
    // a cut reply, are dropped before the next read.
    void DiscardPending() { discard_.store(true, std::memory_order_release); }

  private:
    // Adds to *done what one write took; a full end takes nothing and is no failure.
    HResult WriteSome(const uint8_t* data, size_t length, size_t* done) {
        const ssize_t n = write(fd_, data, length);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR ? kOk : ErrnoCode(errno);
        *done += static_cast<size_t>(n);
        return kOk;
    }

    int fd_;
    std::atomic<bool> readerKnown_{false};
    std::atomic<bool> discard_{false};
    pthread_t reader_{};
    sigset_t waitMask_{};
    uint8_t in_[1024];
    size_t next_ = 0, end_ = 0;
    uint8_t tail_[kReplyLength];
    size_t tailStart_ = 0, tailLength_ = 0;
};

// 38400 baud, 8 data bits, no parity, one stop bit, raw, no flow control.
bool SetBoardLine(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Failure(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// What both ports share: the descriptor's reader, and the signal that interrupts it.
class DescriptorPort : public BoardPort {
  public:
    SerialIo& Io() override { return *io_; }
    void Interrupt() override { io_->Interrupt(); }

  protected:
    // fd: non-blocking from here on.
    bool StartIo(int fd) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;  // without SA_RESTART: the call returns EINTR
        sigemptyset(&action.sa_mask);
        const int flags = fcntl(fd, F_GETFL);
        if (sigaction(kInterruptSignal, &action, nullptr) != 0 || flags < 0 ||
            fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            return false;
        io_.reset(new DescriptorIo(fd));
        return true;
    }

  private:
    std::unique_ptr<DescriptorIo> io_;
};

class PtyPort : public DescriptorPort {
  public:
    ~PtyPort() override {
        // Only a link that still points at this run's end: another run may have taken
        // the name since.
        if (!link_.empty()) {
            char target[512];
            const ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
            if (n >= 0 && std::string(target, static_cast<size_t>(n)) == hostEnd_)
                unlink(link_.c_str());
        }
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
    }
    std::string HostEnd() const override { return hostEnd_; }

    bool Open(const std::string& link, std::string* error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            *error = Failure("cannot make a pseudo-terminal", errno);
            return false;
        }
        hostEnd_ = name;
        // Held open for the whole run: while no process has the host end open, reads on
        // this side fail with EIO, so a host that closes its end would look like a port
        // that has gone. Held, the next host to open it is simply served.
        slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0 || !SetBoardLine(slave_)) {
            *error = Failure("cannot set up the pseudo-terminal " + hostEnd_, errno);
            return false;
        }
        if (!link.empty()) {
            struct stat existing;
            if (lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
                *error = "cannot make the link " + link + ": it exists and is not a symbolic link";
                return false;
            }
            // A link left by a run that was killed is replaced.
            unlink(link.c_str());
            if (symlink(hostEnd_.c_str(), link.c_str()) != 0) {
                *error = Failure("cannot make the link " + link, errno);
                return false;
            }
            link_ = link;
        }
        if (!StartIo(master_)) {
            *error = Failure("cannot set up the pseudo-terminal " + hostEnd_, errno);
            return false;
        }
        return true;
    }

  private:
    int master_ = -1, slave_ = -1;
    std::string hostEnd_, link_;
};

class DevicePort : public DescriptorPort {
  public:
    ~DevicePort() override {
        if (fd_ >= 0) {
            ioctl(fd_, TIOCNXCL);
            close(fd_);  // and the lock goes with it
        }
    }
    std::string HostEnd() const override { return path_; }

    bool Open(const std::string& path, std::string* error) {
        path_ = path;
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            *error = Failure("cannot open " + path, errno);
            return false;
        }
        // Exclusive: TIOCEXCL turns away later opens (except root's), the lock other
        // programs that ask for one, root's included.
        if (ioctl(fd_, TIOCEXCL) != 0) {
            *error = Failure(path + " is not a serial device", errno);
            return false;
        }
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            *error = Failure(path + " is busy: another program holds it", errno);
            return false;
        }
        if (!SetBoardLine(fd_) || tcflush(fd_, TCIOFLUSH) != 0) {
            *error = Failure("cannot set up " + path + " at 38400 8N1", errno);
            return false;
        }
        if (!StartIo(fd_)) {
            *error = Failure("cannot set up " + path, errno);
            return false;
        }
        return true;
    }

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace

std::unique_ptr<BoardPort> OpenBoardPort(const PortRequest& request, std::string* error) {
    if (request.comPort != 0) {
        *error = "--port names a COM port of the Windows build; here use --device PATH or no port option";
        return nullptr;
    }
    if (!request.device.empty()) {
        if (!request.link.empty()) {
            *error =
                "--link names the host end of a pseudo-terminal; with --device the host is on the "
                "other end of the cable";
            return nullptr;
        }
        std::unique_ptr<DevicePort> port(new DevicePort);
        if (!port->Open(request.device, error))
            return nullptr;
        return port;
    }
    std::unique_ptr<PtyPort> port(new PtyPort);
    if (!port->Open(request.link, error))
        return nullptr;
    return port;
}

const char* PortUsage() {
    return "[--link PATH | --device PATH]";
}

std::string SystemErrorText(int32_t code) {
    // The descriptor ports carry errno in the code's low word.
    if (code == kOutOfMemory)
        return "out of memory";
    if ((static_cast<uint32_t>(code) & 0xFFFF0000u) == 0x80070000u)
        return std::strerror(code & 0xFFFF);
    char text[32];
    std::snprintf(text, sizeof text, "failure 0x%08X", static_cast<unsigned>(code));
    return text;
}
