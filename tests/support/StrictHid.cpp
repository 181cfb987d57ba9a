// The strict substitute HID parser; see the header.
#include "StrictHid.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "joystick/InputCatalogue.h"
#include "joystick/ReportDecoder.h"

namespace {

constexpr HidStatus kUsageNotFound = kHidStatusUsageNotFound;

bool LoadLayout(const void* preparsed, StrictLayout* out) {
    if (preparsed == nullptr)
        return false;
    std::memcpy(out, preparsed, sizeof *out);
    return out->Magic == kStrictMagic && out->InputLength >= 1 &&
           out->ButtonCapCount <= kStrictMaxButtonCaps && out->BitmapCount <= kStrictMaxButtonCaps &&
           out->ValueCount <= kStrictMaxValues;
}

// What every report-reading call checks first. Touches every byte, as a parser that copies
// the report would, so an overstated length shows up as an out-of-bounds read.
HidStatus OpenReport(const void* preparsed, int32_t reportType, const char* report, uint32_t length,
                     StrictLayout* layout) {
    if (!LoadLayout(preparsed, layout))
        return kHidStatusInvalidPreparsedData;
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (report == nullptr)
        __builtin_trap();  // the decoder must never hand over no report
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < length; ++i)
        sink = sink ^ static_cast<uint8_t>(report[i]);
    (void)sink;
    if (length != layout->InputLength)
        return kHidStatusInvalidReportLength;
    if (static_cast<uint8_t>(report[0]) != layout->ReportId)
        return kHidStatusIncompatibleReportId;
    return kHidStatusSuccess;
}

HidStatus GetCaps(const void* preparsed, HidCaps* caps) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout) || (layout.FailMask & 1))
        return kHidStatusInvalidPreparsedData;
    std::memset(caps, 0, sizeof *caps);
    caps->UsagePage = 1;
    caps->Usage = 5;
    caps->InputReportByteLength = layout.InputLength;
    caps->NumberInputButtonCaps = layout.ButtonCapCount;
    caps->NumberInputValueCaps = layout.ValueCount;
    return kHidStatusSuccess;
}

// Hands out as many capabilities as the caller has room for, as hid.dll does.
template <typename Caps, typename Count, typename At>
HidStatus CopyCaps(int32_t reportType, const void* preparsed, uint8_t failBit, Caps* caps,
                   uint16_t* capsLength, Count count, At at) {
    StrictLayout layout;
    if (!LoadLayout(preparsed, &layout))
        return kHidStatusInvalidPreparsedData;
    if (reportType != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (layout.FailMask & failBit)
        return kUsageNotFound;
    const uint16_t total = count(layout);
    const uint16_t n = std::min(total, *capsLength);
    for (uint16_t i = 0; i < n; ++i)
        caps[i] = at(layout, i);
    const bool fits = total <= *capsLength;
    *capsLength = n;
    return fits ? kHidStatusSuccess : kHidStatusBufferTooSmall;
}

HidStatus GetSpecificButtonCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidButtonCaps* caps,
                                uint16_t* capsLength, const void* preparsed) {
    return CopyCaps(
        reportType, preparsed, 2, caps, capsLength,
        [](const StrictLayout& l) { return uint16_t{l.ButtonCapCount}; },
        [](const StrictLayout& l, int i) { return l.ButtonCaps[i]; });
}

HidStatus GetSpecificValueCaps(int32_t reportType, uint16_t, uint16_t, uint16_t, HidValueCaps* caps,
                               uint16_t* capsLength, const void* preparsed) {
    return CopyCaps(
        reportType, preparsed, 4, caps, capsLength,
        [](const StrictLayout& l) { return uint16_t{l.ValueCount}; },
        [](const StrictLayout& l, int i) { return l.Values[i].Caps; });
}

uint8_t GetProductString(void*, void*, uint32_t) {
    return 0;
}

