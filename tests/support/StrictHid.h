// A substitute for the HID parsing library whose devices are described field by field, so
// that a test, a fuzz input or a benchmark can make up a device and its reports. It is
// strict the way hid.dll is: a report must have the device's exact length and report id,
// and it touches every byte of the report it is handed, so that AddressSanitizer notices
// any length that claims more than the caller's buffer holds. It never writes beyond the
// usage list's stated capacity.
//
// Used by the native joystick tests, the fuzz targets and the native benchmarks, through
// the loader that hands its functions to BindHid by name. Also builds devices as
// enumeration does, test layouts and their reports, and the raw-input messages that carry
// reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "joystick/HidFunctions.h"
#include "joystick/HidTypes.h"
#include "joystick/JoystickDevice.h"
#include "joystick/JoystickReader.h"

constexpr int kStrictMaxButtonCaps = 3;
constexpr int kStrictMaxValues = 16;

// A value field: its capability as the library reports it, and where its bits lie (counted
// from the first bit after the report-id byte).
struct StrictValueField {
    HidValueCaps Caps;
    uint16_t BitOffset;
    // Bits GetUsageValue returns; 0 means Caps.BitSize. Wider lets a test hand the decoder
    // values a field of Caps.BitSize could not hold.
    uint16_t ReadBits;
};

// A button bitmap: bit BitOffset + i is usage FirstUsage + i on Page. Independent of the
// capabilities, so a report can press usages no capability announces.
struct StrictButtonField {
    uint16_t Page;
    uint16_t BitOffset;
    uint16_t Count;
    uint16_t FirstUsage;
};

// The "preparsed data" of a StrictHid device, stored as plain bytes in the device.
struct StrictLayout {
    uint32_t Magic;
    uint8_t ReportId;      // 0: the descriptor has no report ids, the first byte must be 0
    uint16_t InputLength;  // report length including the id byte
    uint8_t ButtonCapCount;
    HidButtonCaps ButtonCaps[kStrictMaxButtonCaps];
    uint8_t BitmapCount;
    StrictButtonField Bitmaps[kStrictMaxButtonCaps];
    uint8_t ValueCount;
    StrictValueField Values[kStrictMaxValues];
    // Calls to refuse: bit 0 GetCaps, 1 button caps, 2 value caps, 3 GetUsages, 4 GetUsageValue.
    uint8_t FailMask;
};

// A zeroed layout with the magic set.
StrictLayout EmptyStrictLayout();

// Appends a button capability (range when usageMax differs from usageMin), a button bitmap
// or a value field.
void AddButtonCaps(StrictLayout& layout, uint16_t page, uint16_t usageMin, uint16_t usageMax);
StrictButtonField* AddBitmap(StrictLayout& layout, uint16_t page, uint16_t bitOffset, uint16_t count,
                             uint16_t firstUsage);
StrictValueField* AddValueField(StrictLayout& layout, uint16_t page, uint16_t usage, uint16_t bitOffset,
                                uint16_t bitSize, int32_t logicalMin, int32_t logicalMax);

// Writes bits of a report (after the id byte), little-endian as HID lays them out.
void WriteReportBits(uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount, uint32_t value);

// The loader whose "hid.dll" is StrictHid; InstallStrictHidLoader binds it.
const HidLoader* StrictHidLoader();
void InstallStrictHidLoader();

// Builds a device from preparsed data as enumeration would: holds and binds the library,
// reads the capabilities, constructs the device (prepared as the main window prepares it
// when prepare is set), lets go. Null when anything fails, as enumeration skips such a
// device. MakeStrictDevice: a game pad (usage 5) of this substitute.
JoystickDevice* MakeDevice(const DeviceIdentity& identity, const void* preparsed, uint32_t size,
                           bool prepare = true);
JoystickDevice* MakeStrictDevice(const StrictLayout& layout, void* rawHandle, bool prepare = true);

// The bytes GetRawInputData would copy for one HID report: the 24-byte header (type 2,
// the device handle at offset 8), size and count (as given, whatever the report really
// holds; size -1 is the report's), then the report.
std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report, int64_t claimedSize = -1,
                                   uint32_t count = 1);

// The reader thread's stand-in. Starting and ending only count; Post decodes on the calling
// thread as the Win32 thread decodes a WM_INPUT (the first report found in a heap block of
// exactly the copied size). Tests that need a reader thread post from a thread of their own.
namespace FakeReaderThread {
inline std::atomic<int> starts{0}, ends{0};
extern const ReaderThreadFunctions kFunctions;
void Post(const std::vector<uint8_t>& raw);
}  // namespace FakeReaderThread

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
