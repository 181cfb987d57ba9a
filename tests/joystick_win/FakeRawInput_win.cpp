// The raw-input stand-in; see the header.
#include "FakeRawInput_win.h"

#include <cstring>

FakeRawInput& FakeRawInput::Instance() {
    static FakeRawInput instance;
    return instance;
}

void FakeRawInput::Install() {
    devices_.clear();
    listError_ = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        registrationError_ = 0;
        registrations_.clear();
        messages_.clear();
        dataCalls_ = 0;
    }
    static const RawInputFunctions table = {&FakeRawInput::GetDeviceList, &FakeRawInput::GetDeviceInfo,
                                            &FakeRawInput::Register, &FakeRawInput::GetData};
    SetRawInputFunctions(&table);
}

void FakeRawInput::Uninstall() {
    SetRawInputFunctions(nullptr);
}

HANDLE FakeRawInput::AddDevice(DWORD type, RID_DEVICE_INFO_HID hid, const std::vector<uint8_t>& preparsed) {
    // Handles that look like the system's: small, distinct, never null.
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x10001 + 0x10 * devices_.size()));
    devices_.push_back(Device{handle, type, hid, preparsed, false});
    return handle;
}

HANDLE FakeRawInput::AddKeyboard() {
    return AddDevice(RIM_TYPEKEYBOARD, RID_DEVICE_INFO_HID{}, {});
}

HANDLE FakeRawInput::AddMouse() {
    return AddDevice(RIM_TYPEMOUSE, RID_DEVICE_INFO_HID{}, {});
}

HANDLE FakeRawInput::AddHid(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                            const std::vector<uint8_t>& preparsed) {
    RID_DEVICE_INFO_HID hid{};
    hid.dwVendorId = vendorId;
    hid.dwProductId = productId;
    hid.dwVersionNumber = 0x0100;
    hid.usUsagePage = usagePage;
    hid.usUsage = usage;
    return AddDevice(RIM_TYPEHID, hid, preparsed);
}

void FakeRawInput::FailPreparsedData(HANDLE device) {
    for (Device& d : devices_) {
        if (d.handle == device)
            d.preparsedFails = true;
    }
}

void FakeRawInput::RefuseRegistration(DWORD error) {
    std::lock_guard<std::mutex> guard(lock_);
    registrationError_ = error;
}

std::vector<RAWINPUTDEVICE> FakeRawInput::Registrations() {
    std::lock_guard<std::mutex> guard(lock_);
    return registrations_;
}

int FakeRawInput::GetRawInputDataCalls() {
    std::lock_guard<std::mutex> guard(lock_);
    return dataCalls_;
}

const FakeRawInput::Device* FakeRawInput::Find(HANDLE handle) const {
    for (const Device& d : devices_) {
        if (d.handle == handle)
            return &d;
    }
    return nullptr;
}

LPARAM FakeRawInput::Store(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(std::move(bytes));
    // Keys start at 1: a null HRAWINPUT must stay invalid.
    return static_cast<LPARAM>(messages_.size());
}

std::vector<uint8_t> FakeRawInput::HidMessage(HANDLE device, const std::vector<uint8_t>& report,
                                              uint32_t sizeField, uint32_t countField) {
    std::vector<uint8_t> bytes(32 + report.size(), 0);
    const DWORD type = RIM_TYPEHID;
    const DWORD total = static_cast<DWORD>(bytes.size());
    std::memcpy(&bytes[0], &type, 4);
    std::memcpy(&bytes[4], &total, 4);
    std::memcpy(&bytes[8], &device, sizeof device);
    std::memcpy(&bytes[24], &sizeField, 4);
    std::memcpy(&bytes[28], &countField, 4);
    if (!report.empty())
        std::memcpy(&bytes[32], report.data(), report.size());
    return bytes;
}

bool FakeRawInput::Post(std::vector<uint8_t> bytes) {
    const LPARAM key = Store(std::move(bytes));
    HWND window = ReaderWindow();
    return window != nullptr && PostMessageW(window, WM_INPUT, RIM_INPUT, key) != FALSE;
}

