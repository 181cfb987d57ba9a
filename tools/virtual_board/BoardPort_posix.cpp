// The virtual board's ports on Linux: a pseudo-terminal pair it makes itself (the host
// opens the other end), or a serial device held exclusively. Both are a blocking
// descriptor that a stop interrupts with a signal. Opened by VirtualBoard.cpp through
// Platform.h.
#include <fcntl.h>
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

// The signal that interrupts the responder's blocking read or write for a stop. Its
// handler does nothing: the call fails with EINTR and the loop looks at the board's
// words.
constexpr int kInterruptSignal = SIGUSR2;

void OnInterrupt(int) {}

// A read hands out the bytes of one read() one at a time, so that a burst costs one
// system call, not one per byte. Replies to polls of one burst are written together
// when the next read finds it all handed out: the host sees them no later, in fewer
// writes. The descriptor blocks, so that a poll costs one read and one write, as in the
// barest loop, and an idle board never wakes up.
class DescriptorIo : public SerialIo {
  public:
    explicit DescriptorIo(int fd) : fd_(fd) {}

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        *count = 0;
        if (next_ == end_) {
            if (!readerKnown_.load(std::memory_order_acquire)) {
                reader_ = pthread_self();
                readerKnown_.store(true, std::memory_order_release);
            }
            // The replies to a burst's polls go out together once it is all handed out.
            // Interrupted by a stop, they are dropped; a port that fails counts as a
            // failed read.
            const HResult flushed = Flush();
            if (Failed(flushed))
                return flushed == ErrnoCode(EINTR) ? kOk : flushed;
            const ssize_t n = read(fd_, in_, sizeof in_);
            if (n < 0)
                return errno == EINTR ? kOk : ErrnoCode(errno);
            if (n == 0)  // a hang-up: the device has gone
                return ErrnoCode(EIO);
            next_ = 0;
            end_ = static_cast<size_t>(n);
        }
        *byte = in_[next_++];
        *count = 1;
        return kOk;
    }

    HResult Write(const uint8_t* data, uint32_t length) override {
        if (length > sizeof out_ - pending_) {
            const HResult flushed = Flush();
            if (Failed(flushed))
                return flushed;
            if (length > sizeof out_)
                return WriteAll(data, length);
        }
        std::memcpy(out_ + pending_, data, length);
        pending_ += length;
        return kOk;
    }

    HResult ClearError() override {
        // A failed write leaves nothing queued: the reply is lost, as on a line error.
        pending_ = 0;
        return kOk;
    }

    // Any thread. A signal that comes just before the read starts is missed, so the
    // caller repeats this until the loop has ended.
    void Interrupt() {
        if (readerKnown_.load(std::memory_order_acquire))
            pthread_kill(reader_, kInterruptSignal);
    }

  private:
    HResult Flush() {
        const size_t length = pending_;
        pending_ = 0;
        return length == 0 ? kOk : WriteAll(out_, length);
    }

    // Blocks while the host does not read, as a host that never reads gets nothing
    // anyway; a stop interrupts it.
    HResult WriteAll(const uint8_t* data, size_t length) {
        size_t done = 0;
        while (done < length) {
            const ssize_t n = write(fd_, data + done, length - done);
            if (n < 0)
                return ErrnoCode(errno);
            done += static_cast<size_t>(n);
        }
        return kOk;
    }

    int fd_;
    std::atomic<bool> readerKnown_{false};
    pthread_t reader_{};
    uint8_t in_[1024];
    size_t next_ = 0, end_ = 0;
    uint8_t out_[4096];
    size_t pending_ = 0;
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
    // fd: blocking from here on.
    bool StartIo(int fd) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;  // without SA_RESTART: the call returns EINTR
        sigemptyset(&action.sa_mask);
        const int flags = fcntl(fd, F_GETFL);
        if (sigaction(kInterruptSignal, &action, nullptr) != 0 || flags < 0 ||
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
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
