// Enumeration of the joysticks and game pads attached to the system, and their names from
// the system's OEM names. User-interface thread, at start-up and at each re-listing when
// devices come or go.
#include <windows.h>

#include <memory>
#include <new>

#include "core/Handle_win.h"
#include "core/LastError_win.h"
#include "joystick/DeviceNaming.h"
#include "joystick/HidFunctions.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickDevice.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/RawInput_win.h"
#include "text/TextSources_win.h"

static_assert(sizeof(RAWINPUTDEVICELIST) == 16, "device list entry");
static_assert(sizeof(RID_DEVICE_INFO) == 32, "device information record");

namespace {

constexpr UINT kFailedCall = static_cast<UINT>(-1);
// A device attached between the count and the list makes the list call ask for more room.
constexpr int kListAttempts = 4;

bool IsJoystickOrGamePad(const RID_DEVICE_INFO& info) {
    return info.dwType == RIM_TYPEHID && info.hid.usUsagePage == 1 &&
           (info.hid.usUsage == 4 || info.hid.usUsage == 5);
}

// The device information of a raw-input device that is a joystick or game pad.
bool ReadJoystickInfo(HANDLE handle, RID_DEVICE_INFO* info) {
    *info = {};
    info->cbSize = sizeof(*info);
    UINT size = sizeof(*info);
    const UINT got = RawInput().GetRawInputDeviceInfoW(handle, RIDI_DEVICEINFO, info, &size);
    return got != kFailedCall && got != 0 && IsJoystickOrGamePad(*info);
}

// The device's path, or null when it cannot be read.
String* ReadDevicePath(HANDLE handle) {
    UINT units = 0;
    if (RawInput().GetRawInputDeviceInfoW(handle, RIDI_DEVICENAME, nullptr, &units) != 0 || units == 0 ||
        units > 4096)
        return nullptr;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[units + 1]);
    if (path == nullptr)
        return nullptr;
    UINT room = units;
    const UINT copied = RawInput().GetRawInputDeviceInfoW(handle, RIDI_DEVICENAME, path.get(), &room);
    if (copied == kFailedCall || copied == 0 || copied > units)
        return nullptr;
    path[copied] = 0;
    return new (std::nothrow) String(reinterpret_cast<const char16_t*>(path.get()));
}

// Builds the device for one list entry and appends it, or skips the entry silently.
void AddDevice(const RAWINPUTDEVICELIST& entry, ObjectList* list) {
    if (entry.dwType != RIM_TYPEHID)
        return;
    JoystickDevice* device = MakeJoystick(entry.hDevice);
    if (device == nullptr)
        return;
    list->Append(device);  // on failure the device simply goes with the release below
    device->Release();
}

}  // namespace

JoystickDevice* MakeJoystick(void* rawHandle) {
    const RawInputFunctions& raw = RawInput();
    HANDLE handle = static_cast<HANDLE>(rawHandle);
    RID_DEVICE_INFO info;
    if (!ReadJoystickInfo(handle, &info))
        return nullptr;

    UINT preparsedSize = 0;
    if (raw.GetRawInputDeviceInfoW(handle, RIDI_PREPARSEDDATA, nullptr, &preparsedSize) != 0 ||
        preparsedSize == 0) {
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> preparsed(new (std::nothrow) uint8_t[preparsedSize]);
    if (preparsed == nullptr)
        return nullptr;
    UINT readSize = preparsedSize;
    const UINT read = raw.GetRawInputDeviceInfoW(handle, RIDI_PREPARSEDDATA, preparsed.get(), &readSize);
    if (read == kFailedCall || read == 0 || read > preparsedSize)
        return nullptr;

    // The capabilities are read and the device built while the library is held; the
    // device then holds it itself.
    if (Failed(HoldAndBindHid()))
        return nullptr;
    InputBlock block;
    String* name = nullptr;
    JoystickDevice* device = nullptr;
    if (!Failed(ReadCapabilities(preparsed.get(), &block)) &&
        (name = LookupDeviceName(info.hid.dwVendorId, info.hid.dwProductId)) != nullptr) {
        DeviceIdentity identity;
        identity.RawHandle = handle;
        identity.VendorId = info.hid.dwVendorId;
        identity.ProductId = info.hid.dwProductId;
        identity.VersionNumber = info.hid.dwVersionNumber;
        identity.UsagePage = info.hid.usUsagePage;
        identity.Usage = info.hid.usUsage;
        device = new (std::nothrow) JoystickDevice(identity, preparsed.get(), read, name, block);
    }
    if (device != nullptr) {
        preparsed.release();
        device->Path = ReadDevicePath(handle);
    } else {
        // Nobody took them over: nothing leaks.
        ReleaseInputBlock(block);
        SafeRelease(name);
    }
    LetGoHid();
    return device;
}

namespace {

// The system's device list; a device attached between the count and the list makes the
// list call ask for more room, and the round is repeated.
HResult FetchDeviceList(std::unique_ptr<RAWINPUTDEVICELIST[]>* entries, UINT* listed) {
    const RawInputFunctions& raw = RawInput();
    *listed = 0;
    UINT count = 0;
    if (raw.GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == kFailedCall)
        return LastErrorCode();
    for (int attempt = 0; attempt < kListAttempts && count > 0; ++attempt) {
        entries->reset(new (std::nothrow) RAWINPUTDEVICELIST[count]);
        if (*entries == nullptr)
            return kOutOfMemory;
        UINT room = count;
        const UINT got = raw.GetRawInputDeviceList(entries->get(), &room, sizeof(RAWINPUTDEVICELIST));
        if (got != kFailedCall) {
            *listed = got < count ? got : count;
            return kOk;
        }
        const HResult code = LastErrorCode();
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || room <= count)
            return code;
        count = room;
    }
    return count > 0 ? LastErrorCode() : kOk;
}

}  // namespace

HResult EnumerateJoysticks(ObjectList** out) {
    if (out == nullptr)
        return kInvalidArg;
    *out = nullptr;
    HResult code = HoldAndBindHid();
    if (Failed(code))
        return code;
    std::unique_ptr<RAWINPUTDEVICELIST[]> entries;
    UINT listed = 0;
    code = FetchDeviceList(&entries, &listed);
    if (!Failed(code)) {
        ObjectList* list = new (std::nothrow) ObjectList;
        for (UINT i = 0; list != nullptr && i < listed; ++i)
            AddDevice(entries[i], list);
        *out = list;
        code = list != nullptr ? kOk : kOutOfMemory;
    }
    LetGoHid();
    return code;
}

HResult ListJoysticks(void** handles, uint32_t capacity, uint32_t* count) {
    std::unique_ptr<RAWINPUTDEVICELIST[]> entries;
    UINT listed = 0;
    *count = 0;
    const HResult code = FetchDeviceList(&entries, &listed);
    if (Failed(code))
        return code;
    uint32_t& found = *count;
    for (UINT i = 0; i < listed && found < capacity; ++i) {
        RID_DEVICE_INFO info;
        if (entries[i].dwType == RIM_TYPEHID && ReadJoystickInfo(entries[i].hDevice, &info))
            handles[found++] = entries[i].hDevice;
    }
    return kOk;
}

String* LookupDeviceName(uint32_t vendorId, uint32_t productId) {
    char16_t keyName[128];
    FormatOemKeyName(vendorId, productId, keyName, 128);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(keyName), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS) {
        return DeviceNameFromOemText(nullptr);
    }
    const ScopedKey key(opened);
    return DeviceNameFromOemText(TextSources::ReadKeyString(key.Get(), L"OEMName"));
}
