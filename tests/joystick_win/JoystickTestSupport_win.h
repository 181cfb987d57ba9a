// Shared pieces of the Windows joystick tests: the four real devices as preparsed data, the
// system registry key of a device's OEM name, waiting for the reader thread, and a loader
// that wraps the real hid.dll to count loads and to hide an export.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "joystick/HidFunctions.h"

// Preparsed data of a real descriptor, as hidparse.sys builds it (empty if it refused).
std::vector<uint8_t> PreparsedOf(const uint8_t* descriptor, size_t length);

// The system's OEM-name key of one vendor and product, written into the (Wine) registry
// under HKEY_CURRENT_USER and deleted again when the object goes.
class OemNameKey {
  public:
    OemNameKey(uint16_t vendorId, uint16_t productId);
    ~OemNameKey();
    void SetString(const std::u16string& text);      // REG_SZ with its terminating NUL
    void SetBinaryText(const std::u16string& text);  // REG_BINARY: the UTF-16 bytes, no NUL
    void SetDword(DWORD value);
    static std::wstring KeyName(uint16_t vendorId, uint16_t productId);

  private:
    std::wstring name_;
    HKEY key_ = nullptr;
};

// Polls the condition every millisecond for up to five seconds.
template <typename Condition>
bool WaitFor(Condition condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition())
            return true;
        Sleep(1);
    }
    return condition();
}

// The platform's loader with counts, and optionally one export that cannot be found.
class CountingHidLoader {
  public:
    static void Install(const char* missingExport = nullptr);
    static void Uninstall();
    static int Loads();
    static int Unloads();
    // Whether hid.dll is mapped in the process right now.
    static bool ModuleLoaded();
};
