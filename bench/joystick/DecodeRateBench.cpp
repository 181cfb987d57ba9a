// Native benchmark of the joystick decoding path: reports decoded per second by the reader's
// per-report work (DeliverReport: device lookup, decoding, scaling, sequence) against a
// baseline of the parsing calls alone, measured in the same run; the allocations made while
// decoding after start (must be 0); and the cost of Poll when nothing arrived against a
// bare atomic load. The HID library is the strict substitute of the tests and the fuzz
// target, standing in for hid.dll. Prints its figures; asserts nothing. Run by
// bench/joystick/run.sh.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "StrictHid.h"
#include "AllocationCounter.h"
#include "core/Heap.h"
#include "core/RefObject.h"
#include "joystick/HidFunctions.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A game pad much like the common ones: report id 1, 9 bytes; buttons 1-12, an eight-way
// hat (1-8, 0 centred), six 8-bit axes.
StrictLayout BenchPadLayout() {
    StrictLayout layout = EmptyStrictLayout();
    layout.ReportId = 1;
    layout.InputLength = 9;
    AddButtonCaps(layout, 9, 1, 12);
    AddBitmap(layout, 9, 0, 12, 1);
    const uint16_t axes[] = {0x30, 0x31, 0x32, 0x35, 0x33, 0x34};
    for (int i = 0; i < 6; ++i)
        AddValueField(layout, 1, axes[i], static_cast<uint16_t>(16 + 8 * i), 8, 0, 255);
    AddValueField(layout, 1, 0x39, 12, 4, 1, 8);
    return layout;
}

}  // namespace

int main(int argc, char** argv) {
    const long reports = argc > 1 ? std::atol(argv[1]) : 2000000;
    SetHeapFunctions(&kCountedHeap);
    InstallStrictHidLoader();
    if (ReaderStartup(&FakeReaderThread::kFunctions) != kOk)
        return 1;

    const StrictLayout layout = BenchPadLayout();
    void* const handle = reinterpret_cast<void*>(0x1234);
    JoystickDevice* device = MakeStrictDevice(layout, handle);
    if (device == nullptr || StartReading(*device) != kOk) {
        std::printf("could not build the device\n");
        return 1;
    }

    // 256 different reports, so that values and buttons keep changing.
    std::vector<std::vector<uint8_t>> samples(256, std::vector<uint8_t>(layout.InputLength, 0));
    for (int i = 0; i < 256; ++i) {
        samples[i][0] = layout.ReportId;
        WriteReportBits(samples[i].data(), layout.InputLength, 0, 12, static_cast<uint32_t>(i * 37));
        WriteReportBits(samples[i].data(), layout.InputLength, 12, 4, static_cast<uint32_t>(i % 9));
        for (int a = 0; a < 6; ++a) {
            WriteReportBits(samples[i].data(), layout.InputLength, 16 + 8 * a, 8,
                            static_cast<uint32_t>(i * (a + 3)));
        }
    }

    ReaderScratch scratch;
    scratch.Allocate();
    // Warm up, then count allocations from here on: decoding must allocate nothing.
    for (int i = 0; i < 1000; ++i)
        DeliverReport(handle, samples[i & 255].data(), layout.InputLength, scratch);
    gAllocations.store(0);
    gCounting.store(true);

    const auto start = Clock::now();
    for (long i = 0; i < reports; ++i) {
        DeliverReport(handle, samples[i & 255].data(), layout.InputLength, scratch);
    }
    const double decodeSeconds = Seconds(Clock::now() - start);
    gCounting.store(false);
    const long allocations = gAllocations.load();

    // Baseline: the same parsing calls the decoder makes, made directly, with no lookup,
    // scaling or storing.
    const HidFunctions& hid = Hid();
    uint16_t usages[128];
    uint32_t sink = 0;
    const auto baseStart = Clock::now();
    for (long i = 0; i < reports; ++i) {
        char* bytes = reinterpret_cast<char*>(samples[i & 255].data());
        uint32_t count = 128;
        hid.GetUsages(kHidReportInput, 9, 0, usages, &count, device->PreparsedData, bytes,
                      layout.InputLength);
        sink += count;
        for (int a = 0; a < device->AxisCount + device->HatCount; ++a) {
            const JoystickInput& input = device->Inputs()[device->ButtonCount + a];
            uint32_t value = 0;
            hid.GetUsageValue(kHidReportInput, static_cast<uint16_t>(input.UsagePage), 0,
                              static_cast<uint16_t>(input.Usage), &value, device->PreparsedData, bytes,
                              layout.InputLength);
            sink += value;
        }
    }
    const double baseSeconds = Seconds(Clock::now() - baseStart);

    // Poll with nothing new against a bare atomic load.
    Poll(*device);
    const long polls = reports * 10;
    const auto pollStart = Clock::now();
    uint32_t changed = 0;
    for (long i = 0; i < polls; ++i)
        changed |= Poll(*device);
    const double pollSeconds = Seconds(Clock::now() - pollStart);
    const auto loadStart = Clock::now();
    for (long i = 0; i < polls; ++i)
        sink += device->Sequence.load(std::memory_order_acquire);
    const double loadSeconds = Seconds(Clock::now() - loadStart);

    std::printf("joystick decoding (native, substitute HID parser, %ld reports of a 12-button pad)\n",
                reports);
    std::printf("  reports decoded per second:        %.0f\n", reports / decodeSeconds);
    std::printf("  parsing calls alone per second:    %.0f\n", reports / baseSeconds);
    std::printf("  decode time / parsing-call time:   %.2f\n", decodeSeconds / baseSeconds);
    std::printf("  allocations while decoding:        %ld\n", allocations);
    std::printf("  idle Poll time / atomic-load time: %.2f (%.2f ns per Poll)\n", pollSeconds / loadSeconds,
                pollSeconds * 1e9 / polls);
    std::printf("  (checksum %u %u)\n", sink, changed);

    StopReading(*device);
    device->Release();
    ReaderShutdown();
    SetHeapFunctions(nullptr);
    return AllInstanceCountersZero() ? 0 : 2;
}
