// libFuzzer target for the joystick input path. Each input makes up a device (its report
// id and length, button and value capabilities with any limits and bit sizes, which
// inputs are enabled), builds and prepares it through the catalogue exactly as
// enumeration and the main window do, then feeds a stream of raw-input messages through
// FindFirstReport and DeliverReport as the reader thread would: reports of any size,
// size fields that claim more than was copied, report counts of 0, wrong report ids and
// lengths, and reports for a second device that is not being read or for no device.
//
// Besides crashes and sanitizer findings it traps when a message changes what it must not:
// the unread device, disabled inputs, or anything at all when the message carries no
// report of the read device's exact length. Built by scripts/fuzz-joystick.sh.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "StrictHid.h"
#include "core/RefObject.h"
#include "joystick/HidFunctions.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

void* const kReadHandle = reinterpret_cast<void*>(0x1000);
void* const kIdleHandle = reinterpret_cast<void*>(0x2000);

// Usages worth hitting: the named axes and vectors, the hat, the d-pad usages, and a few
// that have no name.
uint16_t PickUsage(FuzzedDataProvider& in) {
    static const uint16_t kUsages[] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x39,
                                       0x39, 0x40, 0x45, 0x90, 0x91, 0x92, 0x93, 0xBB, 0x00, 0x20, 0xFFFF};
    if (in.ConsumeBool())
        return in.ConsumeIntegral<uint16_t>();
    return kUsages[in.ConsumeIntegralInRange<size_t>(0, sizeof kUsages / sizeof kUsages[0] - 1)];
}

StrictLayout MakeLayout(FuzzedDataProvider& in) {
    StrictLayout layout = EmptyStrictLayout();
    layout.ReportId = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint8_t>();
    layout.InputLength = in.ConsumeIntegralInRange<uint16_t>(1, 96);
    const int buttonCaps = in.ConsumeIntegralInRange<int>(0, kStrictMaxButtonCaps);
    for (int i = 0; i < buttonCaps; ++i) {
        const uint16_t page = in.ConsumeBool() ? 9 : in.ConsumeIntegral<uint16_t>();
        const uint16_t first = in.ConsumeIntegral<uint16_t>();
        // Ranges wider than the reader's first usage list (128) are allowed, inverted ones too,
        // but kept small: every button gets a name of its own, which is slow under the sanitizers.
        const int span = in.ConsumeIntegralInRange<int>(-4, 140);
        AddButtonCaps(layout, page, first, static_cast<uint16_t>(first + span));
    }
    const uint16_t bitmapPage = layout.ButtonCapCount > 0 && in.ConsumeBool()
                                    ? layout.ButtonCaps[0].UsagePage
                                    : in.ConsumeIntegral<uint16_t>();
    const uint16_t bitmapOffset = in.ConsumeIntegralInRange<uint16_t>(0, 800);
    const uint16_t bitmapCount = in.ConsumeIntegralInRange<uint16_t>(0, 160);
    AddBitmap(layout, bitmapPage, bitmapOffset, bitmapCount,
              layout.ButtonCapCount > 0 && in.ConsumeBool() ? layout.ButtonCaps[0].Range.UsageMin
                                                            : in.ConsumeIntegral<uint16_t>());
    const int values = in.ConsumeIntegralInRange<int>(0, kStrictMaxValues);
    for (int i = 0; i < values; ++i) {
        const uint16_t page = in.ConsumeBool() ? 1 : in.ConsumeIntegral<uint16_t>();
        const uint16_t usage = PickUsage(in);
        const uint16_t bitOffset = in.ConsumeIntegralInRange<uint16_t>(0, 800);
        const uint16_t bitSize = in.ConsumeIntegralInRange<uint16_t>(0, 40);
        int32_t lo = in.ConsumeIntegral<int32_t>();
        int32_t hi = in.ConsumeIntegral<int32_t>();
        if (in.ConsumeBool()) {  // the common shapes: 0 to 2^n - 1, or 1 to 8 for a hat
            lo = usage == 0x39 && in.ConsumeBool() ? 1 : 0;
            hi = usage == 0x39 && lo == 1 ? 8 : static_cast<int32_t>((1ull << (bitSize % 32)) - 1);
        }
        StrictValueField* field = AddValueField(layout, page, usage, bitOffset, bitSize, lo, hi);
        field->Caps.IsAbsolute = in.ConsumeIntegralInRange<uint8_t>(0, 3) != 0;
        field->Caps.IsRange = in.ConsumeIntegralInRange<uint8_t>(0, 7) == 0;
        if (field->Caps.IsRange) {
            field->Caps.Range.UsageMin = usage;
            field->Caps.Range.UsageMax = static_cast<uint16_t>(usage + in.ConsumeIntegralInRange<int>(0, 3));
        }
    }
    layout.FailMask = in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0 ? in.ConsumeIntegral<uint8_t>() : 0;
    return layout;
}

