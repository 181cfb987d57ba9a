// The substitute HID parser used by the native joystick tests.
#include "FakeHid.h"

#include <cstring>

#include "joystick/InputCatalogue.h"

namespace {

int gLibraryToken;

const FakeLayout* Layout(const void* preparsed) {
    const auto* layout = static_cast<const FakeLayout*>(preparsed);
    return layout != nullptr && layout->Magic == 0x46414B45 ? layout : nullptr;
}

// Reads the whole report, as a parser that trusted the length would.
bool CheckReport(const FakeLayout& layout, const char* report, uint32_t length) {
    uint32_t longest = FakeHid::State().LongestReport.load();
    while (length > longest && !FakeHid::State().LongestReport.compare_exchange_weak(longest, length)) {
    }
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < length; ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(report[i]));
    (void)sum;
    return length == layout.ReportLength;
}

HidStatus GetCaps(const void* preparsed, HidCaps* caps) {
    const FakeLayout* layout = Layout(preparsed);
    if (layout == nullptr)
        return kHidStatusInvalidPreparsedData;
    *caps = HidCaps{};
    caps->UsagePage = 1;
    caps->Usage = 5;
    caps->InputReportByteLength = layout->ReportLength;
    caps->NumberInputButtonCaps = layout->ButtonRangeCount;
    caps->NumberInputValueCaps = layout->ValueCount;
    return kHidStatusSuccess;
}

