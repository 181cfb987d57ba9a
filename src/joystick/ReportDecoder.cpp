// Report decoding for the reader thread. Free of platform calls and of allocation: the
// only memory it touches is the report, the device's inputs and the caller's usage list.
#include "joystick/ReportDecoder.h"

#include <algorithm>
#include <cstring>

#include "joystick/HidFunctions.h"

namespace {

constexpr uint32_t kRawTypeHid = 2;

// Eight-way hat: raw 0 is the rest position, 1 to 8 run clockwise from up.
constexpr uint32_t kHatMasks[9] = {0, 1, 3, 2, 6, 4, 12, 8, 9};

uint32_t ReadWord(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

void* ReadHandle(const uint8_t* bytes) {
    uint64_t value;
    std::memcpy(&value, bytes, sizeof(value));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(value));
}

uint32_t DecodeButtons(JoystickDevice& device, char* report, uint32_t length, uint16_t* usageList,
                       uint32_t usageCapacity) {
    const HidFunctions& hid = Hid();
    JoystickInput* buttons = device.Buttons;
    const uint32_t buttonCount = static_cast<uint32_t>(device.ButtonCount);
    // The list length handed to the parser is the list's whole capacity, not ButtonCount:
    // the parser returns the usages of every button capability on the page, and when more
    // buttons are held than ButtonCount it would refuse a shorter list outright, leaving
    // every button at a stale state for as long as they are held. Usages beyond the first
    // range are skipped below.
    uint32_t usageCount = usageCapacity;
    if (hid.GetUsages(kHidReportInput, static_cast<uint16_t>(buttons[0].UsagePage), 0, usageList, &usageCount,
                      device.PreparsedData, report, length) != kHidStatusSuccess) {
        return 0;
    }
    usageCount = std::min(usageCount, usageCapacity);
    // Each button's Pending is stored once with its new state. Clearing all buttons first
    // and then setting the pressed ones would let the polling thread, which may take
    // pending values at any moment, see a held button released for an instant.
    std::sort(usageList, usageList + usageCount);
    const uint32_t firstUsage = buttons[0].Usage;
    uint32_t next = 0;
    bool anyEnabled = false;
    for (uint32_t i = 0; i < buttonCount; ++i) {
        const uint32_t usage = firstUsage + i;
        while (next < usageCount && usageList[next] < usage)
            ++next;
        const bool pressed = next < usageCount && usageList[next] == usage;
        buttons[i].StorePending(pressed ? 1 : 0);
        anyEnabled = anyEnabled || buttons[i].IsEnabled();
    }
    return anyEnabled ? 1 : 0;
}

bool ReadValue(const JoystickDevice& device, const JoystickInput& input, char* report, uint32_t length,
               uint32_t* value) {
    *value = 0;
    return Hid().GetUsageValue(kHidReportInput, static_cast<uint16_t>(input.UsagePage), 0,
                               static_cast<uint16_t>(input.Usage), value, device.PreparsedData, report,
                               length) == kHidStatusSuccess;
}

}  // namespace

bool FindFirstReport(const uint8_t* raw, uint32_t copied, RawReport* out) {
    *out = RawReport{};
    if (raw == nullptr || copied <= kRawHidDataOffset)
        return false;
    if (ReadWord(raw) != kRawTypeHid)
        return false;
    const uint32_t size = ReadWord(raw + kRawHidSizeOffset);
    const uint32_t count = ReadWord(raw + kRawHidCountOffset);
    if (size == 0 || count == 0)
        return false;
    out->Device = ReadHandle(raw + kRawDeviceOffset);
    out->Report = raw + kRawHidDataOffset;
    out->Length = std::min(size, copied - kRawHidDataOffset);
    return true;
}

uint32_t HatDirectionMask(uint32_t raw) {
    return raw < 9 ? kHatMasks[raw] : 0;
}

int32_t TruncateToInt32(float value) {
    if (!(value > -2147483648.0f))
        return INT32_MIN;  // also NaN
    if (value >= 2147483648.0f)
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

uint32_t ScaleAxisValue(const JoystickInput& input, uint32_t raw) {
    if (input.Scale == 0.0f)
        return raw;
    // The difference is taken as a signed 32-bit number: a raw value below the logical
    // minimum maps below 0 rather than to a huge value.
    const int32_t difference = static_cast<int32_t>(raw - static_cast<uint32_t>(input.LogicalMin));
    return static_cast<uint32_t>(TruncateToInt32(static_cast<float>(difference) * input.Scale + 0.015625f));
}

uint32_t DecodeReport(JoystickDevice& device, const uint8_t* report, uint32_t length, uint16_t* usageList,
                      uint32_t usageCapacity) {
    const HidFunctions& hid = Hid();
    if (report == nullptr || hid.GetUsages == nullptr || hid.GetUsageValue == nullptr)
        return 0;
    // The parsing functions take the report as a non-const pointer but only read it.
    char* bytes = reinterpret_cast<char*>(const_cast<uint8_t*>(report));
    uint32_t touched = 0;

    if (device.ButtonCount > 0 && usageList != nullptr && usageCapacity > 0) {
        touched |= DecodeButtons(device, bytes, length, usageList, usageCapacity);
    }

    for (int32_t i = 0; i < device.AxisCount; ++i) {
        JoystickInput& axis = device.Axes[i];
        uint32_t raw;
        if (!axis.IsEnabled() || !ReadValue(device, axis, bytes, length, &raw))
            continue;
        touched = 1;
        axis.StorePending(ScaleAxisValue(axis, raw));
    }

    if (device.HatCount > 0) {
        JoystickInput& hat = device.Hats[0];
        uint32_t raw;
        if (hat.IsEnabled() && ReadValue(device, hat, bytes, length, &raw)) {
            touched = 1;
            if (hat.Kind == kKindHat8) {
                const uint32_t mask = HatDirectionMask(raw);
                hat.StorePending(mask);
                if (hat.Directions != nullptr) {
                    for (int bit = 0; bit < kDirectionCount; ++bit) {
                        hat.Directions[bit].StorePending((mask >> bit) & 1);
                    }
                }
            } else {
                hat.StorePending(ScaleAxisValue(hat, raw));
            }
        }
    }
    return touched;
}