HidStatus GetUsages(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t* usageList,
                    uint32_t* usageLength, const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    const HidStatus status = OpenReport(preparsed, reportType, report, reportLength, &layout);
    if (status != kHidStatusSuccess)
        return status;
    if ((layout.FailMask & 8) || StrictHidState().UsagesFail)
        return kUsageNotFound;
    const uint32_t capacity = *usageLength;
    uint32_t count = 0;
    bool pageKnown = false;
    bool overflow = false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(report);
    for (int b = 0; b < layout.BitmapCount; ++b) {
        const StrictButtonField& bitmap = layout.Bitmaps[b];
        if (bitmap.Page != usagePage || bitmap.Count == 0)
            continue;
        pageKnown = true;
        for (uint32_t i = 0; i < bitmap.Count; ++i) {
            if (ReadReportBits(bytes, reportLength, bitmap.BitOffset + i, 1) == 0)
                continue;
            if (count < capacity) {
                usageList[count++] = static_cast<uint16_t>(bitmap.FirstUsage + i);
            } else {
                overflow = true;
            }
        }
    }
    if (!pageKnown)
        return kUsageNotFound;
    *usageLength = count;
    return overflow ? kHidStatusBufferTooSmall : kHidStatusSuccess;
}

HidStatus GetUsageValue(int32_t reportType, uint16_t usagePage, uint16_t, uint16_t usage, uint32_t* value,
                        const void* preparsed, char* report, uint32_t reportLength) {
    StrictLayout layout;
    const HidStatus status = OpenReport(preparsed, reportType, report, reportLength, &layout);
    if (status != kHidStatusSuccess)
        return status;
    if ((layout.FailMask & 16) || StrictHidState().ValuesFail)
        return kUsageNotFound;
    for (int i = 0; i < layout.ValueCount; ++i) {
        const StrictValueField& field = layout.Values[i];
        const uint16_t first = field.Caps.IsRange ? field.Caps.Range.UsageMin : field.Caps.NotRange.Usage;
        if (field.Caps.UsagePage != usagePage || first != usage)
            continue;
        const uint32_t bits = field.ReadBits != 0 ? field.ReadBits : field.Caps.BitSize;
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

void* Load(const char16_t* name) {
    if (StrictHidState().LoadFails || std::u16string(name) != u"hid.dll")
        return nullptr;
    StrictHidState().Loads++;
    return &gLibrary;
}

void* Find(void* library, const char* name) {
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
    if (library != &gLibrary || StrictHidState().MissingFunction == name)
        return nullptr;
    for (const Export& e : kExports) {
        if (std::strcmp(e.name, name) == 0)
            return e.address;
    }
    return nullptr;
}

void Unload(void* library) {
    if (library == &gLibrary)
        StrictHidState().Unloads++;
}

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

StrictHidControl& StrictHidState() {
    static StrictHidControl control;
    return control;
}

void ResetStrictHid() {
    StrictHidControl& c = StrictHidState();
    c.Loads = 0;
    c.Unloads = 0;
    c.LoadFails = false;
    c.MissingFunction.clear();
    c.UsagesFail = false;
    c.ValuesFail = false;
}

const HidLoader* StrictHidLoader() {
    return &kStrictLoader;
}

void InstallStrictHidLoader() {
    SetHidLoader(&kStrictLoader);
}

JoystickDevice* MakeStrictDevice(const StrictLayout& layout, void* rawHandle, bool prepare) {
    if (Failed(HoldAndBindHid()))
        return nullptr;
    InputBlock block;
    JoystickDevice* device = nullptr;
    if (!Failed(ReadCapabilities(&layout, &block))) {
        auto* preparsed = new uint8_t[sizeof layout];  // the device frees it with delete[]
        std::memcpy(preparsed, &layout, sizeof layout);
        DeviceIdentity identity;
        identity.RawHandle = rawHandle;
        identity.UsagePage = 1;
        identity.Usage = 5;
        device = new JoystickDevice(identity, preparsed, sizeof layout, new String(u"Controller"), block);
        if (prepare)
            PrepareInputs(*device);
    }
    LetGoHid();
    return device;
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
namespace {
std::atomic<int> gStarts{0}, gEnds{0};
HResult Start() {
    ++gStarts;
    return kOk;
}
void End() {
    ++gEnds;
}
}  // namespace

const ReaderThreadFunctions kFunctions = {Start, End, nullptr};

void Reset() {
    gStarts = gEnds = 0;
}
int Starts() {
    return gStarts;
}
bool Running() {
    return gStarts > gEnds;
}
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
