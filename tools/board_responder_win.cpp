// board_responder: runs the board's serial responder alone on a COM port, without the
// window. Used by the host-session tests and the benchmark, and handy for checking a
// virtual port pair.
//
//   board_responder.exe --port N [--run-ms MS]     (N from 1 to 99999999)
//
// Prints "ready" once the port is open, then answers polls until standard input closes (or
// MS milliseconds passed), stops the run the way the window does and prints how long the
// responder thread took to end: "stop_ms=<ms>". Exit status 2 when the port cannot be
// opened, with the system's error code and text.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "board/SerialPort_win.h"
#include "board/SerialResponder_win.h"

namespace {

void WaitForEndOfInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned port = 0;
    long runMs = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            // Digits only, 1 to kMaxPortNumber: anything longer has no COM name.
            const char* text = argv[++i];
            char* end = nullptr;
            const unsigned long number = std::strtoul(text, &end, 10);
            if (text[0] < '0' || text[0] > '9' || *end != 0 || number < 1 || number > kMaxPortNumber) {
                std::fprintf(stderr,
                             "board_responder: --port takes a COM port number from 1 to %u, not '%s'\n",
                             kMaxPortNumber, text);
                return 2;
            }
            port = static_cast<unsigned>(number);
        } else if (std::strcmp(argv[i], "--run-ms") == 0 && i + 1 < argc) {
            runMs = std::atol(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: board_responder.exe --port N [--run-ms MS] (N from 1 to %u)\n",
                         kMaxPortNumber);
            return 2;
        }
    }

    // The values of a fresh start: resistance inputs at 100 %, the rest at 0 %, button up.
    BoardState board;
    for (int channel : {0, 1, 2, 4})
        board.SetPercent(channel, 100);
    for (int channel : {5, 6, 7})
        board.SetPercent(channel, 0);
    board.SetPercent(kChannelButton, 0);

    HANDLE handle = OpenAndConfigurePort(port);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        wchar_t* text = nullptr;
        FormatMessageW(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
            nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
            nullptr);
        std::printf("open_failed error=%lu %ls", error, text != nullptr ? text : L"\n");
        LocalFree(text);
        return 2;
    }
    board.running = 1;
    HANDLE thread = nullptr;
    ResponderOwner owner = {&board, nullptr, 0};
    if (!StartSerialResponder(&owner, handle, &thread)) {
        std::printf("thread_failed error=%lu\n", GetLastError());
        CloseHandle(handle);
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (runMs >= 0) {
        Sleep(static_cast<DWORD>(runMs));
    } else {
        WaitForEndOfInput();
    }

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    board.generation = board.generation + 1;
    board.running = 0;
    const DWORD waited = WaitForSingleObject(thread, 20000);
    QueryPerformanceCounter(&end);
    CloseHandle(thread);
    std::printf("stop_ms=%.1f%s\n", 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart,
                waited == WAIT_OBJECT_0 ? "" : " (did not end)");
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}
