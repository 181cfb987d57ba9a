// board_monitor: a host-side checker for the emulated board, for Linux.
// On a terminal it shows the values live; into a pipe or with --stats, only a summary.
//
// Opens a serial device (a pty end, /dev/ttyS*, /dev/ttyUSB*) at 38400 8N1 raw, polls the
// board with 0x01 and checks every reply: 18 bytes, the F8 04 header, and each record's
// channel number in order. Users run it to check a set-up; the tests and benchmarks use
// it as the host. Exit status 0 means no reply was missing or malformed.
//
//   board_monitor --device PATH [--rate HZ] [--count N] [--timeout-ms MS] [--quiet] [--stats]
//                 [--changes]   a line with the time and the values whenever they change
//   board_monitor --device PATH --window W --count N [--stats]   W polls kept in flight
//   board_monitor --device PATH --burst BYTES [--seed S]   random bytes holding k polls: k replies
//   board_monitor --device PATH --silence                  every byte but 0x01: no answer
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReplyLength = 18;

struct Options {
    std::string device;
    double rate = 10.0;  // polls per second; 0 = as fast as replies come
    long count = 0;      // 0 = until interrupted
    int timeoutMs = 500;
    bool quiet = false;
    bool stats = false;
    long burst = 0;
    int window = 1;  // polls kept in flight; above 1 measures sustained throughput
    unsigned seed = 1;
    bool silence = false;
    bool changes = false;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: board_monitor --device PATH [--rate HZ] [--count N] [--timeout-ms MS] [--quiet] "
                 "[--stats] [--changes]\n"
                 "       board_monitor --device PATH --window W --count N [--stats]\n"
                 "       board_monitor --device PATH --burst BYTES [--seed S]\n"
                 "       board_monitor --device PATH --silence\n");
}

// The whole text a number, in range; otherwise a message naming the option and false.
bool WholeNumber(const char* option, const char* text, long minimum, long maximum, long* value) {
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || number < minimum || number > maximum) {
        std::fprintf(stderr, "board_monitor: %s takes a whole number from %ld to %ld, not '%s'\n", option,
                     minimum, maximum, text);
        return false;
    }
    *value = number;
    return true;
}

bool Rate(const char* text, double* value) {
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !(number >= 0 && number <= 1e6)) {
        std::fprintf(stderr, "board_monitor: --rate takes polls per second from 0 to 1000000, not '%s'\n",
                     text);
        return false;
    }
    *value = number;
    return true;
}

// False for a malformed command line; a malformed number has said so already.
bool ParseOptions(int argc, char** argv, Options* options) {
    constexpr long kMaxInt = 2147483647;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* value = nullptr;
        long number = 0;
        if (arg == "--device" && (value = next())) {
            options->device = value;
        } else if (arg == "--rate" && (value = next())) {
            if (!Rate(value, &options->rate))
                return false;
        } else if (arg == "--count" && (value = next())) {
            if (!WholeNumber("--count", value, 0, kMaxInt, &options->count))
                return false;
        } else if (arg == "--timeout-ms" && (value = next())) {
            if (!WholeNumber("--timeout-ms", value, 1, kMaxInt, &number))
                return false;
            options->timeoutMs = static_cast<int>(number);
        } else if (arg == "--window" && (value = next())) {
            if (!WholeNumber("--window", value, 1, 1000000, &number))
                return false;
            options->window = static_cast<int>(number);
        } else if (arg == "--burst" && (value = next())) {
            if (!WholeNumber("--burst", value, 0, kMaxInt, &options->burst))
                return false;
        } else if (arg == "--seed" && (value = next())) {
            if (!WholeNumber("--seed", value, 0, 4294967295L, &number))
                return false;
            options->seed = static_cast<unsigned>(number);
        } else if (arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--stats") {
            options->stats = true;
        } else if (arg == "--silence") {
            options->silence = true;
        } else if (arg == "--changes") {
            options->changes = true;
        } else {
            return false;
        }
    }
    return !options->device.empty() && options->rate >= 0 && options->timeoutMs > 0 && options->window >= 1 &&
           (options->window == 1 || options->count > 0);
}

