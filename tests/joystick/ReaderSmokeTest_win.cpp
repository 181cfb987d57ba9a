// The Win32 reader thread, its window and enumeration under Wine, with the raw-input calls
// replaced by a table of virtual devices and the HID parser by the substitute one. Reports
// reach the reader as WM_INPUT posted to its window, whose LPARAM names a report that the
// fake GetRawInputData copies out.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/FakeHid.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"
#include "joystick/RawInput_win.h"

namespace {

struct VirtualDevice {
    HANDLE Handle;
    DWORD Type;
    USHORT UsagePage;
    USHORT Usage;
    DWORD Vendor;
    DWORD Product;
};

// The virtual system: its devices, the reports waiting to be copied, the registrations.
// The thorough Wine tests of enumeration and the reader live in tests/joystick_win; this
// one only checks that the pieces work together.
struct VirtualSystem {
    std::vector<VirtualDevice> devices;
    FakeLayout layout = GamePadLayout();
    std::mutex mutex;
    std::map<uintptr_t, std::vector<uint8_t>> reports;  // by HRAWINPUT
    std::vector<RAWINPUTDEVICE> registrations;
};

VirtualSystem* gSystem = nullptr;

const VirtualDevice* Find(HANDLE handle) {
    for (const VirtualDevice& device : gSystem->devices) {
        if (device.Handle == handle)
            return &device;
    }
    return nullptr;
}

UINT WINAPI FakeDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize) {
    if (entrySize != sizeof(RAWINPUTDEVICELIST))
        return static_cast<UINT>(-1);
    const UINT have = static_cast<UINT>(gSystem->devices.size());
    if (list == nullptr) {
        *count = have;
        return 0;
    }
    if (*count < have) {
        *count = have;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    for (UINT i = 0; i < have; ++i) {
        list[i].hDevice = gSystem->devices[i].Handle;
        list[i].dwType = gSystem->devices[i].Type;
    }
    return have;
}

UINT WINAPI FakeDeviceInfo(HANDLE handle, UINT command, LPVOID data, PUINT size) {
    const VirtualDevice* device = Find(handle);
    if (device == nullptr)
        return static_cast<UINT>(-1);
    if (command == RIDI_DEVICEINFO) {
        if (*size < sizeof(RID_DEVICE_INFO))
            return static_cast<UINT>(-1);
        RID_DEVICE_INFO info = {};
        info.cbSize = sizeof(info);
        info.dwType = device->Type;
        info.hid.dwVendorId = device->Vendor;
        info.hid.dwProductId = device->Product;
        info.hid.usUsagePage = device->UsagePage;
        info.hid.usUsage = device->Usage;
        std::memcpy(data, &info, sizeof(info));
        return sizeof(info);
    }
    if (command == RIDI_PREPARSEDDATA) {
        if (data == nullptr) {
            *size = sizeof(FakeLayout);
            return 0;
        }
        if (*size < sizeof(FakeLayout))
            return static_cast<UINT>(-1);
        std::memcpy(data, &gSystem->layout, sizeof(FakeLayout));
        return sizeof(FakeLayout);
    }
    return static_cast<UINT>(-1);
}

BOOL WINAPI FakeRegister(PCRAWINPUTDEVICE devices, UINT count, UINT) {
    std::lock_guard<std::mutex> lock(gSystem->mutex);
    for (UINT i = 0; i < count; ++i)
        gSystem->registrations.push_back(devices[i]);
    return TRUE;
}

// Behaves as the system does: with no buffer it gives the size; a buffer too small fails.
UINT WINAPI FakeRawInputData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize) {
    if (command != RID_INPUT || headerSize != sizeof(RAWINPUTHEADER))
        return static_cast<UINT>(-1);
    std::lock_guard<std::mutex> lock(gSystem->mutex);
    auto found = gSystem->reports.find(reinterpret_cast<uintptr_t>(input));
    if (found == gSystem->reports.end())
        return static_cast<UINT>(-1);
    const UINT needed = static_cast<UINT>(found->second.size());
    if (data == nullptr) {
        *size = needed;
        return 0;
    }
    if (*size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(-1);
    }
    std::memcpy(data, found->second.data(), needed);
    return needed;
}

const RawInputFunctions kFakeRawInput = {FakeDeviceList, FakeDeviceInfo, FakeRegister, FakeRawInputData};

class ReaderSmokeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gSystem = &system;
        system.devices = {
            {reinterpret_cast<HANDLE>(0x101), RIM_TYPEKEYBOARD, 1, 6, 0x7A01, 1},
            {reinterpret_cast<HANDLE>(0x102), RIM_TYPEMOUSE, 1, 2, 0x7A01, 2},
            {reinterpret_cast<HANDLE>(0x103), RIM_TYPEHID, 0x0C, 1, 0x7A01, 3},  // consumer controls
            {reinterpret_cast<HANDLE>(0x104), RIM_TYPEHID, 1, 5, 0x7A01, 0x00AB},
            {reinterpret_cast<HANDLE>(0x105), RIM_TYPEHID, 1, 4, 0x7A02, 0x0010},
            {reinterpret_cast<HANDLE>(0x106), RIM_TYPEHID, 1, 5, 0x7A01, 0x00AB},
        };
        FakeHid::Reset();
        SetHidLoader(FakeHid::Loader());
        SetRawInputFunctions(&kFakeRawInput);
        ASSERT_EQ(kOk, JoystickStartup());
    }

    void TearDown() override {
        if (list != nullptr) {
            for (int32_t i = 0; i < list->Count(); ++i)
                StopReading(*static_cast<JoystickDevice*>(list->At(i)));
        }
        SafeRelease(list);
        JoystickShutdown();
        SetRawInputFunctions(nullptr);
        SetHidLoader(nullptr);
        EXPECT_EQ(nullptr, ReaderWindow());
        EXPECT_TRUE(AllInstanceCountersZero());
        gSystem = nullptr;
    }

    JoystickDevice* Device(int i) { return static_cast<JoystickDevice*>(list->At(i)); }

    void Enumerate() {
        ASSERT_EQ(kOk, EnumerateJoysticks(&list));
        ASSERT_NE(nullptr, list);
        for (int32_t i = 0; i < list->Count(); ++i)
            PrepareInputs(*Device(i));
    }

    // Queues a report under a new input handle and posts WM_INPUT for it.
    void Post(const std::vector<uint8_t>& raw) {
        const uintptr_t input = nextInput++;
        {
            std::lock_guard<std::mutex> lock(system.mutex);
            system.reports[input] = raw;
        }
        ASSERT_NE(nullptr, ReaderWindow());
        ASSERT_TRUE(PostMessageW(ReaderWindow(), WM_INPUT, RIM_INPUT, static_cast<LPARAM>(input)));
    }

    static bool WaitForSequence(const JoystickDevice& device, uint32_t beyond) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (device.Sequence.load() == beyond) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    VirtualSystem system;
    ObjectList* list = nullptr;
    uintptr_t nextInput = 0x5000;
};

TEST_F(ReaderSmokeTest, EnumeratedPadReadsReportsPostedToTheReaderWindow) {
    Enumerate();
    ASSERT_EQ(3, list->Count()) << "keyboard, mouse and consumer controls are left out";
    JoystickDevice* pad = Device(0);
    EXPECT_EQ(reinterpret_cast<void*>(0x104), pad->RawHandle);
    EXPECT_EQ(std::u16string(u"Controller"), pad->Name->Chars());

    ASSERT_EQ(kOk, StartReading(*pad));
    ASSERT_NE(nullptr, ReaderWindow());
    {
        std::lock_guard<std::mutex> lock(system.mutex);
        ASSERT_EQ(2u, system.registrations.size());
        EXPECT_EQ(static_cast<DWORD>(RIDEV_INPUTSINK), system.registrations[0].dwFlags);
        EXPECT_EQ(ReaderWindow(), system.registrations[0].hwndTarget);
    }
    EXPECT_EQ(0u, Poll(*pad));

    const uint32_t before = pad->Sequence.load();
    Post(RawInputBytes(pad->RawHandle, ReportBuilder(system.layout).Press(2).Set(0x39, 2).Bytes()));
    ASSERT_TRUE(WaitForSequence(*pad, before));
    EXPECT_NE(0u, Poll(*pad));
    EXPECT_EQ(1u, pad->Buttons[1].Value);
    EXPECT_EQ(3u, pad->Hats[0].Value);
    EXPECT_EQ(1u, pad->Hats[0].Directions[1].Value);
    EXPECT_EQ(0u, Poll(*pad));

    StopReading(*pad);
    EXPECT_EQ(nullptr, ReaderWindow());
    std::lock_guard<std::mutex> lock(system.mutex);
    ASSERT_EQ(4u, system.registrations.size());
    EXPECT_EQ(static_cast<DWORD>(RIDEV_REMOVE), system.registrations[2].dwFlags);
}

}  // namespace
