// The strict substitute HID parser; see the header.
#include "StrictHid.h"

#include <cstring>

namespace {

constexpr HidStatus kUsageNotFound = kHidStatusUsageNotFound;

bool LoadLayout(const void* preparsed, StrictLayout* out) {
    if (preparsed == nullptr)
        return false;
    std::memcpy(out, preparsed, sizeof *out);
    return out->Magic == kStrictMagic && out->InputLength >= 1 &&
           out->ButtonCapCount <= kStrictMaxButtonCaps && out->ValueCount <= kStrictMaxValues;
}

// What every report-reading call checks first. Touches every byte, as a parser that copies
// the report would, so an overstated length shows up as an out-of-bounds read.
HidStatus CheckReport(const StrictLayout& layout, int32_t reportType, const char* report, uint32_t length) {
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (report == nullptr)
        __builtin_trap();  // the decoder must never hand over no report
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < length; ++i)
        sink = sink ^ static_cast<uint8_t>(report[i]);
    (void)sink;
    if (length != layout.InputLength)
        return kHidStatusInvalidReportLength;
    if (static_cast<uint8_t>(report[0]) != layout.ReportId)
        return kHidStatusIncompatibleReportId;
    return kHidStatusSuccess;
}

HidStatus GetCaps(const void* preparsed, HidCaps* caps) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    if (layout.FailMask & 1)
        return kHidStatusInvalidPreparsedData;
    std::memset(caps, 0, sizeof *caps);
    caps->UsagePage = 1;
    caps->Usage = 5;
    caps->InputReportByteLength = layout.InputLength;
    caps->NumberInputButtonCaps = layout.ButtonCapCount;
    caps->NumberInputValueCaps = layout.ValueCount;
    return kHidStatusSuccess;
}

HidStatus GetSpecificButtonCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidButtonCaps* caps,
                                uint16_t* capsLength, const void* preparsed) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (layout.FailMask & 2)
        return kUsageNotFound;
    const uint16_t capacity = *capsLength;
    const uint16_t n = layout.ButtonCapCount < capacity ? layout.ButtonCapCount : capacity;
    for (uint16_t i = 0; i < n; ++i)
        caps[i] = layout.ButtonCaps[i];
    *capsLength = n;
    return layout.ButtonCapCount > capacity ? kHidStatusBufferTooSmall : kHidStatusSuccess;
}

HidStatus GetSpecificValueCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidValueCaps* caps,
                               uint16_t* capsLength, const void* preparsed) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (layout.FailMask & 4)
        return kUsageNotFound;
    const uint16_t capacity = *capsLength;
    const uint16_t n = layout.ValueCount < capacity ? layout.ValueCount : capacity;
    for (uint16_t i = 0; i < n; ++i)
        caps[i] = layout.Values[i].Caps;
    *capsLength = n;
    return layout.ValueCount > capacity ? kHidStatusBufferTooSmall : kHidStatusSuccess;
}

uint8_t GetProductString(void*, void*, uint32_t) {
    return 0;
}

HidStatus GetUsages(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t* usageList,
                    uint32_t* usageLength, const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    const HidStatus status = CheckReport(layout, reportType, report, reportLength);
    if (status != kHidStatusSuccess)
        return status;
    if (layout.FailMask & 8)
        return kUsageNotFound;
    if (usagePage != layout.ButtonPage || layout.ButtonFieldCount == 0)
        return kUsageNotFound;
    const uint32_t capacity = *usageLength;
    uint32_t count = 0;
    bool overflow = false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(report);
    for (uint32_t i = 0; i < layout.ButtonFieldCount; ++i) {
        if (ReadReportBits(bytes, reportLength, layout.ButtonBitOffset + i, 1) == 0)
            continue;
        if (count < capacity) {
            usageList[count++] = static_cast<uint16_t>(layout.ButtonFirstUsage + i);
        } else {
            overflow = true;
        }
    }
    *usageLength = count;
    return overflow ? kHidStatusBufferTooSmall : kHidStatusSuccess;
}

