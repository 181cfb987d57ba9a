// A stand-in for the system's raw-input calls: a list of virtual devices (keyboards, mice,
// HID devices with real preparsed data from hidparse.sys), a registration that can be
// refused, and report bytes that a test hands to the reader thread by posting WM_INPUT to
// ReaderWindow() with a key that GetRawInputData turns back into the bytes.
//
// Used by the enumeration, HID life-cycle and reader tests and the Windows benchmark.
// GetRawInputData runs on the reader thread, hence the lock around the message store.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "joystick/RawInput_win.h"

class FakeRawInput {
  public:
    // The one instance the installed table calls into.
    static FakeRawInput& Instance();

    // Installs the table (SetRawInputFunctions) and forgets every device and message.
    void Install();
    void Uninstall();

    HANDLE AddKeyboard();
    HANDLE AddMouse();
    // A HID device whose preparsed data is `preparsed`; usagePage and usage are the top-level
    // collection's as the device information reports them.
    HANDLE AddHid(uint16_t vendorId, uint16_t productId, uint16_t usagePage, uint16_t usage,
                  const std::vector<uint8_t>& preparsed);
    // Makes the preparsed-data query of a device fail.
    void FailPreparsedData(HANDLE device);

    // GetRawInputDeviceList fails with this error (0: succeeds).
    void FailDeviceList(DWORD error) { listError_ = error; }
    // RegisterRawInputDevices fails with this error (0: succeeds).
    void RefuseRegistration(DWORD error);
    // Every registration call: the entries it passed.
    std::vector<RAWINPUTDEVICE> Registrations();
    int GetRawInputDataCalls();

    // Stores raw bytes and returns the WM_INPUT lParam that stands for them.
    LPARAM Store(std::vector<uint8_t> bytes);
    // The bytes GetRawInputData copies for one HID report: the 24-byte header with the
    // device handle at offset 8, the size of one report at offset 24, the report count at 28,
    // then the report bytes from offset 32.
    static std::vector<uint8_t> HidMessage(HANDLE device, const std::vector<uint8_t>& report,
                                           uint32_t sizeField, uint32_t countField = 1);
    static std::vector<uint8_t> HidMessage(HANDLE device, const std::vector<uint8_t>& report) {
        return HidMessage(device, report, static_cast<uint32_t>(report.size()));
    }
    // Stores the bytes and posts them to the reader's window as WM_INPUT.
    bool Post(std::vector<uint8_t> bytes);

  private:
    struct Device {
        HANDLE handle;
        DWORD type;
        RID_DEVICE_INFO_HID hid;
        std::vector<uint8_t> preparsed;
        bool preparsedFails;
    };

    static UINT WINAPI GetDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT entrySize);
    static UINT WINAPI GetDeviceInfo(HANDLE device, UINT command, LPVOID data, PUINT size);
    static BOOL WINAPI Register(PCRAWINPUTDEVICE devices, UINT count, UINT entrySize);
    static UINT WINAPI GetData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize);

    HANDLE AddDevice(DWORD type, RID_DEVICE_INFO_HID hid, const std::vector<uint8_t>& preparsed);
    const Device* Find(HANDLE handle) const;

    std::vector<Device> devices_;  // user-interface thread only
    DWORD listError_ = 0;
    std::mutex lock_;  // guards what the reader thread reaches: the fields below
    DWORD registrationError_ = 0;
    std::vector<RAWINPUTDEVICE> registrations_;
    std::vector<std::vector<uint8_t>> messages_;
    int dataCalls_ = 0;
};