int OpenPort(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::fprintf(stderr, "board_monitor: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return -1;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B38400);
        cfsetospeed(&tio, B38400);
        tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tcsetattr(fd, TCSANOW, &tio);
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

// Checks one 18-byte reply and decodes its eight channel values.
bool DecodeReply(const uint8_t* reply, int values[8]) {
    if (reply[0] != 0xF8 || reply[1] != 0x04)
        return false;
    for (int c = 0; c < 8; ++c) {
        const uint8_t hi = reply[2 + 2 * c];
        const uint8_t lo = reply[3 + 2 * c];
        if ((hi & 0xF8) != (0x80 | (c << 3)) || (lo & 0x80) != 0)
            return false;
        values[c] = ((hi & 7) << 7) | lo;
    }
    return true;
}

// Reads until want bytes arrived or the deadline passed; returns the bytes read.
size_t ReadFor(int fd, uint8_t* out, size_t want, Clock::time_point deadline) {
    size_t got = 0;
    while (got < want) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t n = read(fd, out + got, want - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

double Percentile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t index = std::min(samples.size() - 1, static_cast<size_t>(q * (samples.size() - 1) + 0.5));
    return samples[index];
}

int RunPolls(int fd, const Options& options) {
    long polls = 0, missing = 0, malformed = 0;
    std::vector<double> rtts;
    if (options.stats)
        rtts.reserve(options.count > 0 ? options.count : 1 << 16);
    const auto start = Clock::now();
    auto nextPoll = start;
    uint8_t reply[kReplyLength];
    int values[8] = {};
    int shown[8] = {-1, -1, -1, -1, -1, -1, -1, -1};  // the values of the last --changes line
    // The live line is for a person at a terminal, redrawn at most ten times a second. Into
    // a pipe or a file, and while measuring (--stats), only the summary is printed.
    const bool live = !options.quiet && !options.stats && isatty(STDOUT_FILENO);
    Clock::time_point lastDraw{};
    const auto draw = [&] {
        std::printf(
            "\rD %4d  C %4d  B %4d  button %4d  A %4d  light %4d  sound %4d  slider %4d   "
            "polls %ld missing %ld malformed %ld",
            values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7], polls,
            missing, malformed);
        std::fflush(stdout);
    };
    while (options.count == 0 || polls < options.count) {
        if (options.rate > 0) {
            const auto now = Clock::now();
            if (nextPoll > now)
                usleep(static_cast<useconds_t>(
                    std::chrono::duration_cast<std::chrono::microseconds>(nextPoll - now).count()));
            nextPoll += std::chrono::microseconds(static_cast<long>(1e6 / options.rate));
        }
        const uint8_t pollByte = 0x01;
        const auto sent = Clock::now();
        if (!WriteAll(fd, &pollByte, 1)) {
            std::fprintf(stderr, "board_monitor: write failed: %s\n", std::strerror(errno));
            return 2;
        }
        ++polls;
        const size_t got =
            ReadFor(fd, reply, kReplyLength, sent + std::chrono::milliseconds(options.timeoutMs));
        const auto received = Clock::now();
        if (got < kReplyLength) {
            ++missing;
            // A late or partial reply must not shift the next one: drop what is pending.
            tcflush(fd, TCIFLUSH);
        } else if (!DecodeReply(reply, values)) {
            ++malformed;
            tcflush(fd, TCIFLUSH);
        } else {
            if (options.stats)
                rtts.push_back(std::chrono::duration<double, std::micro>(received - sent).count());
            if (options.changes && !std::equal(values, values + 8, shown)) {
                std::copy(values, values + 8, shown);
                std::printf("t_ms=%.1f values=%d,%d,%d,%d,%d,%d,%d,%d\n",
                            std::chrono::duration<double, std::milli>(received - start).count(), values[0],
                            values[1], values[2], values[3], values[4], values[5], values[6], values[7]);
            }
        }
        if (live && received - lastDraw >= std::chrono::milliseconds(100)) {
            draw();
            lastDraw = received;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (live) {
        draw();  // the final state, whenever the last redraw was
        std::printf("\n");
    }
    std::printf("polls=%ld missing=%ld malformed=%ld\n", polls, missing, malformed);
    std::printf("values=%d,%d,%d,%d,%d,%d,%d,%d\n", values[0], values[1], values[2], values[3], values[4],
                values[5], values[6], values[7]);
    if (options.stats) {
        std::printf("rtt_p50_us=%.1f rtt_p99_us=%.1f polls_per_s=%.0f\n", Percentile(rtts, 0.50),
                    Percentile(rtts, 0.99), polls / seconds);
    }
    return missing == 0 && malformed == 0 ? 0 : 1;
}

// Keeps `window` polls in flight, as fast as replies come: the responder's sustained
// throughput. Replies must arrive whole and in order; a silence of the time-out counts the
// polls still in flight as missing.
int RunWindowed(int fd, const Options& options) {
    long sent = 0, answered = 0, missing = 0, malformed = 0;
    std::vector<double> rtts;
    rtts.reserve(options.count);
    std::vector<Clock::time_point> inFlight;  // send times, oldest first
    std::vector<uint8_t> pending;
    uint8_t chunk[4096];
    int values[8] = {};
    const uint8_t pollByte = 0x01;
    const auto start = Clock::now();
    while (answered + missing + malformed < options.count) {
        while (static_cast<int>(inFlight.size()) < options.window && sent < options.count) {
            if (!WriteAll(fd, &pollByte, 1))
                return 2;
            inFlight.push_back(Clock::now());
            ++sent;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, options.timeoutMs) <= 0) {
            missing += static_cast<long>(inFlight.size());
            inFlight.clear();
            pending.clear();
            tcflush(fd, TCIFLUSH);
            continue;
        }
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0)
            pending.insert(pending.end(), chunk, chunk + n);
        const auto now = Clock::now();
        size_t used = 0;
        while (pending.size() - used >= kReplyLength && !inFlight.empty()) {
            if (DecodeReply(pending.data() + used, values)) {
                ++answered;
                rtts.push_back(std::chrono::duration<double, std::micro>(now - inFlight.front()).count());
            } else {
                ++malformed;
            }
            inFlight.erase(inFlight.begin());
            used += kReplyLength;
        }
        pending.erase(pending.begin(), pending.begin() + used);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("polls=%ld missing=%ld malformed=%ld window=%d\n", sent, missing, malformed, options.window);
    std::printf("values=%d,%d,%d,%d,%d,%d,%d,%d\n", values[0], values[1], values[2], values[3], values[4],
                values[5], values[6], values[7]);
    if (options.stats) {
        std::printf("rtt_p50_us=%.1f rtt_p99_us=%.1f polls_per_s=%.0f\n", Percentile(rtts, 0.50),
                    Percentile(rtts, 0.99), sent / seconds);
    }
    return missing == 0 && malformed == 0 ? 0 : 1;
}

// Sends random bytes while reading replies at the same time, so that neither direction's
// buffer fills up, then checks that exactly one well-formed reply came per poll byte.
int RunBurst(int fd, const Options& options) {
    std::mt19937 random(options.seed);
    std::vector<uint8_t> data(static_cast<size_t>(options.burst));
    long polls = 0;
    for (auto& b : data) {
        b = static_cast<uint8_t>(random());
        polls += b == 0x01;
    }
    std::vector<uint8_t> received;
    size_t sent = 0;
    auto lastActivity = Clock::now();
    uint8_t chunk[4096];
    while (true) {
        const bool sending = sent < data.size();
        pollfd p{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
        const int ready = poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR)
            break;
        if (p.revents & POLLIN) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n > 0) {
                received.insert(received.end(), chunk, chunk + n);
                lastActivity = Clock::now();
            }
        }
        if (sending && (p.revents & POLLOUT)) {
            const size_t piece = std::min<size_t>(256, data.size() - sent);
            const ssize_t n = write(fd, data.data() + sent, piece);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                lastActivity = Clock::now();
            }
        }
        // Done once everything is sent and the line stayed quiet for the time-out.
        if (!sending && Clock::now() - lastActivity > std::chrono::milliseconds(options.timeoutMs))
            break;
    }
    long replies = 0, malformed = 0;
    int values[8];
    for (size_t i = 0; i + kReplyLength <= received.size(); i += kReplyLength) {
        ++replies;
        malformed += !DecodeReply(received.data() + i, values);
    }
    const long stray = static_cast<long>(received.size() % kReplyLength);
    std::printf("burst_bytes=%zu polls=%ld replies=%ld malformed=%ld stray_bytes=%ld\n", sent, polls, replies,
                malformed, stray);
    return replies == polls && malformed == 0 && stray == 0 ? 0 : 1;
}

int RunSilence(int fd, const Options& options) {
    std::vector<uint8_t> others;
    for (int b = 0; b < 256; ++b) {
        if (b != 0x01)
            others.push_back(static_cast<uint8_t>(b));
    }
    if (!WriteAll(fd, others.data(), others.size()))
        return 2;
    uint8_t buffer[64];
    const size_t got =
        ReadFor(fd, buffer, sizeof buffer, Clock::now() + std::chrono::milliseconds(options.timeoutMs + 500));
    std::printf("sent=%zu answered_bytes=%zu\n", others.size(), got);
    return got == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    const int fd = OpenPort(options.device);
    if (fd < 0)
        return 2;
    int result;
    if (options.burst > 0) {
        result = RunBurst(fd, options);
    } else if (options.silence) {
        result = RunSilence(fd, options);
    } else if (options.window > 1) {
        result = RunWindowed(fd, options);
    } else {
        result = RunPolls(fd, options);
    }
    close(fd);
    return result;
}
