// Portable mirrors of the HID parsing library's records, status codes and entry points.
// The joystick code is written against these so that it builds natively, where a small
// substitute parser stands in for hid.dll. HidLoader_win.cpp checks, at compile time,
// that every record has the layout of its counterpart in <hidpi.h>.
#pragma once

#include <cstdint>

// NTSTATUS-style result of every parsing call.
using HidStatus = int32_t;

constexpr HidStatus kHidStatusSuccess = 0x00110000;
constexpr HidStatus kHidStatusInvalidPreparsedData = static_cast<HidStatus>(0xC0110001u);
constexpr HidStatus kHidStatusInvalidReportType = static_cast<HidStatus>(0xC0110002u);
constexpr HidStatus kHidStatusInvalidReportLength = static_cast<HidStatus>(0xC0110003u);
constexpr HidStatus kHidStatusUsageNotFound = static_cast<HidStatus>(0xC0110004u);
constexpr HidStatus kHidStatusBufferTooSmall = static_cast<HidStatus>(0xC0110007u);

// HIDP_REPORT_TYPE: the joystick code only ever reads input reports.
constexpr int32_t kHidReportInput = 0;

// HIDP_CAPS (64 bytes).
struct HidCaps {
    uint16_t Usage;
    uint16_t UsagePage;
    uint16_t InputReportByteLength;
    uint16_t OutputReportByteLength;
    uint16_t FeatureReportByteLength;
    uint16_t Reserved[17];
    uint16_t NumberLinkCollectionNodes;
    uint16_t NumberInputButtonCaps;
    uint16_t NumberInputValueCaps;
    uint16_t NumberInputDataIndices;
    uint16_t NumberOutputButtonCaps;
    uint16_t NumberOutputValueCaps;
    uint16_t NumberOutputDataIndices;
    uint16_t NumberFeatureButtonCaps;
    uint16_t NumberFeatureValueCaps;
    uint16_t NumberFeatureDataIndices;
};

// The usage part shared by button and value capabilities: a range, or a single usage.
struct HidUsageRange {
    uint16_t UsageMin;
    uint16_t UsageMax;
    uint16_t StringMin;
    uint16_t StringMax;
    uint16_t DesignatorMin;
    uint16_t DesignatorMax;
    uint16_t DataIndexMin;
    uint16_t DataIndexMax;
};

struct HidUsageSingle {
    uint16_t Usage;
    uint16_t Reserved1;
    uint16_t StringIndex;
    uint16_t Reserved2;
    uint16_t DesignatorIndex;
    uint16_t Reserved3;
    uint16_t DataIndex;
    uint16_t Reserved4;
};

// HIDP_BUTTON_CAPS (72 bytes).
struct HidButtonCaps {
    uint16_t UsagePage;
    uint8_t ReportID;
    uint8_t IsAlias;
    uint16_t BitField;
    uint16_t LinkCollection;
    uint16_t LinkUsage;
    uint16_t LinkUsagePage;
    uint8_t IsRange;
    uint8_t IsStringRange;
    uint8_t IsDesignatorRange;
    uint8_t IsAbsolute;
    uint32_t Reserved[10];
    union {
        HidUsageRange Range;
        HidUsageSingle NotRange;
    };
};

// HIDP_VALUE_CAPS (72 bytes).
struct HidValueCaps {
    uint16_t UsagePage;
    uint8_t ReportID;
    uint8_t IsAlias;
    uint16_t BitField;
    uint16_t LinkCollection;
    uint16_t LinkUsage;
    uint16_t LinkUsagePage;
    uint8_t IsRange;
    uint8_t IsStringRange;
    uint8_t IsDesignatorRange;
    uint8_t IsAbsolute;
    uint8_t HasNull;
    uint8_t Reserved;
    uint16_t BitSize;
    uint16_t ReportCount;
    uint16_t Reserved2[5];
    uint32_t UnitsExp;
    uint32_t Units;
    int32_t LogicalMin;
    int32_t LogicalMax;
    int32_t PhysicalMin;
    int32_t PhysicalMax;
    union {
        HidUsageRange Range;
        HidUsageSingle NotRange;
    };
};

static_assert(sizeof(HidCaps) == 64, "HIDP_CAPS is 64 bytes");
static_assert(sizeof(HidButtonCaps) == 72, "HIDP_BUTTON_CAPS is 72 bytes");
static_assert(sizeof(HidValueCaps) == 72, "HIDP_VALUE_CAPS is 72 bytes");

// The entry points, with the preparsed data as an opaque pointer and reports as bytes.
// On x86-64 Windows there is one calling convention, so these types call the exports of
// hid.dll directly.
using HidGetCapsFn = HidStatus (*)(const void* preparsed, HidCaps* caps);
using HidGetSpecificButtonCapsFn = HidStatus (*)(int32_t reportType, uint16_t usagePage,
                                                 uint16_t linkCollection, uint16_t usage, HidButtonCaps* caps,
                                                 uint16_t* capsLength, const void* preparsed);
using HidGetSpecificValueCapsFn = HidStatus (*)(int32_t reportType, uint16_t usagePage,
                                                uint16_t linkCollection, uint16_t usage, HidValueCaps* caps,
                                                uint16_t* capsLength, const void* preparsed);
// HidD_GetProductString returns a BOOLEAN.
using HidGetProductStringFn = uint8_t (*)(void* device, void* buffer, uint32_t bufferLength);
using HidGetUsagesFn = HidStatus (*)(int32_t reportType, uint16_t usagePage, uint16_t linkCollection,
                                     uint16_t* usageList, uint32_t* usageLength, const void* preparsed,
                                     char* report, uint32_t reportLength);
using HidGetUsageValueFn = HidStatus (*)(int32_t reportType, uint16_t usagePage, uint16_t linkCollection,
                                         uint16_t usage, uint32_t* value, const void* preparsed, char* report,
                                         uint32_t reportLength);
