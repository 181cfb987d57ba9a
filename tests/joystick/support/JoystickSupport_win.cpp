// Support of the Windows joystick tests; see the header.
#include "JoystickSupport_win.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

namespace {

// The parser's own records, not in the MinGW headers; the layouts are the driver kit's,
// which Wine's hidparse.sys follows.
struct CollectionDesc {
    USHORT UsagePage, Usage;
    UCHAR CollectionNumber, Reserved[15];
    USHORT InputLength, OutputLength, FeatureLength, PreparsedDataLength;
    const uint8_t* PreparsedData;
};
struct DeviceDesc {
    CollectionDesc* Collections;
    ULONG CollectionCount;
    void* ReportIds;
    ULONG ReportIdCount;
    ULONG Debug[8];
};
using GetDescriptionFn = LONG(WINAPI*)(const UCHAR*, ULONG, int, DeviceDesc*);
using FreeDescriptionFn = void(WINAPI*)(DeviceDesc*);

}  // namespace

std::vector<uint8_t> RealDescriptor::Report(const Values& values, int reportId) const {
    const unsigned id = reportId >= 0 ? reportId : (fields.empty() ? 0 : fields[0].reportId);
    std::vector<uint8_t> report(length, 0);
    report[0] = static_cast<uint8_t>(id);
    for (const Field& field : fields) {
        if (field.reportId != id)
            continue;
        uint32_t value = field.rest;
        for (const auto& given : values)
            value = field.name == given.first ? given.second : value;
        for (unsigned i = 0; i < field.bits; ++i) {
            const unsigned bit = 8 + field.offset + i;
            if (bit / 8 < report.size() && ((value >> i) & 1u))
                report[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        }
    }
    return report;
}

std::vector<uint8_t> RealDescriptor::Preparsed(uint16_t* usagePage, uint16_t* usage) const {
    // Loaded once and never unloaded: loading it for every test would only slow the run.
    static HMODULE parser = LoadLibraryW(L"C:\\windows\\system32\\drivers\\hidparse.sys");
    static auto get = reinterpret_cast<GetDescriptionFn>(
        reinterpret_cast<void*>(GetProcAddress(parser, "HidP_GetCollectionDescription")));
    static auto release = reinterpret_cast<FreeDescriptionFn>(
        reinterpret_cast<void*>(GetProcAddress(parser, "HidP_FreeCollectionDescription")));
    std::vector<uint8_t> preparsed;
    DeviceDesc description = {};
    // Pool type 1 (non-paged) is what a driver asks for; here it is the heap. Wine's parser
    // answers HIDP_STATUS_SUCCESS rather than STATUS_SUCCESS.
    const LONG status =
        get != nullptr ? get(bytes.data(), static_cast<ULONG>(bytes.size()), 1, &description) : -1;
    if ((status == 0 || status == 0x00110000) && description.CollectionCount > 0) {
        const CollectionDesc& first = description.Collections[0];
        preparsed.assign(first.PreparsedData, first.PreparsedData + first.PreparsedDataLength);
        if (usagePage != nullptr)
            *usagePage = first.UsagePage;
        if (usage != nullptr)
            *usage = first.Usage;
        release(&description);
    }
    return preparsed;
}

// A line is "vendor N", "product N", "length N", "field ID NAME OFFSET BITS REST", or after
// "descriptor" hexadecimal bytes; '#' starts a comment.
const RealDescriptor& Descriptor(const std::string& name) {
    static std::map<std::string, RealDescriptor> loaded;
    auto found = loaded.find(name);
    if (found != loaded.end())
        return found->second;
    RealDescriptor& d = loaded[name];
    std::ifstream file(std::string(OMBRIX_DESCRIPTOR_DIR "/") + name + ".hid");
    bool inBytes = false;
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) {
            if (inBytes) {
                d.bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
            } else if (word == "descriptor") {
                inBytes = true;
            } else if (word == "field") {
                RealDescriptor::Field f;
                words >> f.reportId >> f.name >> f.offset >> f.bits >> f.rest;
                d.fields.push_back(f);
            } else {
                unsigned long n = 0;
                words >> std::setbase(0) >> n;
                (word == "vendor"    ? d.vendorId
                 : word == "product" ? d.productId
                                     : d.length) = static_cast<uint16_t>(n);
            }
        }
    }
    return d;
}

JoystickInput* FindInput(JoystickDevice& device, uint32_t usagePage, uint32_t usage) {
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        if (input.UsagePage == usagePage && input.Usage == usage)
            return &input;
    }
    return nullptr;
}

FakeRawInput& FakeRawInput::Instance() {
    static FakeRawInput instance;
    return instance;
}

void FakeRawInput::Install() {
    std::lock_guard<std::mutex> guard(lock_);
    devices_.clear();
    registrations_.clear();
    messages_.clear();
    listError_ = registrationError_ = 0;
    static const RawInputFunctions table = {&GetDeviceList, &GetDeviceInfo, &Register, &GetData};
    SetRawInputFunctions(&table);
}

