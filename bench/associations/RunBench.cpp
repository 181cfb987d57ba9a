// Native benchmark of a run of the association loop, with the real 10 ms sleep, fed by
// reports that the main thread decodes as the reader thread would, over the strict
// substitute parser:
//   - latency from a report handed to the reader to the BoardState value changing, p50 and
//     p99, as a ratio against a 10 ms sleep measured in the same run (the design's bound);
//   - CPU of an idle run with a joystick selected (no reports), against the wall time, and
//     the idle polls per second;
//   - allocations made on the association thread during a whole run (the design: one).
// Prints its figures; asserts nothing. Run by bench/associations/run.sh.
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "../joystick/AllocationCounter.h"
#include "StrictHid.h"
#include "associations/AssociationEvaluation.h"
#include "core/Heap.h"
#include "joystick/InputCatalogue.h"

namespace {

std::atomic<long> gSleeps{0};

uint32_t DropKeys(uint32_t count, KeyboardInputRecord*, int32_t) {
    return count;
}
const KeyboardFunctions kNoKeyboard = {DropKeys};

void SleepMs(uint32_t ms) {
    gSleeps.fetch_add(1, std::memory_order_relaxed);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}
double ThreadCpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 400;
    SetHeapFunctions(&kCountedHeap);
    SetHidLoader(StrictHidLoader());
    ReaderStartup(&FakeReaderThread::kFunctions);
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 6;
    AddButtons(layout, 1, 8, 1);
    AddByteValue(layout, 0x30, 2, 2, 0, 1023);
    void* handle = reinterpret_cast<void*>(0x1001);
    JoystickDevice* pad = MakeStrictDevice(layout, handle);
    if (pad == nullptr)
        return 1;

    {
        AssociationModel model;
        model.SetSelectedJoystick(pad);
        for (int i = 0; i < pad->ButtonCount; ++i)
            model.AddInputRef(&pad->Buttons[i], nullptr);
        model.AddInputRef(&pad->Axes[0], nullptr);
        for (uint32_t b = 1; b <= 8; ++b)
            model.AddAssociation(9, b, false, 7 + static_cast<int32_t>(b));  // keys A..H
        model.AddAssociation(1, 0x30, true, 6);                              // X -> slider, wire 7, raw
        model.EnableUsedInputs(true);
        StartReading(*pad);

        std::vector<double> sleeps;
        for (int i = 0; i < 30; ++i) {
            const auto t0 = Clock::now();
            std::this_thread::sleep_for(std::chrono::milliseconds(kAssociationPollMs));
            sleeps.push_back(Ms(Clock::now() - t0));
        }
        const double sleepMs = Percentile(sleeps, 0.5);

        BoardState board;
        board.running.store(1);
        const AssociationRun run{&model, &board, pad};
        std::thread thread([&] {
            tCounting = true;
            RunAssociations(run, kNoKeyboard, SleepMs);
            tCounting = false;
        });
        clockid_t cpuClock;
        pthread_getcpuclockid(thread.native_handle(), &cpuClock);

        // Reports at a random phase of the poll cycle.
        std::mt19937 random(7);
        std::vector<double> latencies;
        int32_t last = -1;
        for (int i = 0; i < samples; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 13000));
            const int32_t value = (last + 1 + static_cast<int32_t>(random() % 1000)) % 1024;
            last = value;
            ReportBuilder report(layout);
            if (i % 2)
                report.Press(static_cast<uint16_t>(1 + i % 8));
            const std::vector<uint8_t> raw =
                RawInputBytes(handle, report.Set(0x30, static_cast<uint32_t>(value)).Bytes());
            const auto t0 = Clock::now();
            FakeReaderThread::Post(raw);
            while (board.Value(kChannelSlider) != value)
                std::this_thread::yield();
            latencies.push_back(Ms(Clock::now() - t0));
        }

        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long sleepsBefore = gSleeps.load();
        const double cpuBefore = ThreadCpuMs(cpuClock);
        const auto idleStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double idleWall = Ms(Clock::now() - idleStart);
        const double idleCpu = ThreadCpuMs(cpuClock) - cpuBefore;
        const long idlePolls = gSleeps.load() - sleepsBefore;

        board.generation.fetch_add(1);
        board.running.store(0);
        thread.join();

        const double p50 = Percentile(latencies, 0.5), p99 = Percentile(latencies, 0.99);
        std::printf(
            "report to BoardState, %d reports: p50 %.2f ms, p99 %.2f ms (baseline 10 ms sleep measured "
            "%.2f ms: p50 %.2fx, p99 %.2fx)\n",
            samples, p50, p99, sleepMs, p50 / sleepMs, p99 / sleepMs);
        std::printf(
            "idle run, joystick selected: CPU %.3f ms over %.0f ms wall = %.3f%% of one core; %.1f polls/s\n",
            idleCpu, idleWall, 100.0 * idleCpu / idleWall, idlePolls * 1000.0 / idleWall);
        std::printf("allocations on the association thread during the run (with %d reports): %ld\n", samples,
                    gAllocations.load());
        StopReading(*pad);
    }
    SafeRelease(pad);
    ReaderShutdown();
    SetHidLoader(nullptr);
    SetHeapFunctions(nullptr);
    return AllInstanceCountersZero() ? 0 : 2;
}