HidStatus GetButtonCaps(int32_t type, uint16_t, uint16_t, uint16_t, HidButtonCaps* caps, uint16_t* length,
                        const void* preparsed) {
    const FakeLayout* layout = Layout(preparsed);
    if (layout == nullptr)
        return kHidStatusInvalidPreparsedData;
    if (type != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (layout->ButtonRangeCount == 0)
        return kHidStatusUsageNotFound;
    if (*length < layout->ButtonRangeCount)
        return kHidStatusBufferTooSmall;
    for (int i = 0; i < layout->ButtonRangeCount; ++i) {
        const FakeButtonRange& range = layout->Buttons[i];
        caps[i] = HidButtonCaps{};
        caps[i].UsagePage = range.UsagePage;
        caps[i].IsAbsolute = 1;
        caps[i].IsRange = range.IsRange;
        if (range.IsRange) {
            caps[i].Range.UsageMin = range.UsageMin;
            caps[i].Range.UsageMax = range.UsageMax;
        } else {
            caps[i].NotRange.Usage = range.UsageMin;
        }
    }
    *length = layout->ButtonRangeCount;
    return kHidStatusSuccess;
}

HidStatus GetValueCaps(int32_t type, uint16_t, uint16_t, uint16_t, HidValueCaps* caps, uint16_t* length,
                       const void* preparsed) {
    const FakeLayout* layout = Layout(preparsed);
    if (layout == nullptr)
        return kHidStatusInvalidPreparsedData;
    if (type != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (layout->ValueCount == 0)
        return kHidStatusUsageNotFound;
    if (*length < layout->ValueCount)
        return kHidStatusBufferTooSmall;
    for (int i = 0; i < layout->ValueCount; ++i) {
        const FakeValueField& field = layout->Values[i];
        caps[i] = HidValueCaps{};
        caps[i].UsagePage = field.UsagePage;
        caps[i].IsAbsolute = field.Absolute;
        caps[i].BitSize = field.BitSize;
        caps[i].ReportCount = 1;
        caps[i].LogicalMin = field.LogicalMin;
        caps[i].LogicalMax = field.LogicalMax;
        caps[i].NotRange.Usage = field.Usage;
    }
    *length = layout->ValueCount;
    return kHidStatusSuccess;
}

uint8_t GetProductString(void*, void*, uint32_t) {
    return 0;
}

HidStatus GetUsages(int32_t type, uint16_t usagePage, uint16_t, uint16_t* list, uint32_t* length,
                    const void* preparsed, char* report, uint32_t reportLength) {
    const FakeLayout* layout = Layout(preparsed);
    if (layout == nullptr)
        return kHidStatusInvalidPreparsedData;
    if (type != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (!CheckReport(*layout, report, reportLength))
        return kHidStatusInvalidReportLength;
    if (FakeHid::State().UsagesFail)
        return kHidStatusUsageNotFound;
    uint32_t found = 0;
    bool pageKnown = false;
    for (int r = 0; r < layout->ButtonRangeCount; ++r) {
        const FakeButtonRange& range = layout->Buttons[r];
        if (range.UsagePage != usagePage)
            continue;
        pageKnown = true;
        const uint32_t count = range.IsRange ? range.UsageMax - range.UsageMin + 1u : 1u;
        for (uint32_t bit = 0; bit < count; ++bit) {
            if ((static_cast<uint8_t>(report[range.Offset + bit / 8]) >> (bit % 8) & 1) == 0)
                continue;
            if (found < *length)
                list[found] = static_cast<uint16_t>(range.UsageMin + bit);
            ++found;
        }
    }
    if (!pageKnown)
        return kHidStatusUsageNotFound;
    if (found > *length) {
        *length = found;
        return kHidStatusBufferTooSmall;
    }
    *length = found;
    return kHidStatusSuccess;
}

HidStatus GetUsageValue(int32_t type, uint16_t usagePage, uint16_t, uint16_t usage, uint32_t* value,
                        const void* preparsed, char* report, uint32_t reportLength) {
    const FakeLayout* layout = Layout(preparsed);
    if (layout == nullptr)
        return kHidStatusInvalidPreparsedData;
    if (type != kHidReportInput)
        return kHidStatusInvalidReportType;
    if (!CheckReport(*layout, report, reportLength))
        return kHidStatusInvalidReportLength;
    if (FakeHid::State().ValuesFail)
        return kHidStatusUsageNotFound;
    for (int i = 0; i < layout->ValueCount; ++i) {
        const FakeValueField& field = layout->Values[i];
        if (field.UsagePage != usagePage || field.Usage != usage)
            continue;
        uint32_t raw = 0;
        for (int b = 0; b < field.Bytes; ++b) {
            raw |= static_cast<uint32_t>(static_cast<uint8_t>(report[field.Offset + b])) << (8 * b);
        }
        *value = raw;
        return kHidStatusSuccess;
    }
    return kHidStatusUsageNotFound;
}

void* Load(const char16_t* name) {
    if (FakeHid::State().LoadFails || std::u16string(name) != u"hid.dll")
        return nullptr;
    FakeHid::State().Loads++;
    return &gLibraryToken;
}

void* Find(void* library, const char* name) {
    if (library != &gLibraryToken || FakeHid::State().MissingFunction == name)
        return nullptr;
    const std::string wanted = name;
    if (wanted == "HidP_GetCaps")
        return reinterpret_cast<void*>(&GetCaps);
    if (wanted == "HidP_GetSpecificButtonCaps")
        return reinterpret_cast<void*>(&GetButtonCaps);
    if (wanted == "HidP_GetSpecificValueCaps")
        return reinterpret_cast<void*>(&GetValueCaps);
    if (wanted == "HidD_GetProductString")
        return reinterpret_cast<void*>(&GetProductString);
    if (wanted == "HidP_GetUsages")
        return reinterpret_cast<void*>(&GetUsages);
    if (wanted == "HidP_GetUsageValue")
        return reinterpret_cast<void*>(&GetUsageValue);
    return nullptr;
}

void Unload(void* library) {
    if (library == &gLibraryToken)
        FakeHid::State().Unloads++;
}

const HidLoader kLoader = {Load, Find, Unload};

}  // namespace

FakeValueField& FakeLayout::AddValue(uint16_t usage, uint16_t offset, uint8_t bytes, int32_t logicalMin,
                                     int32_t logicalMax) {
    FakeValueField& field = Values[ValueCount++];
    field = FakeValueField{};
    field.Usage = usage;
    field.Offset = offset;
    field.Bytes = bytes;
    field.BitSize = static_cast<uint16_t>(bytes * 8);
    field.LogicalMin = logicalMin;
    field.LogicalMax = logicalMax;
    return field;
}

FakeLayout GamePadLayout() {
    FakeLayout layout;
    layout.ReportLength = 8;
    layout.Buttons[0] = FakeButtonRange{};
    layout.AddValue(0x30, 3, 1, 0, 255);
    layout.AddValue(0x31, 4, 1, 0, 255);
    FakeValueField& hat = layout.AddValue(0x39, 5, 1, 1, 8);
    hat.BitSize = 4;
    return layout;
}

namespace FakeHid {

Control& State() {
    static Control control;
    return control;
}

void Reset() {
    Control& c = State();
    c.Loads = 0;
    c.Unloads = 0;
    c.LoadFails = false;
    c.MissingFunction.clear();
    c.UsagesFail = false;
    c.ValuesFail = false;
    c.LongestReport = 0;
}

const HidLoader* Loader() {
    return &kLoader;
}

uint8_t* MakePreparsed(const FakeLayout& layout, uint32_t* size) {
    auto* bytes = new uint8_t[sizeof(FakeLayout)];
    std::memcpy(bytes, &layout, sizeof(FakeLayout));
    *size = sizeof(FakeLayout);
    return bytes;
}

JoystickDevice* MakeDevice(const FakeLayout& layout, void* rawHandle, bool prepare) {
    if (Failed(HoldAndBindHid()))
        return nullptr;
    uint32_t size = 0;
    uint8_t* preparsed = MakePreparsed(layout, &size);
    InputBlock block;
    JoystickDevice* device = nullptr;
    if (Failed(ReadCapabilities(preparsed, &block))) {
        delete[] preparsed;
    } else {
        DeviceIdentity identity;
        identity.RawHandle = rawHandle;
        identity.UsagePage = 1;
        identity.Usage = 5;
        device = new JoystickDevice(identity, preparsed, size, new String(u"Pad"), block);
        if (prepare)
            PrepareInputs(*device);
    }
    LetGoHid();
    return device;
}

}  // namespace FakeHid

ReportBuilder& ReportBuilder::Press(uint16_t usage, int range) {
    const FakeButtonRange& buttons = layout_.Buttons[range];
    const uint32_t bit = usage - buttons.UsageMin;
    bytes_[buttons.Offset + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    return *this;
}

ReportBuilder& ReportBuilder::Set(uint16_t usage, uint32_t value) {
    for (int i = 0; i < layout_.ValueCount; ++i) {
        const FakeValueField& field = layout_.Values[i];
        if (field.Usage != usage)
            continue;
        for (int b = 0; b < field.Bytes; ++b)
            bytes_[field.Offset + b] = static_cast<uint8_t>(value >> (8 * b));
    }
    return *this;
}

std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report, uint32_t claimedSize,
                                   uint32_t count) {
    std::vector<uint8_t> raw(32 + report.size(), 0);
    const uint32_t type = 2;
    const uint32_t total = static_cast<uint32_t>(raw.size());
    const uint64_t handle = reinterpret_cast<uintptr_t>(device);
    const uint32_t size = claimedSize;
    std::memcpy(&raw[0], &type, 4);
    std::memcpy(&raw[4], &total, 4);
    std::memcpy(&raw[8], &handle, 8);
    std::memcpy(&raw[24], &size, 4);
    std::memcpy(&raw[28], &count, 4);
    if (!report.empty())
        std::memcpy(&raw[32], report.data(), report.size());
    return raw;
}

std::vector<uint8_t> RawInputBytes(void* device, const std::vector<uint8_t>& report) {
    return RawInputBytes(device, report, static_cast<uint32_t>(report.size()), 1);
}
