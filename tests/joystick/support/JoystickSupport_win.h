// Support of the Windows joystick tests and the Windows benchmark:
// - the real devices: report descriptors kept as data in descriptors/NAME.hid, turned into
//   the preparsed data the device would give by the system's parser (hidparse.sys, loaded
//   as an ordinary DLL);
// - FakeRawInput, a stand-in for the raw-input calls: virtual devices, a registration that
//   can be refused, and WM_INPUT messages whose bytes (RawInputBytes) GetRawInputData hands
//   the reader.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "joystick/JoystickDevice.h"
#include "joystick/RawInput_win.h"
#include "StrictHid.h"  // RawInputBytes: the bytes GetRawInputData copies for a report

struct RealDescriptor {
    struct Field {
        unsigned reportId, offset, bits;  // offset in bits after the report-id byte
        std::string name;
        uint32_t rest;
    };
    std::vector<uint8_t> bytes;
    uint16_t vendorId = 0, productId = 0, length = 0;  // length with the report-id byte
    std::vector<Field> fields;

    // An input report with every field at rest but those given; report id -1 is the first one's.
    using Values = std::vector<std::pair<std::string, uint32_t>>;  // field name, value
    std::vector<uint8_t> Report(const Values& values = {}, int reportId = -1) const;
    // The parser's preparsed data for the first top-level collection; empty when refused.
    std::vector<uint8_t> Preparsed(uint16_t* usagePage = nullptr, uint16_t* usage = nullptr) const;
};

// flight_stick, gamepad12, signed_pad, two_sliders or wireless_pad; read once.
const RealDescriptor& Descriptor(const std::string& name);

JoystickInput* FindInput(JoystickDevice& device, uint32_t usagePage, uint32_t usage);

// Polls the condition every millisecond for up to five seconds.
template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 5000 && !condition(); ++i)
        Sleep(1);
    return condition();
}

// GetRawInputData runs on the reader thread, hence the lock around what it reaches.
class FakeRawInput {
  public:
    static FakeRawInput& Instance();
    // Installs the table and forgets every device and message.
    void Install();
    void Uninstall();

    HANDLE AddHid(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                  const std::vector<uint8_t>& preparsed);
    // A device plugged in or out while the reader runs: listed or no longer, and the
    // reader's window told as the system tells it (any thread).
    HANDLE Attach(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                  const std::vector<uint8_t>& preparsed);
    void Detach(HANDLE device);
    void FailDeviceList(DWORD error) { listError_ = error; }              // 0: succeeds
    void RefuseRegistration(DWORD error) { registrationError_ = error; }  // 0: succeeds
    std::vector<RAWINPUTDEVICE> Registrations();                          // every entry ever passed

    // Stores raw bytes and returns the WM_INPUT lParam that stands for them.
    LPARAM Store(std::vector<uint8_t> bytes);
    // Stores the bytes and posts them to the reader's window as WM_INPUT.
    bool Post(std::vector<uint8_t> bytes);

  private:
    struct Device {
        HANDLE handle;
        RID_DEVICE_INFO_HID hid;
        std::vector<uint8_t> preparsed;
    };
    static UINT WINAPI GetDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize);
    static UINT WINAPI GetDeviceInfo(HANDLE device, UINT command, LPVOID data, PUINT size);
    static BOOL WINAPI Register(PCRAWINPUTDEVICE devices, UINT count, UINT entrySize);
    static UINT WINAPI GetData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize);

    std::mutex lock_;  // guards the lists below
    std::vector<Device> devices_;
    uintptr_t nextHandle_ = 0x10001;  // handles that look like the system's: never reused
    std::atomic<DWORD> listError_{0}, registrationError_{0};
    std::vector<RAWINPUTDEVICE> registrations_;
    std::vector<std::vector<uint8_t>> messages_;
};
