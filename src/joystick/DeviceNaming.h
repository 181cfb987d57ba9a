// The portable half of naming a device: the registry key that holds the system's OEM name
// for a vendor and product, and the rule that turns the text found there into the name.
// Used by LookupDeviceName (JoystickEnumeration_win.cpp).
#pragma once

#include <cstdint>

#include "core/String.h"

// The key name under HKEY_CURRENT_USER, ending in "...\Joystick\OEM\VID_%04X&PID_%04X"
// (upper-case hexadecimal, at least four digits), NUL-terminated. 128 units always suffice.
void FormatOemKeyName(uint32_t vendorId, uint32_t productId, char16_t* out, uint32_t capacity);

// The trimmed OEM text when it is not empty, else "Controller". Takes over oemText (which
// may be null). Returns a new String, or null when memory ran out.
String* DeviceNameFromOemText(String* oemText);
