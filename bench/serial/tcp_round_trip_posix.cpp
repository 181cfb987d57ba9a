// The TCP half of the virtual board benchmark (virtual_board.sh):
//   tcp_round_trip serve            the baseline: the barest loop that answers each poll
//                                   byte on a TCP port with 18 bytes; prints socket://...
//   tcp_round_trip poll PORT COUNT  a host: COUNT polls one at a time on 127.0.0.1:PORT,
//                                   then the round trip's p50 and p99 in microseconds
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int Serve() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) != 0)
        return 1;
    std::printf("socket://127.0.0.1:%u\n", ntohs(at.sin_port));
    std::fflush(stdout);
    uint8_t reply[18] = {0xF8, 0x04};
    for (;;) {
        const int host = accept(listener, nullptr, nullptr);
        const int on = 1;
        setsockopt(host, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        uint8_t in[1024];
        ssize_t n;
        while ((n = read(host, in, sizeof in)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (in[i] == 1 && write(host, reply, sizeof reply) != sizeof reply)
                    break;
            }
        }
        close(host);
    }
}

int Poll(int port, int count) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)
        return 1;
    std::vector<double> rtts;
    const uint8_t poll = 1;
    for (int i = 0; i < count; ++i) {
        const auto sent = std::chrono::steady_clock::now();
        if (write(fd, &poll, 1) != 1)
            return 1;
        uint8_t reply[18];
        size_t got = 0;
        while (got < sizeof reply) {
            const ssize_t n = read(fd, reply + got, sizeof reply - got);
            if (n <= 0)
                return 1;
            got += static_cast<size_t>(n);
        }
        rtts.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent).count());
    }
    std::sort(rtts.begin(), rtts.end());
    std::printf("rtt_p50_us=%.1f rtt_p99_us=%.1f\n", rtts[rtts.size() / 2], rtts[rtts.size() * 99 / 100]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "serve") == 0)
        return Serve();
    if (argc == 4 && std::strcmp(argv[1], "poll") == 0)
        return Poll(std::atoi(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr, "usage: tcp_round_trip serve | tcp_round_trip poll PORT COUNT\n");
    return 2;
}
