// The strict substitute HID parser; see the header.
#include "StrictHid.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "joystick/InputCatalogue.h"
#include "joystick/ReportDecoder.h"

namespace {

constexpr uint32_t kStrictMagic = 0x53544844;
constexpr HidStatus kIncompatibleReportId = static_cast<HidStatus>(0xC011000Au);

// Bits of a report after the id byte; a field beyond the report reads as zeros.
uint32_t ReadReportBits(const uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bitCount && i < 32; ++i) {
        const uint64_t bit = 8ull + bitOffset + i;
        if (bit / 8 >= length)
            break;
        if ((report[bit / 8] >> (bit % 8)) & 1u)
            value |= 1u << i;
    }
    return value;
}

bool LoadLayout(const void* preparsed, StrictLayout* out) {
    if (preparsed == nullptr)
        return false;
    std::memcpy(out, preparsed, sizeof *out);
    return out->Magic == kStrictMagic;
}

// What every report-reading call checks first. Touches every byte, as a parser that copies
// the report would, so an overstated length shows up as an out-of-bounds read.
HidStatus OpenReport(const void* preparsed, int32_t reportType, const char* report, uint32_t length,
                     StrictLayout* layout, uint8_t failBit) {
    if (!LoadLayout(preparsed, layout))
        return kHidStatusInvalidPreparsedData;
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (report == nullptr)
        __builtin_trap();  // the decoder must never hand over no report
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < length; ++i)
        sink = sink ^ static_cast<uint8_t>(report[i]);
    if (length != layout->InputLength)
        return kHidStatusInvalidReportLength;
    if (static_cast<uint8_t>(report[0]) != layout->ReportId)
        return kIncompatibleReportId;
    return layout->FailMask & failBit ? kHidStatusUsageNotFound : kHidStatusSuccess;
}

HidStatus GetCaps(const void* preparsed, HidCaps* caps) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout) || (layout.FailMask & 1))
        return kHidStatusInvalidPreparsedData;
    std::memset(caps, 0, sizeof *caps);
    caps->InputReportByteLength = layout.InputLength;
    caps->NumberInputButtonCaps = layout.ButtonCapCount;
    caps->NumberInputValueCaps = layout.ValueCount;
    return kHidStatusSuccess;
}

// Hands out as many capabilities as the caller has room for, as hid.dll does.
template <typename Caps>
HidStatus CopyCaps(int32_t reportType, Caps* caps, uint16_t* capsLength, const void* preparsed) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    constexpr bool kButtons = std::is_same<Caps, HidButtonCaps>::value;
    if (reportType != kHidReportInput || (layout.FailMask & (kButtons ? 2 : 4)))
        return reportType != kHidReportInput ? kHidStatusInvalidReportType : kHidStatusUsageNotFound;
    const uint16_t total = kButtons ? layout.ButtonCapCount : layout.ValueCount;
    const uint16_t n = std::min(total, *capsLength);
    for (uint16_t i = 0; i < n; ++i)
        std::memcpy(&caps[i],
                    kButtons ? static_cast<const void*>(&layout.ButtonCaps[i]) : &layout.Values[i].Caps,
                    sizeof(Caps));
    *capsLength = n;
    return total <= n ? kHidStatusSuccess : kHidStatusBufferTooSmall;
}

HidStatus GetSpecificButtonCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidButtonCaps* caps,
                                uint16_t* capsLength, const void* preparsed) {
    return CopyCaps(reportType, caps, capsLength, preparsed);
}

HidStatus GetSpecificValueCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidValueCaps* caps,
                               uint16_t* capsLength, const void* preparsed) {
    return CopyCaps(reportType, caps, capsLength, preparsed);
}

uint8_t GetProductString(void*, void*, uint32_t) {
    return 0;
}

HidStatus GetUsages(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t* usageList,
                    uint32_t* usageLength, const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    const HidStatus status = OpenReport(preparsed, reportType, report, reportLength, &layout, 8);
    if (status != kHidStatusSuccess)
        return status;
    const uint32_t capacity = *usageLength;
    uint32_t count = 0;
    bool pageKnown = false, overflow = false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(report);
    for (int b = 0; b < layout.BitmapCount; ++b) {
        const StrictButtonField& bitmap = layout.Bitmaps[b];
        if (bitmap.Page != usagePage || bitmap.Count == 0)
            continue;
        pageKnown = true;
        for (uint32_t i = 0; i < bitmap.Count; ++i) {
            if (ReadReportBits(bytes, reportLength, bitmap.BitOffset + i, 1) == 0)
                continue;
            overflow = overflow || count >= capacity;
            if (count < capacity)
                usageList[count++] = static_cast<uint16_t>(bitmap.FirstUsage + i);
        }
    }
    if (!pageKnown)
        return kHidStatusUsageNotFound;
    *usageLength = count;
    return overflow ? kHidStatusBufferTooSmall : kHidStatusSuccess;
}

