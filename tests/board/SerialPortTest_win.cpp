// The board's COM port on a real port under Wine (a socat pty pair mapped to COM ports, see
// with-pty-pair.sh), with the serial calls recorded: the names tried, the line, queues and
// time-outs set, and the responder thread's ownership of the port.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "board/SerialPort_win.h"
#include "board/SerialResponder_win.h"

namespace {

unsigned PortFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? static_cast<unsigned>(std::atoi(value)) : 0;
}

// Records the calls of interest and passes everything on to the platform.
struct SerialCalls {
    std::vector<std::wstring> openedNames;
    int reads = 0;
    std::vector<HANDLE> closed;
    DWORD refuseFirstOpenWith = 0, failTimeoutsWith = 0;
    std::vector<DCB> states;
    std::vector<std::pair<DWORD, DWORD>> queues;
    std::vector<COMMTIMEOUTS> timeouts;
};
struct RecordingSerial {
    static inline SerialCalls r;

    static HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile) {
        r.openedNames.push_back(name);
        if (r.refuseFirstOpenWith != 0 && r.openedNames.size() == 1) {
            SetLastError(r.refuseFirstOpenWith);
            return INVALID_HANDLE_VALUE;
        }
        return ::CreateFileW(name, access, share, security, disposition, flags, templateFile);
    }
    static BOOL WINAPI ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
        ++r.reads;
        return ::ReadFile(file, data, size, read, overlapped);
    }
    static BOOL WINAPI SetCommState(HANDLE file, LPDCB dcb) {
        r.states.push_back(*dcb);
        return ::SetCommState(file, dcb);
    }
    static BOOL WINAPI SetupComm(HANDLE file, DWORD in, DWORD out) {
        r.queues.emplace_back(in, out);
        return ::SetupComm(file, in, out);
    }
    static BOOL WINAPI SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS values) {
        r.timeouts.push_back(*values);
        if (r.failTimeoutsWith != 0) {
            SetLastError(r.failTimeoutsWith);
            return FALSE;
        }
        return ::SetCommTimeouts(file, values);
    }
    static BOOL WINAPI CloseHandle(HANDLE handle) {
        r.closed.push_back(handle);
        return ::CloseHandle(handle);
    }
    static const SerialFunctions* Table() {
        static SerialFunctions table = kPlatformSerial;
        table.CreateFileW = CreateFileW;
        table.ReadFile = ReadFile;
        table.SetCommState = SetCommState;
        table.SetupComm = SetupComm;
        table.SetCommTimeouts = SetCommTimeouts;
        table.CloseHandle = CloseHandle;
        return &table;
    }
};

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        boardPort_ = PortFromEnvironment("OMBRIX_BOARD_COM");
        ASSERT_NE(0u, boardPort_) << "run through with-pty-pair.sh";
        RecordingSerial::r = SerialCalls();
        SetSerialFunctions(RecordingSerial::Table());
    }
    void TearDown() override { SetSerialFunctions(nullptr); }

    BoardState board_;
    ResponderOwner owner_{&board_, nullptr, nullptr, 0};
    unsigned boardPort_ = 0;
};

// Polls, other bytes, the stop with a silent host and a host that goes and comes back are
// the host session's and the window session's (a Linux host on the pty); here what only a
// recording of the calls can show.
TEST_F(SerialPortTest, NotRunningAtStartClosesThePortWithoutReading) {
    ScopedPort opened(OpenAndConfigurePort(boardPort_));
    ASSERT_TRUE(opened);
    const HANDLE port = opened.Get();
    board_.running = 0;
    ScopedHandle thread;
    ASSERT_TRUE(StartSerialResponder(&owner_, opened, &thread));
    EXPECT_FALSE(opened);  // the thread's now
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 5000));
    EXPECT_EQ(0, RecordingSerial::r.reads);
    ASSERT_EQ(1u, RecordingSerial::r.closed.size());
    EXPECT_EQ(port, RecordingSerial::r.closed[0]);
}

