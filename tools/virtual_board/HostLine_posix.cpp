// The settings a host put on its end of the board's pseudo-terminal, which the board holds
// open: the host's own termios, read back so that --pace can treat a host at the wrong
// speed as a real board would (called by BoardPort_posix.cpp's pty port); and the timers
// that --pace needs sharp (called by VirtualBoard.cpp).
#include <sys/prctl.h>
#include <termios.h>

#include <string>

#include "Platform.h"

void SharpenTimers() {
    // Linux lets a timed wait end up to 50 us late by default, which a paced reply would
    // add to its last byte; threads started later inherit the setting.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

std::string LineSettingsText(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return std::string();
    static const struct {
        speed_t code;
        const char* baud;
    } kSpeeds[] = {{B1200, "1200"},     {B2400, "2400"},     {B4800, "4800"},     {B9600, "9600"},
                   {B19200, "19200"},   {B38400, "38400"},   {B57600, "57600"},   {B115200, "115200"},
                   {B230400, "230400"}, {B460800, "460800"}, {B921600, "921600"}, {B0, "0"}};
    const speed_t speed = cfgetospeed(&tio);
    std::string text = "other";
    for (const auto& s : kSpeeds) {
        if (s.code == speed)
            text = s.baud;
    }
    const tcflag_t size = tio.c_cflag & CSIZE;
    text += size == CS5 ? " 5" : size == CS6 ? " 6" : size == CS7 ? " 7" : " 8";
    text += (tio.c_cflag & PARENB) == 0 ? 'N' : (tio.c_cflag & PARODD) != 0 ? 'O' : 'E';
    text += (tio.c_cflag & CSTOPB) != 0 ? '2' : '1';
    return text;
}
