// The virtual board's seam to the platform: the port it answers on (a pseudo-terminal or
// a serial device on Linux, a COM port on Windows), standard input, the stop signals and
// the system's error texts. VirtualBoard.cpp is portable and calls only these;
// BoardPort_posix.cpp and Console_posix.cpp implement them on Linux, BoardPort_win.cpp and
// Console_win.cpp on Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "board/ResponderLoop.h"

struct PortRequest {
    std::string device;    // answer on this serial device (Linux)
    std::string link;      // a symbolic link to the host end of a pseudo-terminal (Linux)
    unsigned comPort = 0;  // answer on COM<n> (Windows)
    int tcpPort = -1;      // answer on this TCP port instead (0: one the system picks)
    std::string tcpAddress = "127.0.0.1";
};

class BoardPort {
  public:
    virtual ~BoardPort() = default;  // closes the port and removes the link
    virtual SerialIo& Io() = 0;
    // Makes a read in progress return at once with nothing, so that the responder loop
    // sees a stop. May miss a read that is only about to start: the caller repeats it
    // until the loop has ended. Any thread.
    virtual void Interrupt() = 0;
    // What the host opens: the pseudo-terminal's path, the device, COM<n>.
    virtual std::string HostEnd() const = 0;
    // The line settings the host put on its end ("9600 8N1"), where the port can tell (a
    // pseudo-terminal); empty where it cannot. Responder thread.
    virtual std::string HostLine() { return std::string(); }
};

// Opens and configures the port. Null with *error naming the port and giving the
// system's text when it cannot be had, or when the request does not fit the platform.
std::unique_ptr<BoardPort> OpenBoardPort(const PortRequest& request, std::string* error);

// The board's own line, as HostLine gives it.
constexpr const char* kBoardLine = "38400 8N1";
// A terminal's settings as "SPEED DATABITS PARITY STOPBITS" ("9600 7E2"). Linux.
std::string LineSettingsText(int fd);

// For --pace: timed waits of this process end as close to their time as the system can,
// so that each paced byte leaves on time. Main thread, before any other starts.
void SharpenTimers();

// The TCP port (TcpPort_posix.cpp, TcpPort_win.cpp), for OpenBoardPort: its host end is
// socket://ADDRESS:PORT. Null with *error giving the system's text when it cannot listen.
std::unique_ptr<BoardPort> OpenTcpPort(const std::string& address, unsigned port, std::string* error);

// How the port options read on this platform, for the usage text.
const char* PortUsage();

// The system's text of a failure code that a SerialIo returned.
std::string SystemErrorText(int32_t code);

// From here on an interrupt or termination request (SIGINT, SIGTERM, SIGHUP; Ctrl+C or
// closing the console) no longer ends the process but is kept for WaitForStopRequest.
// Called by the main thread before it starts any other.
void InstallStopHandlers();
// Main thread: waits up to timeoutMs (-1: without limit) for a stop request or a wake.
// True for a stop request.
bool WaitForStopRequest(int timeoutMs);
// Ends a WaitForStopRequest in progress, or the next one, with false. Any thread.
void WakeStopWaiter();
// Main thread, last: the stop is done and the totals are out. Closing the console waits
// for this before the system ends the process (Windows); nothing on Linux.
void StopCompleted();

// Blocks until standard input has bytes: their count, 0 at its end (or when it cannot be
// read), never a partial line's worth of nothing. Called by one thread only; the tool
// never waits for that thread to end, so this need not be interruptible.
long ReadStandardInput(char* buffer, size_t size);