// The line, the driver queues and the time-outs as the port is configured, against the
// board's documented settings written out here, not taken from the code under test.
TEST_F(SerialPortTest, OpeningSetsTheBoardsLineQueuesAndTimeouts) {
    ASSERT_TRUE(ScopedPort(OpenAndConfigurePort(boardPort_)));
    ASSERT_EQ(1u, RecordingSerial::r.states.size());
    const DCB& dcb = RecordingSerial::r.states[0];
    uint32_t flags;
    std::memcpy(&flags, reinterpret_cast<const uint8_t*>(&dcb) + 8, sizeof flags);
    const struct {
        const char* field;
        long long actual;
        long long expected;
    } line[] = {
        {"DCBlength", dcb.DCBlength, 28},  {"BaudRate", dcb.BaudRate, 38400},
        {"flag word", flags, 0x4081},      {"XonLim", dcb.XonLim, 0},
        {"XoffLim", dcb.XoffLim, 16},      {"ByteSize", dcb.ByteSize, 8},
        {"Parity", dcb.Parity, 0},         {"StopBits", dcb.StopBits, 0},
        {"XonChar", dcb.XonChar, 0},       {"XoffChar", dcb.XoffChar, 0},
        {"ErrorChar", dcb.ErrorChar, 0},   {"EofChar", dcb.EofChar, 0},
        {"EvtChar", dcb.EvtChar, 0},       {"wReserved", dcb.wReserved, 0},
        {"wReserved1", dcb.wReserved1, 0},
    };
    for (const auto& row : line)
        EXPECT_EQ(row.expected, row.actual) << row.field;
    ASSERT_EQ(1u, RecordingSerial::r.queues.size());
    EXPECT_EQ(std::make_pair(DWORD{4096}, DWORD{4096}), RecordingSerial::r.queues[0]);
    ASSERT_EQ(1u, RecordingSerial::r.timeouts.size());
    const COMMTIMEOUTS expected = {200, 0, 250, 0, 250};  // read interval, multiplier, constant; write
    EXPECT_EQ(0, std::memcmp(&expected, &RecordingSerial::r.timeouts[0], sizeof expected));

    // A configuration step that fails closes the port and leaves its error for the caller.
    RecordingSerial::r = SerialCalls();
    RecordingSerial::r.failTimeoutsWith = ERROR_GEN_FAILURE;
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenAndConfigurePort(boardPort_));
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), GetLastError());
    EXPECT_EQ(1u, RecordingSerial::r.closed.size());
}

// Which names are tried: the plain one only after "not found" (not after "access denied",
// a port in use), and none for a number whose name would not fit the 16-character buffer.
TEST_F(SerialPortTest, NamesTriedFollowTheFirstOpensError) {
    const std::wstring board = std::to_wstring(boardPort_);
    const struct {
        unsigned port;
        DWORD firstError;  // forced on the first open; 0: the platform's answer
        bool opens;
        DWORD error;
        std::vector<std::wstring> names;
    } cases[] = {
        {250, 0, false, ERROR_FILE_NOT_FOUND, {L"\\\\.\\COM250", L"COM250"}},
        {boardPort_, ERROR_ACCESS_DENIED, false, ERROR_ACCESS_DENIED, {L"\\\\.\\COM" + board}},
        {boardPort_, ERROR_FILE_NOT_FOUND, true, 0, {L"\\\\.\\COM" + board, L"COM" + board}},
        {99999999, 0, false, ERROR_FILE_NOT_FOUND, {L"\\\\.\\COM99999999", L"COM99999999"}},
        {100000000, 0, false, ERROR_INVALID_PARAMETER, {}},
        {4294967295u, 0, false, ERROR_INVALID_PARAMETER, {}},
    };
    for (const auto& c : cases) {
        RecordingSerial::r = SerialCalls();
        RecordingSerial::r.refuseFirstOpenWith = c.firstError;
        const ScopedPort port(OpenAndConfigurePort(c.port));
        EXPECT_EQ(c.opens, static_cast<bool>(port)) << c.port;
        if (!c.opens) {
            EXPECT_EQ(c.error, GetLastError()) << c.port;
            EXPECT_TRUE(RecordingSerial::r.closed.empty()) << c.port;
        }
        EXPECT_EQ(c.names, RecordingSerial::r.openedNames) << c.port;
    }
}

}  // namespace
