// The serial responder on a real port under Wine: a socat pty pair is mapped to two COM
// ports (see with-pty-pair.sh); the responder holds the board end and the test plays the
// host on the other end through the same Win32 serial calls a Windows host would use.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <random>
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
struct RecordingSerial {
    static inline std::vector<std::wstring> openedNames;
    static inline int reads = 0;
    static inline std::vector<HANDLE> closed;
    static inline DWORD refuseFirstOpenWith = 0;
    static inline DWORD failTimeoutsWith = 0;

    static void Reset() {
        openedNames.clear();
        reads = 0;
        closed.clear();
        refuseFirstOpenWith = 0;
        failTimeoutsWith = 0;
    }
    static HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile) {
        openedNames.push_back(name);
        if (refuseFirstOpenWith != 0 && openedNames.size() == 1) {
            SetLastError(refuseFirstOpenWith);
            return INVALID_HANDLE_VALUE;
        }
        return ::CreateFileW(name, access, share, security, disposition, flags, templateFile);
    }
    static BOOL WINAPI ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
        ++reads;
        return ::ReadFile(file, data, size, read, overlapped);
    }
    static BOOL WINAPI SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
        if (failTimeoutsWith != 0) {
            SetLastError(failTimeoutsWith);
            return FALSE;
        }
        return ::SetCommTimeouts(file, timeouts);
    }
    static BOOL WINAPI CloseHandle(HANDLE handle) {
        closed.push_back(handle);
        return ::CloseHandle(handle);
    }
    static const SerialFunctions* Table() {
        static SerialFunctions table = kPlatformSerial;
        table.CreateFileW = CreateFileW;
        table.ReadFile = ReadFile;
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
        RecordingSerial::Reset();
        board_.SetPercent(kChannelInputA, 100);
        board_.SetPercent(kChannelLight, 40);
        board_.SetPercent(kChannelSound, 60);
        board_.SetPercent(kChannelButton, 1);
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
        ASSERT_TRUE(StartSerialResponder(&board_, port, &thread_));
    }
    // Stops the run the way the window's stop does and returns how long the thread took.
    double StopResponder() {
        if (thread_ == nullptr)
            return 0;
        const auto start = std::chrono::steady_clock::now();
        board_.generation = board_.generation + 1;
        board_.running = 0;
        const DWORD waited = WaitForSingleObject(thread_, 20000);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(WAIT_OBJECT_0, waited);
        CloseHandle(thread_);
        thread_ = nullptr;
        return ms;
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
    unsigned boardPort_ = 0;
    unsigned hostPort_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE host_ = INVALID_HANDLE_VALUE;
};

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
    const auto both = Receive(2 * kReplyLength);
    ASSERT_EQ(static_cast<size_t>(2 * kReplyLength), both.size());
    EXPECT_TRUE(Receive(1).empty());
}

TEST_F(SerialPortTest, OtherBytesGetNoAnswer) {
    StartResponder();
    OpenHost();
    std::vector<uint8_t> others;
    for (int b = 0; b < 256; ++b) {
        if (b != 0x01)
            others.push_back(static_cast<uint8_t>(b));
    }
    Send(others);
    EXPECT_TRUE(Receive(1).empty());
    Send({0x01});  // and the responder is still listening
    EXPECT_EQ(ExpectedReply(), Receive(kReplyLength));
}

TEST_F(SerialPortTest, RandomChunksGetOneReplyPerPollByte) {
    StartResponder();
    OpenHost();
    std::mt19937 random(42);
    long total = 0;
    for (int chunk = 0; chunk < 64; ++chunk) {
        std::vector<uint8_t> bytes(512);
        size_t polls = 0;
        for (auto& b : bytes) {
            b = static_cast<uint8_t>(random() % 8);  // dense in polls and near misses
            polls += b == 0x01;
        }
        Send(bytes);
        const auto replies = Receive(polls * kReplyLength);
        ASSERT_EQ(polls * kReplyLength, replies.size()) << "chunk " << chunk;
        const auto expected = ExpectedReply();
        for (size_t i = 0; i < polls; ++i) {
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), replies.begin() + i * kReplyLength));
        }
        total += static_cast<long>(polls);
    }
    EXPECT_TRUE(Receive(1).empty()) << "more replies than polls";
    EXPECT_GT(total, 3000);
}

