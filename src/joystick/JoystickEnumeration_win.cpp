// Enumeration of the joysticks and game pads attached to the system, and their names from
// the system's OEM names. User-interface thread, once at start-up.
#include <windows.h>

#include <memory>
#include <new>

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

// Builds the device for one list entry and appends it, or skips the entry silently.
void AddDevice(const RAWINPUTDEVICELIST& entry, ObjectList* list) {
    const RawInputFunctions& raw = RawInput();
    if (entry.dwType != RIM_TYPEHID)
        return;

    RID_DEVICE_INFO info = {};
    info.cbSize = sizeof(info);
    UINT size = sizeof(info);
    const UINT got = raw.GetRawInputDeviceInfoW(entry.hDevice, RIDI_DEVICEINFO, &info, &size);
    if (got == kFailedCall || got == 0 || !IsJoystickOrGamePad(info))
        return;

    UINT preparsedSize = 0;
    if (raw.GetRawInputDeviceInfoW(entry.hDevice, RIDI_PREPARSEDDATA, nullptr, &preparsedSize) != 0 ||
        preparsedSize == 0) {
        return;
    }
    std::unique_ptr<uint8_t[]> preparsed(new (std::nothrow) uint8_t[preparsedSize]);
    if (preparsed == nullptr)
        return;
    UINT readSize = preparsedSize;
    const UINT read =
        raw.GetRawInputDeviceInfoW(entry.hDevice, RIDI_PREPARSEDDATA, preparsed.get(), &readSize);
    if (read == kFailedCall || read == 0 || read > preparsedSize)
        return;

    InputBlock block;
    if (Failed(ReadCapabilities(preparsed.get(), &block)))
        return;
    String* name = LookupDeviceName(info.hid.dwVendorId, info.hid.dwProductId);
    if (name == nullptr) {
        ReleaseInputBlock(block);
        return;
    }
    DeviceIdentity identity;
    identity.RawHandle = entry.hDevice;
    identity.VendorId = info.hid.dwVendorId;
    identity.ProductId = info.hid.dwProductId;
    identity.VersionNumber = info.hid.dwVersionNumber;
    identity.UsagePage = info.hid.usUsagePage;
    identity.Usage = info.hid.usUsage;
    auto* device = new (std::nothrow) JoystickDevice(identity, preparsed.get(), read, name, block);
    if (device == nullptr) {
        // Nobody took them over: no empty entry is appended and nothing leaks.
        ReleaseInputBlock(block);
        name->Release();
        return;
    }
    preparsed.release();
    list->Append(device);  // on failure the device simply goes with the release below
    device->Release();
}

}  // namespace

HResult EnumerateJoysticks(ObjectList** out) {
    if (out == nullptr)
        return kInvalidArg;
    *out = nullptr;
    HResult code = HoldAndBindHid();
    if (Failed(code))
        return code;

    const RawInputFunctions& raw = RawInput();
    UINT count = 0;
    if (raw.GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == kFailedCall) {
        code = LastErrorCode();
    } else if (ObjectList* list = new (std::nothrow) ObjectList) {
        std::unique_ptr<RAWINPUTDEVICELIST[]> entries;
        UINT listed = 0;
        for (int attempt = 0; attempt < kListAttempts && count > 0; ++attempt) {
            entries.reset(new (std::nothrow) RAWINPUTDEVICELIST[count]);
            if (entries == nullptr) {
                code = kOutOfMemory;
                break;
            }
            UINT room = count;
            listed = raw.GetRawInputDeviceList(entries.get(), &room, sizeof(RAWINPUTDEVICELIST));
            if (listed != kFailedCall) {
                code = kOk;
                break;
            }
            code = LastErrorCode();
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || room <= count)
                break;
            count = room;
        }
        if (count > 0 && Failed(code)) {
            list->Release();
        } else {
            for (UINT i = 0; i < listed && i < count; ++i)
                AddDevice(entries[i], list);
            *out = list;
            code = kOk;
        }
    } else {
        code = kOutOfMemory;
    }
    LetGoHid();
    return code;
}

String* LookupDeviceName(uint32_t vendorId, uint32_t productId) {
    char16_t keyName[128];
    FormatOemKeyName(vendorId, productId, keyName, 128);
    HKEY key = nullptr;
    String* oemText = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(keyName), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        oemText = TextSources::ReadKeyString(key, L"OEMName");  // closes the key
    }
    return DeviceNameFromOemText(oemText);
}