void FakeRawInput::Uninstall() {
    SetRawInputFunctions(nullptr);
}

HANDLE FakeRawInput::AddHid(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                            const std::vector<uint8_t>& preparsed) {
    std::lock_guard<std::mutex> guard(lock_);
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle_);
    nextHandle_ += 0x10;
    RID_DEVICE_INFO_HID hid{vendorId, productId, 0x0100, usagePage, usage};
    devices_.push_back(Device{handle, hid, preparsed});
    return handle;
}

HANDLE FakeRawInput::Attach(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                            const std::vector<uint8_t>& preparsed) {
    HANDLE handle = AddHid(vendorId, productId, usagePage, usage, preparsed);
    PostMessageW(ReaderWindow(), WM_INPUT_DEVICE_CHANGE, GIDC_ARRIVAL, reinterpret_cast<LPARAM>(handle));
    return handle;
}

void FakeRawInput::Detach(HANDLE device) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                      [&](const Device& d) { return d.handle == device; }),
                       devices_.end());
    }
    PostMessageW(ReaderWindow(), WM_INPUT_DEVICE_CHANGE, GIDC_REMOVAL, reinterpret_cast<LPARAM>(device));
}

std::vector<RAWINPUTDEVICE> FakeRawInput::Registrations() {
    std::lock_guard<std::mutex> guard(lock_);
    return registrations_;
}

LPARAM FakeRawInput::Store(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(std::move(bytes));
    return static_cast<LPARAM>(messages_.size());  // from 1: a null HRAWINPUT stays invalid
}

bool FakeRawInput::Post(std::vector<uint8_t> bytes) {
    const LPARAM key = Store(std::move(bytes));
    HWND window = ReaderWindow();
    return window != nullptr && PostMessageW(window, WM_INPUT, RIM_INPUT, key) != FALSE;
}

namespace {
// The system's way of copying out: with no buffer, the size; with too small a buffer,
// ERROR_INSUFFICIENT_BUFFER; else everything, and the count.
UINT CopyOut(const void* source, UINT needed, void* data, PUINT size) {
    if (data == nullptr) {
        *size = needed;
        return 0;
    }
    if (*size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    if (needed > 0)
        std::memcpy(data, source, needed);
    return needed;
}
}  // namespace

UINT WINAPI FakeRawInput::GetDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    if (self.listError_ != 0 || count == nullptr || entrySize != sizeof(RAWINPUTDEVICELIST)) {
        SetLastError(self.listError_ != 0 ? self.listError_.load() : ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(-1);
    }
    std::vector<RAWINPUTDEVICELIST> entries;
    for (const Device& d : self.devices_)
        entries.push_back(RAWINPUTDEVICELIST{d.handle, RIM_TYPEHID});
    UINT bytes = *count * entrySize;
    const UINT copied = CopyOut(entries.data(), static_cast<UINT>(entries.size() * entrySize), list, &bytes);
    *count = bytes / entrySize;
    return copied == static_cast<UINT>(-1) || list == nullptr ? copied : copied / entrySize;
}

UINT WINAPI FakeRawInput::GetDeviceInfo(HANDLE handle, UINT command, LPVOID data, PUINT size) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    const auto device = std::find_if(self.devices_.begin(), self.devices_.end(),
                                     [&](const Device& d) { return d.handle == handle; });
    if (device == self.devices_.end() || size == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    if (command == RIDI_DEVICEINFO) {
        RID_DEVICE_INFO info = {};
        info.cbSize = sizeof info;
        info.dwType = RIM_TYPEHID;
        info.hid = device->hid;
        if (data != nullptr && static_cast<RID_DEVICE_INFO*>(data)->cbSize != sizeof info) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return static_cast<UINT>(-1);
        }
        return CopyOut(&info, sizeof info, data, size);
    }
    if (command == RIDI_PREPARSEDDATA)
        return CopyOut(device->preparsed.data(), static_cast<UINT>(device->preparsed.size()), data, size);
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<UINT>(-1);
}

BOOL WINAPI FakeRawInput::Register(PCRAWINPUTDEVICE devices, UINT count, UINT entrySize) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    for (UINT i = 0; entrySize == sizeof(RAWINPUTDEVICE) && i < count; ++i)
        self.registrations_.push_back(devices[i]);
    SetLastError(self.registrationError_);
    return self.registrationError_ == 0;
}

UINT WINAPI FakeRawInput::GetData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    const size_t key = reinterpret_cast<size_t>(input);
    if (command != RID_INPUT || headerSize != sizeof(RAWINPUTHEADER) || size == nullptr || key == 0 ||
        key > self.messages_.size()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    const std::vector<uint8_t>& bytes = self.messages_[key - 1];
    return CopyOut(bytes.data(), static_cast<UINT>(bytes.size()), data, size);
}