// Every input's Pending, direction sub-inputs included, and the device's Sequence.
struct Snapshot {
    std::vector<uint32_t> pending;
    uint32_t sequence = 0;
    bool operator==(const Snapshot& other) const {
        return pending == other.pending && sequence == other.sequence;
    }
};

Snapshot Take(JoystickDevice& device) {
    Snapshot s;
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        s.pending.push_back(input.LoadPending());
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d)
                s.pending.push_back(input.Directions[d].LoadPending());
        }
    }
    s.sequence = device.Sequence.load();
    return s;
}

// Buttons are all named the same way; the first few stand for the rest.
void CheckNames(JoystickDevice& device) {
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        if (i >= 4 && i < device.ButtonCount)
            continue;
        const JoystickInput& input = device.Inputs()[i];
        FUZZ_CHECK(DisplayName(input) != nullptr);
        FUZZ_CHECK(TextLength(DisplayName(input)) < 64);
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d)
                FUZZ_CHECK(DisplayName(input.Directions[d]) != nullptr);
        }
    }
}

// Inputs the reader must leave alone: disabled ones, and directions of a disabled hat.
// Buttons are decoded as a whole whenever the usage list arrives, enabled or not.
void CheckDisabledUntouched(JoystickDevice& device, const Snapshot& before, const Snapshot& after) {
    size_t at = 0;
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        const bool isButton = i < device.ButtonCount;
        if (!isButton && !input.IsEnabled())
            FUZZ_CHECK(before.pending[at] == after.pending[at]);
        ++at;
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d, ++at) {
                if (!input.IsEnabled())
                    FUZZ_CHECK(before.pending[at] == after.pending[at]);
            }
        }
    }
}

