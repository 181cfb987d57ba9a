// Decoding of raw-input HID reports into a device's inputs, over the bound HID functions.
// Free of platform calls: the reader thread (JoystickReader) calls it on the bytes that
// GetRawInputData copied, and native tests and the fuzz target call it directly.
#pragma once

#include <cstdint>

#include "joystick/JoystickDevice.h"
#include "joystick/JoystickInput.h"

// Layout of the bytes GetRawInputData copies for a HID device (64-bit Windows): a 24-byte
// RAWINPUTHEADER with the device handle at offset 8, then RAWHID: the size of one report
// (offset 24), the number of reports (offset 28) and the report bytes from offset 32.
constexpr uint32_t kRawInputHeaderSize = 24;
constexpr uint32_t kRawDeviceOffset = 8;
constexpr uint32_t kRawHidSizeOffset = 24;
constexpr uint32_t kRawHidCountOffset = 28;
constexpr uint32_t kRawHidDataOffset = 32;

struct RawReport {
    void* Device = nullptr;           // the header's device handle
    const uint8_t* Report = nullptr;  // the first report
    uint32_t Length = 0;              // its length, never beyond the bytes copied
};

// Finds the first report in the copied bytes of a HID device (header type RIM_TYPEHID, 2;
// input of any other type is not a report). The sizes in the data come from the device
// and the system, not from the copy, so the report is cut to the bytes that actually
// arrived. Returns false (nothing to decode) when fewer bytes than the headers arrived,
// when the report count or size is 0, or when no report byte arrived.
bool FindFirstReport(const uint8_t* raw, uint32_t copied, RawReport* out);

// Direction mask of an eight-way hat's raw value: bit 0 up, 1 right, 2 down, 3 left.
// Values outside 0 to 8 (rest states such as 15) read as centred, 0.
uint32_t HatDirectionMask(uint32_t raw);

// trunc(value) toward zero, clamped to the 32-bit signed range (a float outside it has no
// defined conversion).
int32_t TruncateToInt32(float value);

// The value an axis delivers for a raw value: raw when Scale is 0, else
// trunc((raw - LogicalMin) * Scale + 1/64), clamped to the 32-bit range.
uint32_t ScaleAxisValue(const JoystickInput& input, uint32_t raw);

// Decodes one report into the Pending values of the device's enabled inputs (buttons are
// all decoded together when the usage list call succeeds). usageList has room for
// usageCapacity usages; nothing is written beyond it. Returns 1 when the report touched
// an enabled input, else 0. Allocates nothing. Reader thread.
uint32_t DecodeReport(JoystickDevice& device, const uint8_t* report, uint32_t length, uint16_t* usageList,
                      uint32_t usageCapacity);
