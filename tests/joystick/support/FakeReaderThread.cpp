// A std::thread standing in for the Windows reader thread in the native tests. It does
// what the Win32 thread does with each WM_INPUT: it takes the raw-input bytes (held in a
// heap block of exactly the copied size), finds the first report and delivers it.
#include "JoystickFixture.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "joystick/ReportDecoder.h"

namespace {

struct Blob {
    uint8_t* Bytes;
    uint32_t Size;
};

std::mutex gMutex;
std::condition_variable gWake;
std::deque<Blob> gQueue;
bool gQuit = false;
bool gBusy = false;
bool gStarted = false;
std::thread gThread;
int gStarts = 0;

void Loop() {
    ReaderScratch scratch;
    scratch.Allocate();
    std::unique_lock<std::mutex> lock(gMutex);
    // The start signal, given before the thread ever takes DeviceListLock.
    gStarted = true;
    gWake.notify_all();
    for (;;) {
        gWake.wait(lock, [] { return gQuit || !gQueue.empty(); });
        if (gQueue.empty()) {
            // Like the Win32 loop: a quit request counts only once the running flag is clear.
            if (!ReaderRunning())
                break;
            gQuit = false;
            continue;
        }
        Blob blob = gQueue.front();
        gQueue.pop_front();
        gBusy = true;
        lock.unlock();
        RawReport report;
        if (FindFirstReport(blob.Bytes, blob.Size, &report)) {
            DeliverReport(report.Device, report.Report, report.Length, scratch);
        }
        delete[] blob.Bytes;
        lock.lock();
        gBusy = false;
        gWake.notify_all();
    }
}

HResult Start() {
    std::unique_lock<std::mutex> lock(gMutex);
    gQuit = false;
    gStarted = false;
    gThread = std::thread(Loop);
    gWake.wait(lock, [] { return gStarted; });
    ++gStarts;
    return kOk;
}

void End() {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gQuit = true;
    }
    gWake.notify_all();
    if (gThread.joinable())
        gThread.join();
    std::lock_guard<std::mutex> lock(gMutex);
    for (Blob& blob : gQueue)
        delete[] blob.Bytes;
    gQueue.clear();
}

const ReaderThreadFunctions kFunctions = {Start, End, nullptr};

}  // namespace

namespace FakeReaderThread {

const ReaderThreadFunctions* Functions() {
    return &kFunctions;
}

void Reset() {
    std::lock_guard<std::mutex> lock(gMutex);
    gStarts = 0;
}

int Starts() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gStarts;
}

bool Running() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gThread.joinable();
}

bool Post(const std::vector<uint8_t>& raw) {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gThread.joinable())
            return false;
        Blob blob{new uint8_t[raw.size()], static_cast<uint32_t>(raw.size())};
        if (!raw.empty())
            std::memcpy(blob.Bytes, raw.data(), raw.size());
        gQueue.push_back(blob);
    }
    gWake.notify_all();
    return true;
}

bool WaitIdle() {
    std::unique_lock<std::mutex> lock(gMutex);
    return gWake.wait_for(lock, std::chrono::seconds(10), [] { return gQueue.empty() && !gBusy; });
}

}  // namespace FakeReaderThread