// One raw-input message as GetRawInputData would copy it. Most messages are well formed
// apart from one deliberate fault, so that the fuzzer spends its time on report contents
// and on the faults rather than on finding a plausible header by chance.
std::vector<uint8_t> MakeMessage(FuzzedDataProvider& in, const StrictLayout& layout) {
    const int shape = in.ConsumeIntegralInRange<int>(0, 9);
    if (shape == 0)  // whatever bytes the fuzzer chose
        return in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 160));
    // Shape 1: a report of the read device, exactly as long as it should be; the others
    // carry one fault each.
    uint32_t reportBytes = layout.InputLength, sizeField = layout.InputLength, countField = 1;
    uint32_t type = 2;  // RIM_TYPEHID
    void* handle = kReadHandle;
    if (shape == 2)  // the size field claims more than was copied
        sizeField += in.ConsumeIntegralInRange<uint32_t>(1, 0xFFFF);
    if (shape == 3)
        sizeField = 0;
    if (shape == 4)
        countField = 0;
    if (shape == 5)  // fewer report bytes arrived than the device's report length
        reportBytes = in.ConsumeIntegralInRange<uint32_t>(0, layout.InputLength - 1);
    if (shape == 6) {  // more bytes than one report, the size field telling the truth
        reportBytes += in.ConsumeIntegralInRange<uint32_t>(1, 64);
        countField = in.ConsumeIntegralInRange<uint32_t>(1, 3);
    }
    if (shape == 7)  // a well-formed report of the device that is not being read
        handle = kIdleHandle;
    if (shape == 8)  // a handle of no device at all
        handle = reinterpret_cast<void*>(in.ConsumeIntegral<uintptr_t>() | 1);
    if (shape == 9)  // a header of another input type
        type = in.ConsumeIntegralInRange<uint32_t>(0, 1);
    std::vector<uint8_t> body = in.ConsumeBytes<uint8_t>(reportBytes);
    body.resize(reportBytes);
    std::vector<uint8_t> raw = RawInputBytes(handle, body, sizeField, countField);
    std::memcpy(raw.data(), &type, 4);
    // The right report id most of the time, so that the contents get decoded.
    if (reportBytes > 0 && in.ConsumeIntegralInRange<uint8_t>(0, 7) != 0)
        raw[kRawHidDataOffset] = layout.ReportId;
    return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    InstallStrictHidLoader();
    FUZZ_CHECK(ReaderStartup(&FakeReaderThread::kFunctions) == kOk);

    const StrictLayout layout = MakeLayout(in);
    JoystickDevice* read = MakeStrictDevice(layout, kReadHandle);
    JoystickDevice* idle = MakeStrictDevice(layout, kIdleHandle);
    if (read != nullptr && idle != nullptr) {
        CheckNames(*read);
        for (int32_t i = 0; i < read->InputCount(); ++i) {
            read->Inputs()[i].Enabled.store(in.ConsumeIntegralInRange<int>(0, 3) != 0 ? ~0u : 0u);
        }
        FUZZ_CHECK(StartReading(*read) == kOk);
        FUZZ_CHECK(StartReading(*read) == kOk);
        FUZZ_CHECK(ReaderDeviceCount() == 1);

        ReaderScratch scratch;
        FUZZ_CHECK(scratch.Allocate() == kOk);
        int messages = 0;
        while (in.remaining_bytes() > 0 && messages++ < 64) {
            // An exactly sized copy: reading one byte past it is a finding.
            const std::vector<uint8_t> message = MakeMessage(in, layout);
            uint8_t* copy = static_cast<uint8_t*>(std::malloc(message.empty() ? 1 : message.size()));
            if (!message.empty())
                std::memcpy(copy, message.data(), message.size());

            const Snapshot readBefore = Take(*read);
            const Snapshot idleBefore = Take(*idle);
            RawReport report;
            const bool found = FindFirstReport(copy, static_cast<uint32_t>(message.size()), &report);
            if (found) {
                FUZZ_CHECK(report.Report >= copy + kRawHidDataOffset);
                FUZZ_CHECK(report.Report + report.Length <= copy + message.size());
                FUZZ_CHECK(report.Length > 0);
                DeliverReport(report.Device, report.Report, report.Length, scratch);
            }
            const Snapshot readAfter = Take(*read);
            FUZZ_CHECK(Take(*idle) == idleBefore);
            if (!found || report.Device != kReadHandle || report.Length != layout.InputLength ||
                report.Report[0] != layout.ReportId) {
                FUZZ_CHECK(readAfter == readBefore);
            }
            CheckDisabledUntouched(*read, readBefore, readAfter);
            std::free(copy);

            if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
                // Poll takes the pending values and reports exactly what changed.
                std::vector<uint32_t> before;
                for (int32_t i = 0; i < read->InputCount(); ++i)
                    before.push_back(read->Inputs()[i].Value);
                const uint32_t changed = Poll(*read);
                uint32_t expected = 0;
                for (int32_t i = 0; i < read->InputCount(); ++i) {
                    const JoystickInput& input = read->Inputs()[i];
                    FUZZ_CHECK(changed == 0 || input.Changed == (before[i] ^ input.Value));
                    expected |= input.Changed;
                }
                if (changed != 0)
                    FUZZ_CHECK((changed & expected) == expected);
            }
        }
        StopReading(*read);
        FUZZ_CHECK(ReaderDeviceCount() == 0);
    }
    SafeRelease(read);
    SafeRelease(idle);
    ReaderShutdown();
    FUZZ_CHECK(!HidLibraryLoaded());
    FUZZ_CHECK(AllInstanceCountersZero());
    return 0;
}
