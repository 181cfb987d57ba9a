// JoystickDevice objects built from real report descriptors the way enumeration builds
// them: the descriptor parsed by hidparse.sys, the capabilities read through the bound
// hid.dll, the inputs made by the catalogue and prepared as the main window prepares them.
// Used by the catalogue, decoding and reader tests and by the Windows benchmark.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "HidParseHarness_win.h"
#include "joystick/JoystickDevice.h"

struct RealDescriptor {
    const uint8_t* bytes;
    size_t length;
    uint16_t vendorId;
    uint16_t productId;
};

// Releases a test's reference when it goes out of scope.
struct DeviceReleaser {
    void operator()(JoystickDevice* device) const { device->Release(); }
};
using DevicePtr = std::unique_ptr<JoystickDevice, DeviceReleaser>;

// Builds and prepares a device; null when any step fails (the test then fails on it). The
// caller owns the one reference. Binds hid.dll through the platform loader on first use.
JoystickDevice* BuildRealDevice(const RealDescriptor& descriptor, void* rawHandle);
inline DevicePtr MakeRealDevice(const RealDescriptor& descriptor, void* rawHandle) {
    return DevicePtr(BuildRealDevice(descriptor, rawHandle));
}

// The input with this usage page and usage among buttons, axes and the hat, or null.
JoystickInput* FindInput(JoystickDevice& device, uint32_t usagePage, uint32_t usage);

// The text shown for an input, as a string a test can compare.
std::u16string ShownName(const JoystickInput& input);

// The Pending values of all buttons as a bit mask, bit i for button i + 1.
uint32_t PendingButtons(const JoystickDevice& device);
