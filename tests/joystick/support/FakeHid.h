// A small substitute for the HID parsing library, for the native tests. Its "preparsed
// data" is a FakeLayout: a report of fixed length whose byte 0 is the report id, with one
// bitmap of buttons and little-endian value fields at fixed offsets. Like hid.dll it
// refuses reports whose length is not the device's report length, and it reads every byte
// of the report it is given, so that AddressSanitizer sees any length that overstates the
// buffer. A loader hands its functions to BindHid by name.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "joystick/HidFunctions.h"
#include "joystick/JoystickDevice.h"

struct FakeValueField {
    uint16_t UsagePage = 1;
    uint16_t Usage = 0x30;
    uint16_t Offset = 0;  // byte offset in the report
    uint8_t Bytes = 1;    // 1 to 4
    uint8_t Absolute = 1;
    uint16_t BitSize = 8;
    int32_t LogicalMin = 0;
    int32_t LogicalMax = 255;
};

struct FakeButtonRange {
    uint16_t UsagePage = 9;
    uint16_t UsageMin = 1;
    uint16_t UsageMax = 12;
    uint8_t IsRange = 1;
    uint16_t Offset = 1;  // first byte of the bitmap; bit n is usage UsageMin + n
};

constexpr int kFakeMaxValues = 8;
constexpr int kFakeMaxButtonRanges = 2;

struct FakeLayout {
    uint32_t Magic = 0x46414B45;
    uint16_t ReportLength = 8;
    uint8_t ButtonRangeCount = 1;
    uint8_t ValueCount = 0;
    FakeButtonRange Buttons[kFakeMaxButtonRanges];
    FakeValueField Values[kFakeMaxValues];

    FakeValueField& AddValue(uint16_t usage, uint16_t offset, uint8_t bytes, int32_t logicalMin,
                             int32_t logicalMax);
};

// A game pad: 12 buttons (page 9, usages 1-12) in bytes 1-2, X and Y 8-bit 0-255 in bytes
// 3 and 4, an eight-way hat (logical 1-8) in byte 5; report length 8.
FakeLayout GamePadLayout();

namespace FakeHid {

// Counters and switches, reset by Reset().
struct Control {
    std::atomic<int> Loads{0};
    std::atomic<int> Unloads{0};
    std::atomic<bool> LoadFails{false};
    std::string MissingFunction;  // a name Find does not know
    std::atomic<bool> UsagesFail{false};
    std::atomic<bool> ValuesFail{false};
    std::atomic<uint32_t> LongestReport{0};  // the longest length a parsing call was given
};

Control& State();
void Reset();
const HidLoader* Loader();

// Serialises a layout as preparsed data (allocated with new[], as the device expects).
uint8_t* MakePreparsed(const FakeLayout& layout, uint32_t* size);

// Builds a device as enumeration would: holds and binds the library, reads the
// capabilities, constructs the device, lets go. Null when anything fails.
JoystickDevice* MakeDevice(const FakeLayout& layout, void* rawHandle, bool prepare = true);

}  // namespace FakeHid

// Builds input reports for a layout.
class ReportBuilder {
  public:
    explicit ReportBuilder(const FakeLayout& layout) : layout_(layout), bytes_(layout.ReportLength, 0) {}
    ReportBuilder& Press(uint16_t usage, int range = 0);
    ReportBuilder& Set(uint16_t usage, uint32_t value);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    const FakeLayout& layout_;
    std::vector<uint8_t> bytes_;
};

// The bytes GetRawInputData would copy for one HID report: the 24-byte header (type 2,
// the device handle at offset 8), size and count, then the report.
std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report);
// The same with the size and count fields as given, whatever the report really holds.
std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report, uint32_t claimedSize,
                                   uint32_t count);
