// The run's responder as the session starts it, over a serial table that plays a port:
// what it sees on the line lands in the run's counters, which the status bar reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "board/SerialPort_win.h"
#include "session/SessionWorkers_win.h"

namespace {

// A port whose first read meets a framing error: with abort-on-error set the read fails
// until ClearCommError, which reports CE_FRAME. Then a poll and a byte of another speed's
// garbling, then nothing.
struct FramingErrorPort {
    static inline std::atomic<int> reads{0};
    static HANDLE WINAPI CreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
        return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5A5A));
    }
    static BOOL WINAPI SetCommState(HANDLE, LPDCB) { return TRUE; }
    static BOOL WINAPI SetupComm(HANDLE, DWORD, DWORD) { return TRUE; }
    static BOOL WINAPI SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS) { return TRUE; }
    static BOOL WINAPI ReadFile(HANDLE, LPVOID data, DWORD, LPDWORD read, LPOVERLAPPED) {
        const int n = reads++;
        *read = n == 1 || n == 2 ? 1 : 0;
        if (n == 0) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return FALSE;
        }
        if (*read == 1)
            *static_cast<uint8_t*>(data) = n == 1 ? kPollByte : 0x55;
        else
            Sleep(5);  // a read time-out, shortened
        return TRUE;
    }
    static BOOL WINAPI WriteFile(HANDLE, LPCVOID, DWORD size, LPDWORD written, LPOVERLAPPED) {
        *written = size;
        return TRUE;
    }
    static BOOL WINAPI ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT) {
        *errors = reads.load() == 1 ? CE_FRAME : 0;
        return TRUE;
    }
    static BOOL WINAPI CloseHandle(HANDLE) { return TRUE; }
    static constexpr SerialFunctions kTable = {CreateFileW, SetCommState, SetupComm,      SetCommTimeouts,
                                               ReadFile,    WriteFile,    ClearCommError, CloseHandle};
};

TEST(SessionWorkersWin, TheResponderCountsALineErrorAPollAndAnOtherByteIntoTheRunsCounters) {
    SetSerialFunctions(&FramingErrorPort::kTable);
    BoardState board;
    board.running = 1;
    LineCounters line;
    Worker worker = nullptr;
    ASSERT_EQ(kOk, kPlatformWorkers.StartResponder(board, line, {nullptr, 0}, 5, &worker));
    for (int waited = 0; FramingErrorPort::reads.load() < 10 && waited < 5000; waited += 5)
        Sleep(5);
    board.generation.fetch_add(1);
    board.running = 0;
    ASSERT_TRUE(kPlatformWorkers.Wait(worker, 5000));
    kPlatformWorkers.Close(worker);
    SetSerialFunctions(nullptr);
    EXPECT_EQ(1u, line.lineErrors.load());
    EXPECT_EQ(1u, line.pollsAnswered.load());
    EXPECT_EQ(1u, line.otherBytes.load());
    EXPECT_NE(0, line.lastPollMs.load());
}

}  // namespace
