// Windows benchmark of the joystick reader under Wine, with the real hid.dll and a real
// report descriptor (the signed pad): the time from posting a report to the reader's window
// as WM_INPUT until its Pending value is visible to a polling thread (p50, p99), against a
// bare message-only window thread that only publishes the message's parameter, measured in
// the same run; the allocations the reader makes while it decodes; and reports decoded per
// second through hid.dll against the same hid.dll calls made directly. Prints its figures;
// asserts nothing. Run by bench/joystick/run.sh.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "JoystickSupport_win.h"
#include "AllocationCounter.h"
#include "core/Handle_win.h"
#include "core/Heap.h"
#include "core/ObjectList.h"
#include "core/RefObject.h"
#include "joystick/HidFunctions.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

struct Figures {
    double p50;
    double p99;
};

Figures Percentiles(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

// The baseline: a thread with a message-only window that only stores the parameter of each
// WM_APP it receives, where the posting thread can see it.
std::atomic<LPARAM> gBaselineSeen{0};
std::atomic<HWND> gBaselineWindow{nullptr};

DWORD WINAPI BaselineThread(void*) {
    HWND window =
        CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    gBaselineWindow.store(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP)
            gBaselineSeen.store(message.lParam, std::memory_order_release);
    }
    DestroyWindow(window);
    return 0;
}

std::vector<double> MeasureBaseline(int posts) {
    gBaselineSeen.store(0);
    const ScopedHandle thread(CreateThread(nullptr, 0, BaselineThread, nullptr, 0, nullptr));
    while (gBaselineWindow.load() == nullptr)
        Sleep(1);
    std::vector<double> samples;
    samples.reserve(posts);
    for (int i = 1; i <= posts; ++i) {
        const double start = Now();
        PostMessageW(gBaselineWindow.load(), WM_APP, 0, i);
        while (gBaselineSeen.load(std::memory_order_acquire) != i) {
        }
        samples.push_back(Now() - start);
    }
    PostThreadMessageW(GetThreadId(thread.Get()), WM_QUIT, 0, 0);
    WaitForSingleObject(thread.Get(), INFINITE);
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    const int posts = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int decodes = argc > 2 ? std::atoi(argv[2]) : 200000;
    SetHeapFunctions(&kCountedHeap);
    FakeRawInput& fake = FakeRawInput::Instance();
    fake.Install();
    if (JoystickStartup() != kOk)
        return 1;
    const RealDescriptor& signedPad = Descriptor("signed_pad");
    HANDLE handle = fake.AddHid(signedPad.vendorId, signedPad.productId, 1, 5, signedPad.Preparsed());
    ObjectList* list = nullptr;
    if (EnumerateJoysticks(&list) != kOk || list->Count() != 1) {
        std::printf("no device\n");
        return 1;
    }
    JoystickDevice& pad = *static_cast<JoystickDevice*>(list->At(0));
    PrepareInputs(pad);
    if (StartReading(pad) != kOk)
        return 1;
    JoystickInput* x = FindInput(pad, 1, 0x30);

    // Every message is stored before the clock and the allocation count start.
    std::vector<LPARAM> keys;
    std::vector<uint32_t> expected;
    for (int i = 0; i < posts; ++i) {
        const std::vector<uint8_t> report = signedPad.Report(
            {{"x", (i % 2) != 0 ? 0xFFFFu : 0u}, {"buttons", static_cast<uint32_t>(i & 0x3FF)}});
        keys.push_back(fake.Store(RawInputBytes(handle, report)));
        expected.push_back((i % 2) != 0 ? 1023u : 0u);
    }
    HWND window = ReaderWindow();
    std::vector<double> reader;
    reader.reserve(posts);  // the timing thread must not allocate while counting
    gAllocations.store(0);
    gCounting.store(true);
    for (int i = 0; i < posts; ++i) {
        const uint32_t sequence = pad.Sequence.load(std::memory_order_acquire);
        const double start = Now();
        PostMessageW(window, WM_INPUT, RIM_INPUT, keys[i]);
        // Visible to a poller: the sequence moved and the value is there.
        while (pad.Sequence.load(std::memory_order_acquire) == sequence || x->LoadPending() != expected[i]) {
        }
        reader.push_back(Now() - start);
    }
    gCounting.store(false);
    const long readerAllocations = gAllocations.load();
    const std::vector<double> baseline = MeasureBaseline(posts);
    StopReading(pad);

    // Decoding through hid.dll on this thread, against the same calls made directly.
    const std::vector<uint8_t> report = signedPad.Report({{"buttons", 0x155}, {"hat", 3}});
    uint16_t usages[128];
    const double decodeStart = Now();
    for (int i = 0; i < decodes; ++i)
        DecodeReport(pad, report.data(), static_cast<uint32_t>(report.size()), usages, 128);
    const double decodeSeconds = Now() - decodeStart;
    const HidFunctions& hid = Hid();
    char* bytes = reinterpret_cast<char*>(const_cast<uint8_t*>(report.data()));
    uint32_t sink = 0;
    const double directStart = Now();
    for (int i = 0; i < decodes; ++i) {
        uint32_t count = 128;
        hid.GetUsages(kHidReportInput, 9, 0, usages, &count, pad.PreparsedData, bytes,
                      static_cast<uint32_t>(report.size()));
        sink += count;
        for (int32_t a = 0; a < pad.AxisCount + pad.HatCount; ++a) {
            const JoystickInput& input = pad.Inputs()[pad.ButtonCount + a];
            uint32_t value = 0;
            hid.GetUsageValue(kHidReportInput, static_cast<uint16_t>(input.UsagePage), 0,
                              static_cast<uint16_t>(input.Usage), &value, pad.PreparsedData, bytes,
                              static_cast<uint32_t>(report.size()));
            sink += value;
        }
    }
    const double directSeconds = Now() - directStart;

    const Figures r = Percentiles(reader);
    const Figures b = Percentiles(baseline);
    std::printf("joystick reader under Wine (real hid.dll, signed pad descriptor, %d reports)\n", posts);
    std::printf("  post to Pending visible:  p50 %.1f us  p99 %.1f us\n", r.p50 * 1e6, r.p99 * 1e6);
    std::printf("  bare window thread:       p50 %.1f us  p99 %.1f us\n", b.p50 * 1e6, b.p99 * 1e6);
    std::printf("  ratio to the bare thread: p50 %.2f  p99 %.2f\n", r.p50 / b.p50, r.p99 / b.p99);
    std::printf("  allocations while reading %d reports: %ld\n", posts, readerAllocations);
    std::printf("  reports decoded per second through hid.dll: %.0f\n", decodes / decodeSeconds);
    std::printf("  the same hid.dll calls made directly:       %.0f per second\n", decodes / directSeconds);
    std::printf("  decode time / direct-call time: %.2f  (checksum %u)\n", decodeSeconds / directSeconds,
                sink);

    SafeRelease(list);
    JoystickShutdown();
    fake.Uninstall();
    SetHeapFunctions(nullptr);
    return AllInstanceCountersZero() ? 0 : 2;
}