HidStatus GetUsageValue(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t usage, uint32_t* value,
                        const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    const HidStatus status = OpenReport(preparsed, reportType, report, reportLength, &layout, 16);
    if (status != kHidStatusSuccess)
        return status;
    for (int i = 0; i < layout.ValueCount; ++i) {
        const StrictValueField& field = layout.Values[i];
        const uint16_t first = field.Caps.IsRange ? field.Caps.Range.UsageMin : field.Caps.NotRange.Usage;
        if (field.Caps.UsagePage != usagePage || first != usage)
            continue;
        const uint32_t bits = field.ReadBits != 0 ? field.ReadBits : field.Caps.BitSize;
        if (bits == 0 || bits > 32)
            return kHidStatusUsageNotFound;
        *value =
            ReadReportBits(reinterpret_cast<const uint8_t*>(report), reportLength, field.BitOffset, bits);
        return kHidStatusSuccess;
    }
    return kHidStatusUsageNotFound;
}

// The loader: "hid.dll" is this file.
int gLibrary;

void* Load(const char16_t* name) {
    return std::u16string(name) == u"hid.dll" ? &gLibrary : nullptr;
}

void* Find(void* library, const char* name) {
    const char* const names[] = {
        "HidP_GetCaps",   "HidP_GetSpecificButtonCaps", "HidP_GetSpecificValueCaps", "HidD_GetProductString",
        "HidP_GetUsages", "HidP_GetUsageValue"};
    void* const exports[] = {reinterpret_cast<void*>(&GetCaps),
                             reinterpret_cast<void*>(&GetSpecificButtonCaps),
                             reinterpret_cast<void*>(&GetSpecificValueCaps),
                             reinterpret_cast<void*>(&GetProductString),
                             reinterpret_cast<void*>(&GetUsages),
                             reinterpret_cast<void*>(&GetUsageValue)};
    for (int i = 0; i < 6 && library == &gLibrary; ++i) {
        if (std::strcmp(names[i], name) == 0)
            return exports[i];
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
    HidButtonCaps& caps = layout.ButtonCaps[layout.ButtonCapCount++];  // zeroed by EmptyStrictLayout
    caps.UsagePage = page;
    caps.IsRange = usageMin != usageMax;
    if (caps.IsRange) {
        caps.Range.UsageMin = usageMin;
        caps.Range.UsageMax = usageMax;
    } else {
        caps.NotRange.Usage = usageMin;
    }
}

StrictButtonField* AddBitmap(StrictLayout& layout, uint16_t page, uint16_t bitOffset, uint16_t count,
                             uint16_t firstUsage) {
    if (layout.BitmapCount >= kStrictMaxButtonCaps)
        return nullptr;
    StrictButtonField& bitmap = layout.Bitmaps[layout.BitmapCount++];
    bitmap = StrictButtonField{page, bitOffset, count, firstUsage};
    return &bitmap;
}

StrictValueField* AddValueField(StrictLayout& layout, uint16_t page, uint16_t usage, uint16_t bitOffset,
                                uint16_t bitSize, int32_t logicalMin, int32_t logicalMax) {
    if (layout.ValueCount >= kStrictMaxValues)
        return nullptr;
    StrictValueField& field = layout.Values[layout.ValueCount++];  // zeroed by EmptyStrictLayout
    field.Caps.UsagePage = page;
    field.Caps.IsAbsolute = 1;
    field.Caps.BitSize = bitSize;
    field.Caps.LogicalMin = logicalMin;
    field.Caps.LogicalMax = logicalMax;
    field.Caps.NotRange.Usage = usage;
    field.BitOffset = bitOffset;
    return &field;
}

void WriteReportBits(uint8_t* report, uint32_t length, uint32_t bitOffset, uint32_t bitCount,
                     uint32_t value) {
    for (uint32_t i = 0; i < bitCount && i < 32; ++i) {
        const uint64_t bit = 8ull + bitOffset + i;
        if (bit / 8 >= length)
            break;
        const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
        report[bit / 8] =
            static_cast<uint8_t>((value >> i) & 1u ? report[bit / 8] | mask : report[bit / 8] & ~mask);
    }
}

const HidLoader* StrictHidLoader() {
    return &kStrictLoader;
}

void InstallStrictHidLoader() {
    SetHidLoader(&kStrictLoader);
}

JoystickDevice* MakeDevice(const DeviceIdentity& identity, const void* preparsed, uint32_t size,
                           bool prepare) {
    // Enumeration's own hold: the device takes its own in its constructor.
    if (Failed(HoldAndBindHid()))
        return nullptr;
    InputBlock block;
    JoystickDevice* device = nullptr;
    if (!Failed(ReadCapabilities(preparsed, &block))) {
        auto* copy = new uint8_t[size];  // the device frees it with delete[]
        std::memcpy(copy, preparsed, size);
        device = new JoystickDevice(identity, copy, size, new String(u"Controller"), block);
        if (prepare && !PrepareInputs(*device))
            SafeRelease(device);
    }
    LetGoHid();
    return device;
}

JoystickDevice* MakeStrictDevice(const StrictLayout& layout, void* rawHandle, bool prepare) {
    const DeviceIdentity identity{rawHandle, 0, 0, 0, 1, 5};  // a game pad
    return MakeDevice(identity, &layout, sizeof layout, prepare);
}

std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report, int64_t claimedSize,
                                   uint32_t count) {
    std::vector<uint8_t> raw(32 + report.size(), 0);
    const uint32_t words[2] = {2, static_cast<uint32_t>(raw.size())};
    const uint32_t hid[2] = {static_cast<uint32_t>(claimedSize >= 0 ? claimedSize : report.size()), count};
    const uint64_t handle = reinterpret_cast<uintptr_t>(device);
    std::memcpy(&raw[0], words, 8);
    std::memcpy(&raw[8], &handle, 8);
    std::memcpy(&raw[24], hid, 8);
    std::copy(report.begin(), report.end(), raw.begin() + 32);
    return raw;
}

