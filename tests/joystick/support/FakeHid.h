// The test layer over StrictHid for the native joystick tests: byte-aligned layouts, the
// reports that go with them, and the raw-input messages that carry them. The tests parse
// through the same strict substitute as the fuzz target and the benchmark.
#pragma once

#include <cstdint>
#include <vector>

#include "StrictHid.h"

// Buttons usageMin-usageMax on page 9 whose bitmap starts at byte `byte` of the report
// (bit n is usage usageMin + n): the capability and the bitmap together.
void AddButtons(StrictLayout& layout, uint16_t usageMin, uint16_t usageMax, uint16_t byte);
// A page-1 value of `bytes` whole little-endian bytes from byte `byte`, 8 bits a byte;
// all of them are read even when a test narrows Caps.BitSize afterwards.
StrictValueField& AddByteValue(StrictLayout& layout, uint16_t usage, uint16_t byte, uint8_t bytes,
                               int32_t logicalMin, int32_t logicalMax);

// A game pad: 12 buttons (page 9, usages 1-12) in bytes 1-2, X and Y 8-bit 0-255 in bytes
// 3 and 4, an eight-way hat (logical 1-8, 4 bits) in byte 5; report length 8, no report id.
StrictLayout GamePadLayout();

namespace FakeHid {

inline StrictHidControl& State() {
    return StrictHidState();
}

inline JoystickDevice* MakeDevice(const StrictLayout& layout, void* rawHandle, bool prepare = true) {
    return MakeStrictDevice(layout, rawHandle, prepare);
}

}  // namespace FakeHid

// Builds input reports for a layout.
class ReportBuilder {
  public:
    explicit ReportBuilder(const StrictLayout& layout);
    // Presses a button of the range-th bitmap.
    ReportBuilder& Press(uint16_t usage, int range = 0);
    // Sets every value field of the usage.
    ReportBuilder& Set(uint16_t usage, uint32_t value);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    const StrictLayout& layout_;
    std::vector<uint8_t> bytes_;
};
