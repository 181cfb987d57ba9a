// Finding and naming the joysticks and game pads attached to the system. Windows build
// only (JoystickEnumeration_win.cpp); the main window calls EnumerateJoysticks once while
// it starts, and MakeJoystick for each joystick attached later. User-interface thread.
#pragma once

#include <cstdint>

#include "core/ObjectList.h"
#include "core/Status.h"
#include "core/String.h"

// Stores in *out the list of devices (possibly empty) in the system's order and returns 0
// or more; on failure *out stays null and the code is negative: the binding's code
// (kFileNotFound, kNotImplemented) or the system's error for the device list. Keyboards,
// mice and every other HID device but joysticks (usage 4) and game pads (usage 5) of the
// generic desktop page are left out, as is any device whose capabilities cannot be read.
HResult EnumerateJoysticks(ObjectList** out);

// Builds the device of one raw-input device as enumeration does (capabilities, inputs, name
// and path), unprepared; null for anything but a joystick or game pad, or when a step
// fails. Used for a joystick attached while the program runs.
class JoystickDevice;
JoystickDevice* MakeJoystick(void* rawHandle);

// The raw handles of the joysticks and game pads the system lists now, at most capacity,
// in *count; the system's error when the list cannot be had.
HResult ListJoysticks(void** handles, uint32_t capacity, uint32_t* count);

// The device's name from the system's OEM name for the vendor and product, trimmed, or
// "Controller". The caller owns the result; null only when memory ran out.
String* LookupDeviceName(uint32_t vendorId, uint32_t productId);
