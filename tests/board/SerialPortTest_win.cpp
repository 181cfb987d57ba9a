// The serial responder on a real port under Wine: a socat pty pair is mapped to two COM
// ports (see with-pty-pair.sh); the responder holds the board end and the test plays the
// host on the other end through the same Win32 serial calls a Windows host would use.
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
        hostPort_ = PortFromEnvironment("OMBRIX_HOST_COM");
        ASSERT_NE(0u, boardPort_) << "run through with-pty-pair.sh";
        RecordingSerial::r = SerialCalls();
        for (int32_t channel : {kChannelInputA, kChannelLight, kChannelSound, kChannelButton})
            board_.SetPercent(channel, 60);
    }
    void TearDown() override {
        StopResponder();
        if (host_ != INVALID_HANDLE_VALUE)
            CloseHandle(host_);
        SetSerialFunctions(nullptr);
    }

    void StartResponder() {
        HANDLE port = OpenAndConfigurePort(boardPort_);
        ASSERT_NE(INVALID_HANDLE_VALUE, port) << "error " << GetLastError();
        board_.running = 1;
        ASSERT_TRUE(StartSerialResponder(&owner_, port, &thread_));
    }
    // Stops the run the way the window's stop does; the thread must end within the limit.
    void StopResponder(DWORD limitMs = 20000) {
        if (thread_ == nullptr)
            return;
        board_.generation = board_.generation + 1;
        board_.running = 0;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread_, limitMs));
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    void OpenHost() {
        host_ = OpenAndConfigurePort(hostPort_);
        ASSERT_NE(INVALID_HANDLE_VALUE, host_) << "error " << GetLastError();
        PurgeComm(host_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    void Send(const std::vector<uint8_t>& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(host_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(bytes.size(), written);
    }
    // Reads up to n bytes, waiting at most about a second in all.
    std::vector<uint8_t> Receive(size_t n) {
        std::vector<uint8_t> got;
        for (int tries = 0; tries < 4 && got.size() < n; ++tries) {
            std::vector<uint8_t> chunk(n - got.size());
            DWORD read = 0;
            if (!ReadFile(host_, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
                break;
            got.insert(got.end(), chunk.begin(), chunk.begin() + read);
        }
        return got;
    }
    std::vector<uint8_t> ExpectedReply() {
        std::vector<uint8_t> reply(kReplyLength);
        EncodeReply(board_, reply.data());
        return reply;
    }

    BoardState board_;
    ResponderOwner owner_{&board_, nullptr, 0};
    unsigned boardPort_ = 0, hostPort_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE host_ = INVALID_HANDLE_VALUE;
};

// Other bytes, random bursts and a host that goes away and comes back are the host-session
// test's (a Linux host on the pty); here the polls of a Windows host.
TEST_F(SerialPortTest, EveryPollGetsOneCorrectReply) {
    StartResponder();
    OpenHost();
    for (int i = 0; i < 200; ++i) {
        board_.SetPercent(kChannelSlider, i % 101);  // replies follow the values of the moment
        Send({0x01});
        ASSERT_EQ(ExpectedReply(), Receive(kReplyLength)) << "poll " << i;
    }
    // Two polls in a row: two replies, and nothing more.
    Send({0x01, 0x01});
    EXPECT_EQ(static_cast<size_t>(2 * kReplyLength), Receive(2 * kReplyLength).size());
    EXPECT_TRUE(Receive(1).empty());
}

TEST_F(SerialPortTest, StopWithSilentHostEndsWithinAReadTimeout) {
    StartResponder();
    Sleep(600);
    // One pending read of 250 ms at most (the time-outs themselves are checked below); the
    // bound is generous for a loaded machine.
    StopResponder(1500);
}

TEST_F(SerialPortTest, NotRunningAtStartClosesThePortWithoutReading) {
    SetSerialFunctions(RecordingSerial::Table());
    HANDLE port = OpenAndConfigurePort(boardPort_);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    board_.running = 0;
    HANDLE thread = nullptr;
    ASSERT_TRUE(StartSerialResponder(&owner_, port, &thread));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    EXPECT_EQ(0, RecordingSerial::r.reads);
    ASSERT_EQ(1u, RecordingSerial::r.closed.size());
    EXPECT_EQ(port, RecordingSerial::r.closed[0]);
    // Closed for real: the port opens again.
    HANDLE again = OpenAndConfigurePort(boardPort_);
    EXPECT_NE(INVALID_HANDLE_VALUE, again);
    CloseHandle(again);
}

// The line, the driver queues and the time-outs as the port is configured, against the
// board's documented settings written out here, not taken from the code under test.
TEST_F(SerialPortTest, OpeningSetsTheBoardsLineQueuesAndTimeouts) {
    SetSerialFunctions(RecordingSerial::Table());
    HANDLE port = OpenAndConfigurePort(boardPort_);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    CloseHandle(port);
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
    SetSerialFunctions(RecordingSerial::Table());
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
        HANDLE port = OpenAndConfigurePort(c.port);
        EXPECT_EQ(c.opens, port != INVALID_HANDLE_VALUE) << c.port;
        if (!c.opens)
            EXPECT_EQ(c.error, GetLastError()) << c.port;
        EXPECT_EQ(c.names, RecordingSerial::r.openedNames) << c.port;
        if (c.opens)
            CloseHandle(port);
        else
            EXPECT_TRUE(RecordingSerial::r.closed.empty()) << c.port;
    }
}

}  // namespace