TEST_F(SerialPortTest, StopWithSilentHostEndsWithinAReadTimeout) {
    StartResponder();
    Sleep(600);
    const double ms = StopResponder();
    // One pending read of 250 ms at most; the bound is generous for a loaded machine.
    EXPECT_LT(ms, 1500.0);
    RecordProperty("stop_ms", std::to_string(ms));
}

TEST_F(SerialPortTest, HostReopeningDoesNotDisturbTheResponder) {
    StartResponder();
    OpenHost();
    Send({0x01});
    ASSERT_EQ(ExpectedReply(), Receive(kReplyLength));
    for (int round = 0; round < 3; ++round) {
        CloseHandle(host_);
        host_ = INVALID_HANDLE_VALUE;
        Sleep(400);
        OpenHost();
        Send({0x01});
        ASSERT_EQ(ExpectedReply(), Receive(kReplyLength)) << "after reopening " << round + 1;
    }
}

TEST_F(SerialPortTest, NotRunningAtStartClosesThePortWithoutReading) {
    SetSerialFunctions(RecordingSerial::Table());
    HANDLE port = OpenAndConfigurePort(boardPort_);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    board_.running = 0;
    HANDLE thread = nullptr;
    ASSERT_TRUE(StartSerialResponder(&board_, port, &thread));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    EXPECT_EQ(0, RecordingSerial::reads);
    ASSERT_EQ(1u, RecordingSerial::closed.size());
    EXPECT_EQ(port, RecordingSerial::closed[0]);
    // Closed for real: the port opens again.
    HANDLE again = OpenAndConfigurePort(boardPort_);
    EXPECT_NE(INVALID_HANDLE_VALUE, again);
    CloseHandle(again);
}

TEST_F(SerialPortTest, MissingPortFailsWithFileNotFoundUnderBothNames) {
    SetSerialFunctions(RecordingSerial::Table());
    for (int attempt = 0; attempt < 3; ++attempt) {
        RecordingSerial::Reset();
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, OpenAndConfigurePort(250));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
        ASSERT_EQ(2u, RecordingSerial::openedNames.size());
        EXPECT_EQ(L"\\\\.\\COM250", RecordingSerial::openedNames[0]);
        EXPECT_EQ(L"COM250", RecordingSerial::openedNames[1]);
        EXPECT_TRUE(RecordingSerial::closed.empty());
    }
    // An existing port still opens after the failures, and again after being closed.
    for (int round = 0; round < 2; ++round) {
        HANDLE port = OpenAndConfigurePort(boardPort_);
        ASSERT_NE(INVALID_HANDLE_VALUE, port);
        CloseHandle(port);
    }
}

TEST_F(SerialPortTest, PlainNameIsTriedOnlyAfterFileNotFound) {
    SetSerialFunctions(RecordingSerial::Table());
    // A port in use: the device-namespace open is refused with access denied.
    RecordingSerial::refuseFirstOpenWith = ERROR_ACCESS_DENIED;
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenAndConfigurePort(boardPort_));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(1u, RecordingSerial::openedNames.size());

    // A driver that publishes only the plain name: the fallback opens it.
    RecordingSerial::Reset();
    RecordingSerial::refuseFirstOpenWith = ERROR_FILE_NOT_FOUND;
    HANDLE port = OpenAndConfigurePort(boardPort_);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    ASSERT_EQ(2u, RecordingSerial::openedNames.size());
    EXPECT_EQ(L"COM" + std::to_wstring(boardPort_), RecordingSerial::openedNames[1]);
    CloseHandle(port);
}

TEST_F(SerialPortTest, ConfigurationFailureClosesThePortAndKeepsTheError) {
    SetSerialFunctions(RecordingSerial::Table());
    RecordingSerial::failTimeoutsWith = ERROR_GEN_FAILURE;
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenAndConfigurePort(boardPort_));
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), GetLastError());
    EXPECT_EQ(1u, RecordingSerial::closed.size());
    RecordingSerial::failTimeoutsWith = 0;
    HANDLE port = OpenAndConfigurePort(boardPort_);
    EXPECT_NE(INVALID_HANDLE_VALUE, port);
    CloseHandle(port);
}

}  // namespace