namespace FakeReaderThread {
const ReaderThreadFunctions kFunctions = {[] {
                                              ++starts;
                                              return kOk;
                                          },
                                          [] { ++ends; }, nullptr};

void Post(const std::vector<uint8_t>& raw) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[raw.size() + (raw.empty() ? 1 : 0)]);
    std::copy(raw.begin(), raw.end(), copy.get());
    ReaderScratch scratch;
    RawReport report;
    if (scratch.Allocate() == kOk && FindFirstReport(copy.get(), static_cast<uint32_t>(raw.size()), &report))
        DeliverReport(report.Device, report.Report, report.Length, scratch);
}
}  // namespace FakeReaderThread

void AddButtons(StrictLayout& layout, uint16_t usageMin, uint16_t usageMax, uint16_t byte) {
    AddButtonCaps(layout, 9, usageMin, usageMax);
    AddBitmap(layout, 9, static_cast<uint16_t>((byte - 1) * 8),
              static_cast<uint16_t>(usageMax - usageMin + 1), usageMin);
}

StrictValueField& AddByteValue(StrictLayout& layout, uint16_t usage, uint16_t byte, uint8_t bytes,
                               int32_t logicalMin, int32_t logicalMax) {
    StrictValueField* field = AddValueField(layout, 1, usage, static_cast<uint16_t>((byte - 1) * 8),
                                            static_cast<uint16_t>(bytes * 8), logicalMin, logicalMax);
    field->ReadBits = static_cast<uint16_t>(bytes * 8);
    return *field;
}

StrictLayout GamePadLayout() {
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 8;
    AddButtons(layout, 1, 12, 1);
    AddByteValue(layout, 0x30, 3, 1, 0, 255);
    AddByteValue(layout, 0x31, 4, 1, 0, 255);
    AddByteValue(layout, 0x39, 5, 1, 1, 8).Caps.BitSize = 4;
    return layout;
}

ReportBuilder::ReportBuilder(const StrictLayout& layout) : layout_(layout), bytes_(layout.InputLength, 0) {
    bytes_[0] = layout.ReportId;
}

ReportBuilder& ReportBuilder::Press(uint16_t usage, int range) {
    const StrictButtonField& bitmap = layout_.Bitmaps[range];
    WriteReportBits(bytes_.data(), layout_.InputLength, bitmap.BitOffset + usage - bitmap.FirstUsage, 1, 1);
    return *this;
}

ReportBuilder& ReportBuilder::Set(uint16_t usage, uint32_t value) {
    for (int i = 0; i < layout_.ValueCount; ++i) {
        const StrictValueField& field = layout_.Values[i];
        if (field.Caps.NotRange.Usage == usage)
            WriteReportBits(bytes_.data(), layout_.InputLength, field.BitOffset,
                            field.ReadBits != 0 ? field.ReadBits : field.Caps.BitSize, value);
    }
    return *this;
}
