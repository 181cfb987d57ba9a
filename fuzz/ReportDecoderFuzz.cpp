// libFuzzer target for the joystick input path. Each input makes up a device (its report
// id and length, button and value capabilities with any limits and bit sizes, which
// inputs are enabled), builds, prepares and names it through the catalogue as enumeration
// and the main window do, then feeds raw-input messages, each copied into a block of
// exactly its size, through FindFirstReport and DeliverReport as the reader thread would,
// polling now and then: reports of any size, size fields that claim more than was copied,
// wrong report ids and lengths, and reports of a device that is not being read.
//
// Besides crashes, sanitizer findings and leaks, it traps when a message changes the device
// although it carries no report of the device's exact length and id. Built by
// scripts/fuzz-joystick.sh.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "FuzzCheck.h"
#include "StrictHid.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/ReportDecoder.h"

namespace {

void* const kReadHandle = reinterpret_cast<void*>(0x1000);
void* const kOtherHandle = reinterpret_cast<void*>(0x2000);  // no device read

StrictLayout MakeLayout(FuzzedDataProvider& in) {
    // The named axes and vectors, the hat (often), the d-pad usages, and a few without a name.
    static const uint16_t kUsages[] = {0x30, 0x31, 0x32, 0x35, 0x36, 0x38, 0x39, 0x39,
                                       0x39, 0x40, 0x45, 0x90, 0x93, 0xBB, 0x00, 0xFFFF};
    StrictLayout layout = EmptyStrictLayout();
    layout.ReportId = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint8_t>();
    layout.InputLength = in.ConsumeIntegralInRange<uint16_t>(1, 96);
    // Ranges wider than the reader's first usage list (128) and inverted ones, but small
    // enough: every button gets a name of its own, which is slow under the sanitizers.
    for (int i = in.ConsumeIntegralInRange<int>(0, kStrictMaxButtonCaps); i > 0; --i) {
        const uint16_t first = in.ConsumeIntegral<uint16_t>();
        AddButtonCaps(layout, in.ConsumeBool() ? 9 : in.ConsumeIntegral<uint16_t>(), first,
                      static_cast<uint16_t>(first + in.ConsumeIntegralInRange<int>(-4, 140)));
    }
    const bool likeCaps = layout.ButtonCapCount > 0 && in.ConsumeBool();
    AddBitmap(layout, likeCaps ? layout.ButtonCaps[0].UsagePage : in.ConsumeIntegral<uint16_t>(),
              in.ConsumeIntegralInRange<uint16_t>(0, 800), in.ConsumeIntegralInRange<uint16_t>(0, 160),
              likeCaps ? layout.ButtonCaps[0].Range.UsageMin : in.ConsumeIntegral<uint16_t>());
    for (int i = in.ConsumeIntegralInRange<int>(0, kStrictMaxValues); i > 0; --i) {
        const uint16_t page = in.ConsumeBool() ? 1 : in.ConsumeIntegral<uint16_t>();
        const uint16_t usage = in.PickValueInArray(kUsages);
        const uint16_t bits = in.ConsumeIntegralInRange<uint16_t>(0, 40);
        const bool common = in.ConsumeBool();  // 0 to 2^n - 1, or 1 to 8
        const int32_t lo = common ? usage == 0x39 : in.ConsumeIntegral<int32_t>();
        const int32_t hi = common ? (lo == 1 ? 8 : static_cast<int32_t>((1ull << (bits % 32)) - 1))
                                  : in.ConsumeIntegral<int32_t>();
        StrictValueField* field =
            AddValueField(layout, page, usage, in.ConsumeIntegralInRange<uint16_t>(0, 800), bits, lo, hi);
        field->Caps.IsAbsolute = in.ConsumeIntegralInRange<uint8_t>(0, 3) != 0;
    }
    layout.FailMask = in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0 ? in.ConsumeIntegral<uint8_t>() : 0;
    return layout;
}

// One raw-input message as GetRawInputData would copy it: a report of the read device,
// mostly with one fault, so that the fuzzer spends its time on contents and faults rather
// than on finding a plausible header by chance.
std::vector<uint8_t> MakeMessage(FuzzedDataProvider& in, const StrictLayout& layout) {
    const int shape = in.ConsumeIntegralInRange<int>(0, 5);
    if (shape == 0)
        return in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 160));
    uint32_t bytes = layout.InputLength, claimed = layout.InputLength, count = 1;
    if (shape == 2)  // a size field claiming more than was copied
        claimed += in.ConsumeIntegralInRange<uint32_t>(1, 0xFFFF);
    if (shape == 3)  // fewer bytes than a report
        bytes = in.ConsumeIntegralInRange<uint32_t>(0, layout.InputLength - 1);
    if (shape == 4) {  // more bytes than one report, the size field telling the truth
        bytes += in.ConsumeIntegralInRange<uint32_t>(1, 64);
        count = in.ConsumeIntegralInRange<uint32_t>(1, 3);
    }
    std::vector<uint8_t> body = in.ConsumeBytes<uint8_t>(bytes);
    body.resize(bytes);
    if (bytes > 0 && in.ConsumeIntegralInRange<uint8_t>(0, 7) != 0)
        body[0] = layout.ReportId;  // mostly the right id, so that the contents get decoded
    return RawInputBytes(shape == 5 ? kOtherHandle : kReadHandle, body, claimed, count);
}

// The device's Sequence and every Pending, direction sub-inputs included.
std::vector<uint32_t> State(JoystickDevice& device) {
    std::vector<uint32_t> state{device.Sequence.load()};
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        const JoystickInput& input = device.Inputs()[i];
        state.push_back(input.LoadPending());
        for (int d = 0; input.Directions != nullptr && d < kDirectionCount; ++d)
            state.push_back(input.Directions[d].LoadPending());
    }
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    InstallStrictHidLoader();
    FUZZ_CHECK(ReaderStartup(&FakeReaderThread::kFunctions) == kOk);
    const StrictLayout layout = MakeLayout(in);
    JoystickDevice* read = MakeStrictDevice(layout, kReadHandle);
    if (read != nullptr) {
        for (int32_t i = 0; i < read->InputCount(); ++i) {
            FUZZ_CHECK(TextLength(DisplayName(read->Inputs()[i])) < 64);
            read->Inputs()[i].Enabled.store(in.ConsumeIntegralInRange<int>(0, 3) != 0 ? ~0u : 0u);
        }
        FUZZ_CHECK(StartReading(*read) == kOk);
        ReaderScratch scratch;
        FUZZ_CHECK(scratch.Allocate() == kOk);
        for (int messages = 0; in.remaining_bytes() > 0 && messages < 64; ++messages) {
            const std::vector<uint8_t> message = MakeMessage(in, layout);
            auto* copy = static_cast<uint8_t*>(std::malloc(message.size() + message.empty()));
            std::copy(message.begin(), message.end(), copy);
            const std::vector<uint32_t> before = State(*read);
            RawReport report;
            const bool found = FindFirstReport(copy, static_cast<uint32_t>(message.size()), &report);
            if (found)
                DeliverReport(report.Device, report.Report, report.Length, scratch);
            FUZZ_CHECK((found && report.Device == kReadHandle && report.Length == layout.InputLength &&
                        report.Report[0] == layout.ReportId) ||
                       before == State(*read));
            std::free(copy);
            if (in.ConsumeBool())
                Poll(*read);
        }
        StopReading(*read);
    }
    SafeRelease(read);
    ReaderShutdown();
    FUZZ_CHECK(!HidLibraryLoaded() && AllInstanceCountersZero());
    return 0;
}