UINT WINAPI FakeRawInput::GetDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize) {
    FakeRawInput& self = Instance();
    if (self.listError_ != 0) {
        SetLastError(self.listError_);
        return static_cast<UINT>(-1);
    }
    if (count == nullptr || entrySize != sizeof(RAWINPUTDEVICELIST)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(-1);
    }
    const UINT n = static_cast<UINT>(self.devices_.size());
    if (list == nullptr) {
        *count = n;
        return 0;
    }
    if (*count < n) {
        *count = n;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    for (UINT i = 0; i < n; ++i) {
        list[i].hDevice = self.devices_[i].handle;
        list[i].dwType = self.devices_[i].type;
    }
    return n;
}

UINT WINAPI FakeRawInput::GetDeviceInfo(HANDLE handle, UINT command, LPVOID data, PUINT size) {
    const Device* device = Instance().Find(handle);
    if (device == nullptr || size == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    if (command == RIDI_DEVICEINFO) {
        if (data == nullptr) {
            *size = sizeof(RID_DEVICE_INFO);
            return 0;
        }
        auto* info = static_cast<RID_DEVICE_INFO*>(data);
        if (*size < sizeof(RID_DEVICE_INFO) || info->cbSize != sizeof(RID_DEVICE_INFO)) {
            *size = sizeof(RID_DEVICE_INFO);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return static_cast<UINT>(-1);
        }
        std::memset(info, 0, sizeof *info);
        info->cbSize = sizeof(RID_DEVICE_INFO);
        info->dwType = device->type;
        if (device->type == RIM_TYPEHID)
            info->hid = device->hid;
        if (device->type == RIM_TYPEKEYBOARD)
            info->keyboard.dwNumberOfKeysTotal = 101;
        if (device->type == RIM_TYPEMOUSE)
            info->mouse.dwNumberOfButtons = 3;
        return sizeof(RID_DEVICE_INFO);
    }
    if (command == RIDI_PREPARSEDDATA) {
        if (device->type != RIM_TYPEHID || device->preparsedFails) {
            SetLastError(ERROR_INVALID_HANDLE);
            return static_cast<UINT>(-1);
        }
        const UINT needed = static_cast<UINT>(device->preparsed.size());
        if (data == nullptr) {
            *size = needed;
            return 0;
        }
        if (*size < needed) {
            *size = needed;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return static_cast<UINT>(-1);
        }
        std::memcpy(data, device->preparsed.data(), needed);
        return needed;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<UINT>(-1);
}

BOOL WINAPI FakeRawInput::Register(PCRAWINPUTDEVICE devices, UINT count, UINT entrySize) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    if (entrySize == sizeof(RAWINPUTDEVICE)) {
        for (UINT i = 0; i < count; ++i)
            self.registrations_.push_back(devices[i]);
    }
    if (self.registrationError_ != 0) {
        SetLastError(self.registrationError_);
        return FALSE;
    }
    return TRUE;
}

// Copies like the system does: with no buffer it gives the size; a buffer too small fails
// with ERROR_INSUFFICIENT_BUFFER; otherwise it copies everything and returns the count.
UINT WINAPI FakeRawInput::GetData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize) {
    FakeRawInput& self = Instance();
    std::lock_guard<std::mutex> guard(self.lock_);
    ++self.dataCalls_;
    const size_t key = reinterpret_cast<size_t>(input);
    if (command != RID_INPUT || headerSize != sizeof(RAWINPUTHEADER) || size == nullptr || key == 0 ||
        key > self.messages_.size()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<UINT>(-1);
    }
    const std::vector<uint8_t>& bytes = self.messages_[key - 1];
    const UINT needed = static_cast<UINT>(bytes.size());
    if (data == nullptr) {
        *size = needed;
        return 0;
    }
    if (*size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    if (needed > 0)
        std::memcpy(data, bytes.data(), needed);
    return needed;
}
