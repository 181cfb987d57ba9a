// The native benchmark's baseline: the least a board on a pseudo-terminal can do. It makes
// its pty pair as the virtual board does (the host end raw and held open), prints the host
// end, and runs a bare loop: a blocking read, and for each poll byte in what it returned a
// fixed 18-byte reply written at once. It shares no code with the responder loop, so the
// ratio between the two measures what the virtual board adds. Run by
// bench/serial/virtual_board.sh until it is killed.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

int main() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return 2;
    const char* name = ptsname(master);
    const int slave = open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0)
        return 2;
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    std::printf("%s\n", name);
    std::fflush(stdout);

    static const unsigned char kReply[18] = {0xF8, 0x04, 0x87, 0x7F, 0x8F, 0x7F, 0x97, 0x7F, 0x9F,
                                             0x7F, 0xA7, 0x7F, 0xAF, 0x7F, 0xB0, 0x12, 0xB8, 0x00};
    unsigned char in[1024];
    for (;;) {
        const ssize_t n = read(master, in, sizeof in);
        if (n < 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            if (in[i] == 0x01 && write(master, kReply, sizeof kReply) < 0)
                break;
        }
    }
}
