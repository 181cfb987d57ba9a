// A substitute for the HID parsing library whose devices are described field by field, so
// that a fuzz input (or a benchmark) can make up a device and its reports. It is strict the
// way hid.dll is: a report must have the device's exact length and report id, and it
// touches every byte of the report it is handed, so that AddressSanitizer notices any
// length that claims more than the caller's buffer holds. It never writes beyond the usage
// list's stated capacity.
//
// Used by the joystick fuzz target and the native joystick benchmarks, through the loader
// that hands its functions to BindHid by name.
#pragma once

#include <cstdint>

#include "joystick/HidFunctions.h"
#include "joystick/HidTypes.h"

constexpr int kStrictMaxButtonCaps = 3;
constexpr int kStrictMaxValues = 12;

constexpr HidStatus kHidStatusIncompatibleReportId = static_cast<HidStatus>(0xC011000Au);

// A value field: its capability as the library reports it, and where its bits lie (counted
// from the first bit after the report-id byte).
struct StrictValueField {
    HidValueCaps Caps;
    uint16_t BitOffset;
};

// The "preparsed data" of a StrictHid device, stored as plain bytes in the device.
struct StrictLayout {
    uint32_t Magic;
    uint8_t ReportId;      // 0: the descriptor has no report ids, the first byte must be 0
    uint16_t InputLength;  // report length including the id byte
    uint8_t ButtonCapCount;
    HidButtonCaps ButtonCaps[kStrictMaxButtonCaps];
    // The button bitmap: field i, at bit ButtonBitOffset + i, is usage ButtonFirstUsage + i
    // on ButtonPage. Independent of the capabilities, so a report can press usages the
    // first capability does not announce.
    uint16_t ButtonPage;
    uint16_t ButtonBitOffset;
    uint16_t ButtonFieldCount;
    uint16_t ButtonFirstUsage;
    uint8_t ValueCount;
    StrictValueField Values[kStrictMaxValues];
    // Calls to refuse: bit 0 GetCaps, 1 button caps, 2 value caps, 3 GetUsages, 4 GetUsageValue.
    uint8_t FailMask;
};

constexpr uint32_t kStrictMagic = 0x53544844;

// A zeroed layout with the magic set.
StrictLayout EmptyStrictLayout();

// Appends a button capability (range when usageMax differs from usageMin) or a value field.
void AddButtonCaps(StrictLayout& layout, uint16_t page, uint16_t usageMin, uint16_t usageMax);
StrictValueField* AddValueField(StrictLayout& layout, uint16_t page, uint16_t usage, uint16_t bitOffset,
                                uint16_t bitSize, int32_t logicalMin, int32_t logicalMax);

// Reads or writes bits of a report (after the id byte), little-endian as HID lays them out.
uint32_t ReadReportBits(const uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount);
void WriteReportBits(uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount, uint32_t value);

// Binds StrictHid as "hid.dll": installs a loader whose library is StrictHid.
void InstallStrictHidLoader();
