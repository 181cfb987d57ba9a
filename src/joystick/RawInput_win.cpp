// The platform's raw-input calls, and the switch that lets tests stand in for them.
#include "joystick/RawInput_win.h"

#include <atomic>

const RawInputFunctions kPlatformRawInput = {
    ::GetRawInputDeviceList,
    ::GetRawInputDeviceInfoW,
    ::RegisterRawInputDevices,
    ::GetRawInputData,
};

namespace {
std::atomic<const RawInputFunctions*> gRawInput{&kPlatformRawInput};
}  // namespace

const RawInputFunctions& RawInput() {
    return *gRawInput.load(std::memory_order_acquire);
}

void SetRawInputFunctions(const RawInputFunctions* functions) {
    gRawInput.store(functions != nullptr ? functions : &kPlatformRawInput, std::memory_order_release);
}
