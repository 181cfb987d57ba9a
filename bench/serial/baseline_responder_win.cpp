// The benchmark's baseline: the least a responder can do. A bare synchronous loop that
// reads one byte and writes a fixed 18-byte reply for each 0x01, on a port opened with the
// same settings as the real responder's. It shares no code with the responder loop, so
// the ratio between the two measures what the loop adds.
//
//   baseline_responder.exe --port N     runs until standard input closes
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/SerialPort_win.h"

namespace {
volatile LONG gStop = 0;
HANDLE gPort = INVALID_HANDLE_VALUE;

// The loop runs on its own thread, as the real responder's does, so that the two programs
// differ only in the loop.
DWORD WINAPI BareLoop(void*) {
    static const unsigned char kReply[18] = {0xF8, 0x04, 0x87, 0x7F, 0x8F, 0x7F, 0x97, 0x7F, 0x9F,
                                             0x7F, 0xA7, 0x7F, 0xAF, 0x7F, 0xB0, 0x12, 0xB8, 0x00};
    while (gStop == 0) {
        unsigned char byte = 0;
        DWORD count = 0;
        if (ReadFile(gPort, &byte, 1, &count, nullptr) && count == 1 && byte == 0x01) {
            DWORD written = 0;
            WriteFile(gPort, kReply, sizeof kReply, &written, nullptr);
        }
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--port") != 0) {
        std::fprintf(stderr, "usage: baseline_responder.exe --port N\n");
        return 2;
    }
    gPort = OpenAndConfigurePort(static_cast<unsigned>(std::atoi(argv[2])));
    if (gPort == INVALID_HANDLE_VALUE) {
        std::printf("open_failed error=%lu\n", GetLastError());
        return 2;
    }
    const ScopedPort port(gPort);  // closed when the program returns, after the thread ended
    const ScopedHandle thread(CreateThread(nullptr, 0, BareLoop, nullptr, 0, nullptr));
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    InterlockedExchange(&gStop, 1);
    WaitForSingleObject(thread.Get(), 20000);
    std::printf("stop_ms=0\n");
    return 0;
}
