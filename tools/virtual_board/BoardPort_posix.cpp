// The virtual board's ports on Linux: a pseudo-terminal pair it makes itself (the host
// opens the other end), or a serial device held exclusively. Both are a blocking
// descriptor that a stop interrupts with a signal. Opened by VirtualBoard.cpp through
// Platform.h.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "InterruptibleWait_posix.h"
#include "Platform.h"

namespace {

HResult ErrnoCode(int error) {
    return FailureFromError(static_cast<uint32_t>(error));
}

// A read hands out the bytes of one read() one at a time, so that a burst costs one
// system call, not one per byte. The descriptor does not block: a reply the host's end
// cannot take whole at once is lost, not waited for, so that a host that writes without
// reading never stalls the board. When a read's bytes are all handed out the responder
// waits in ppoll, the one place where the interrupt signal is let through: a signal sent
// at any other moment stays pending until then, so no stop is missed. A poll costs a
// ppoll, a read and a write, and the replies to a burst's polls go out in one write; an
// idle board never wakes up.
class DescriptorIo : public SerialIo {
  public:
    explicit DescriptorIo(int fd) : fd_(fd) {}

    HResult ReadByte(uint8_t* byte, uint32_t* count) override {
        *count = 0;
        if (next_ != end_ && discards_.load(std::memory_order_relaxed) != discardsAtRead_) {
            // The host that sent these has gone since they were read (PtyPort's watcher):
            // none gets a reply.
            next_ = end_ = 0;
        }
        if (next_ == end_) {
            pollfd wait{fd_, POLLIN, 0};
            if (wait_.Poll(&wait, 1) < 0)
                return errno == EINTR ? kOk : ErrnoCode(errno);
            discardsAtRead_ = discards_.load(std::memory_order_relaxed);
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

    // Replies the host's end takes only part of are lost like those it does not take: the
    // host that flushes before its next poll then reads a whole reply, as from a real line.
    HResult Write(const uint8_t* data, uint32_t length, uint32_t* written) override {
        const ssize_t n = write(fd_, data, length);
        *written = n < 0 ? 0 : static_cast<uint32_t>(n);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR ? kShortWrite : ErrnoCode(errno);
        return static_cast<uint32_t>(n) == length ? kOk : kShortWrite;
    }

    // Responder thread, as ReadByte.
    bool HasBufferedInput() const override { return next_ != end_; }

    HResult ClearError() override { return kOk; }

    // Any thread. Pending until the responder waits, if it is not waiting yet.
    void Interrupt() { wait_.Interrupt(); }

    // Any thread: what the host sent and the board has not handed out yet is dropped
    // before the next read.
    void DiscardPending() { discards_.fetch_add(1, std::memory_order_relaxed); }

  private:
    int fd_;
    InterruptibleWait wait_;
    std::atomic<uint32_t> discards_{0};  // DiscardPending's count; any thread adds
    uint32_t discardsAtRead_ = 0;
    uint8_t in_[1024];
    size_t next_ = 0, end_ = 0;
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
    void DiscardPending() { io_->DiscardPending(); }

  protected:
    // fd: non-blocking from here on.
    bool StartIo(int fd) {
        const int flags = fcntl(fd, F_GETFL);
        if (!InterruptibleWait::InstallHandler() || flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            return false;
        io_.reset(new DescriptorIo(fd));
        return true;
    }

  private:
    std::unique_ptr<DescriptorIo> io_;
};

// A running board holds an open-file-description write lock on byte 0 of its host end,
// so that another board can tell a link to a live board from one a killed board left.
// (A host's flock is another kind of lock and never conflicts with it.)
struct flock LiveBoardLock(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return lock;
}

// True when path is the host end of a board that runs now. Opening it is seen by that
// board as a host that came and went, which costs it at most the reply in flight.
bool IsLiveBoardEnd(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = LiveBoardLock(F_WRLCK);
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}

class PtyPort : public DescriptorPort {
  public:
    ~PtyPort() override {
        if (watcher_.joinable()) {
            const char stop = 0;
            (void)!write(stopPipe_[1], &stop, 1);
            watcher_.join();
        }
        for (int fd : {watch_, stopPipe_[0], stopPipe_[1]}) {
            if (fd >= 0)
                close(fd);
        }
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
    std::string HostLine() override { return LineSettingsText(slave_); }

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
        struct flock live = LiveBoardLock(F_WRLCK);
        if (slave_ < 0 || !SetBoardLine(slave_) || fcntl(slave_, F_OFD_SETLK, &live) != 0) {
            *error = Failure("cannot set up the pseudo-terminal " + hostEnd_, errno);
            return false;
        }
        if (!link.empty()) {
            struct stat existing;
            if (lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
                *error = "cannot make the link " + link + ": it exists and is not a symbolic link";
                return false;
            }
            // The name of this run's own end may be what a killed board's link still names.
            char target[512];
            const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            const bool own = n >= 0 && std::string(target, static_cast<size_t>(n)) == hostEnd_;
            if (!own && IsLiveBoardEnd(link)) {
                *error = "cannot make the link " + link + ": it points at the host end of a board that runs";
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
        if (!StartIo(master_) || !StartWatcher()) {
            *error = Failure("cannot set up the pseudo-terminal " + hostEnd_, errno);
            return false;
        }
        return true;
    }

  private:
    // A real port drops what is buffered when its last user closes it; this board holds
    // the host end itself, so the kernel never does. A thread watches the host end for
    // closes and drops, both ways, what the host that went left: the replies it did not
    // read and the polls not answered yet. Otherwise the next host, if it does not flush on
    // opening, reads a stale reply first and stays one reply late.
    bool StartWatcher() {
        watch_ = inotify_init1(IN_CLOEXEC);
        if (watch_ < 0 ||
            inotify_add_watch(watch_, hostEnd_.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0 ||
            pipe2(stopPipe_, O_CLOEXEC) != 0)
            return false;
        watcher_ = std::thread([this] { WatchHostEnd(); });
        return true;
    }

    void WatchHostEnd() {
        alignas(inotify_event) char events[4096];
        for (;;) {
            pollfd waits[2] = {{watch_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (waits[1].revents != 0 || read(watch_, events, sizeof events) <= 0)
                return;
            // Every event is a close: one drop covers all that came together.
            tcflush(slave_, TCIOFLUSH);
            DiscardPending();
        }
    }

    int master_ = -1, slave_ = -1;
    int watch_ = -1, stopPipe_[2] = {-1, -1};
    std::thread watcher_;
    std::string hostEnd_, link_;
};

class DevicePort : public DescriptorPort {
  public:
    ~DevicePort() override {
        if (fd_ >= 0) {
            // Only what this run set: a board turned away by the lock has not touched the
            // exclusive mode of the board that holds the device.
            if (exclusive_)
                ioctl(fd_, TIOCNXCL);
            close(fd_);  // and the lock goes with it
        }
    }
    std::string HostEnd() const override { return path_; }

    bool Open(const std::string& path, std::string* error) {
        path_ = path;
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            // EBUSY: another opener set TIOCEXCL.
            *error = errno == EBUSY ? Failure(path + " is busy: another program holds it", errno)
                                    : Failure("cannot open " + path, errno);
            return false;
        }
        // Exclusive: the lock turns away other programs that ask for one, root's included;
        // TIOCEXCL, set once the lock is ours, turns away later opens (except root's).
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            *error = Failure(path + " is busy: another program holds it", errno);
            return false;
        }
        if (ioctl(fd_, TIOCEXCL) != 0) {
            *error = Failure(path + " is not a serial device", errno);
            return false;
        }
        exclusive_ = true;
        if (!SetBoardLine(fd_) || tcflush(fd_, TCIOFLUSH) != 0) {
            *error = Failure("cannot set up " + path + " at 38400 8N1", errno);
            return false;
        }
        // DTR and RTS off, as the Windows program opens its port, so that a host that
        // watches DSR or CTS sees the same board. A pseudo-terminal has no modem lines and
        // refuses the call, which changes nothing there.
        const int modemLines = TIOCM_DTR | TIOCM_RTS;
        ioctl(fd_, TIOCMBIC, &modemLines);
        if (!StartIo(fd_)) {
            *error = Failure("cannot set up " + path, errno);
            return false;
        }
        return true;
    }

  private:
    int fd_ = -1;
    bool exclusive_ = false;
    std::string path_;
};

}  // namespace

std::unique_ptr<BoardPort> OpenBoardPort(const PortRequest& request, std::string* error) {
    if (request.tcpPort >= 0) {
        if (!request.device.empty() || !request.link.empty()) {
            *error = "--tcp answers on a TCP port: it takes neither --device nor --link";
            return nullptr;
        }
        return OpenTcpPort(request.tcpAddress, static_cast<unsigned>(request.tcpPort), error);
    }
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
    return "[--link PATH | --device PATH | --tcp [ADDRESS:]PORT]";
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