HidStatus GetUsageValue(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t usage, uint32_t* value,
                        const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    const HidStatus status = CheckReport(layout, reportType, report, reportLength);
    if (status != kHidStatusSuccess)
        return status;
    if (layout.FailMask & 16)
        return kUsageNotFound;
    for (int i = 0; i < layout.ValueCount; ++i) {
        const StrictValueField& field = layout.Values[i];
        const uint16_t first = field.Caps.IsRange ? field.Caps.Range.UsageMin : field.Caps.NotRange.Usage;
        if (field.Caps.UsagePage != usagePage || first != usage)
            continue;
        const uint32_t bits = field.Caps.BitSize;
        if (bits == 0 || bits > 32)
            return kUsageNotFound;
        *value =
            ReadReportBits(reinterpret_cast<const uint8_t*>(report), reportLength, field.BitOffset, bits);
        return kHidStatusSuccess;
    }
    return kUsageNotFound;
}

// The loader: "hid.dll" is this file.
int gLibrary;

void* Load(const char16_t*) {
    return &gLibrary;
}

void* Find(void*, const char* name) {
    struct Export {
        const char* name;
        void* address;
    };
    static const Export kExports[] = {
        {"HidP_GetCaps", reinterpret_cast<void*>(&GetCaps)},
        {"HidP_GetSpecificButtonCaps", reinterpret_cast<void*>(&GetSpecificButtonCaps)},
        {"HidP_GetSpecificValueCaps", reinterpret_cast<void*>(&GetSpecificValueCaps)},
        {"HidD_GetProductString", reinterpret_cast<void*>(&GetProductString)},
        {"HidP_GetUsages", reinterpret_cast<void*>(&GetUsages)},
        {"HidP_GetUsageValue", reinterpret_cast<void*>(&GetUsageValue)},
    };
    for (const Export& e : kExports) {
        if (std::strcmp(e.name, name) == 0)
            return e.address;
    }
    return nullptr;
}

void Unload(void*) {}

const HidLoader kStrictLoader = {Load, Find, Unload};

}  // namespace

StrictLayout EmptyStrictLayout() {
    StrictLayout layout;
    std::memset(&layout, 0, sizeof layout);
    layout.Magic = kStrictMagic;
    layout.InputLength = 1;
    return layout;
}

void AddButtonCaps(StrictLayout& layout, uint16_t page, uint16_t usageMin, uint16_t usageMax) {
    if (layout.ButtonCapCount >= kStrictMaxButtonCaps)
        return;
    HidButtonCaps& caps = layout.ButtonCaps[layout.ButtonCapCount++];
    std::memset(&caps, 0, sizeof caps);
    caps.UsagePage = page;
    caps.ReportID = layout.ReportId;
    caps.IsAbsolute = 1;
    caps.IsRange = usageMin != usageMax;
    if (caps.IsRange) {
        caps.Range.UsageMin = usageMin;
        caps.Range.UsageMax = usageMax;
    } else {
        caps.NotRange.Usage = usageMin;
    }
}

StrictValueField* AddValueField(StrictLayout& layout, uint16_t page, uint16_t usage, uint16_t bitOffset,
                                uint16_t bitSize, int32_t logicalMin, int32_t logicalMax) {
    if (layout.ValueCount >= kStrictMaxValues)
        return nullptr;
    StrictValueField& field = layout.Values[layout.ValueCount++];
    std::memset(&field, 0, sizeof field);
    field.Caps.UsagePage = page;
    field.Caps.ReportID = layout.ReportId;
    field.Caps.IsAbsolute = 1;
    field.Caps.BitSize = bitSize;
    field.Caps.ReportCount = 1;
    field.Caps.LogicalMin = logicalMin;
    field.Caps.LogicalMax = logicalMax;
    field.Caps.NotRange.Usage = usage;
    field.BitOffset = bitOffset;
    return &field;
}

uint32_t ReadReportBits(const uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bitCount && i < 32; ++i) {
        const uint64_t bit = 8ull + bitOffset + i;
        if (bit / 8 >= length)
            break;  // a field beyond the report reads as zeros
        if ((report[bit / 8] >> (bit % 8)) & 1u)
            value |= 1u << i;
    }
    return value;
}

void WriteReportBits(uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount,
                     uint32_t value) {
    for (uint32_t i = 0; i < bitCount && i < 32; ++i) {
        const uint64_t bit = 8ull + bitOffset + i;
        if (bit / 8 >= length)
            break;
        const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
        if ((value >> i) & 1u) {
            report[bit / 8] |= mask;
        } else {
            report[bit / 8] &= static_cast<uint8_t>(~mask);
        }
    }
}

void InstallStrictHidLoader() {
    SetHidLoader(&kStrictLoader);
}
