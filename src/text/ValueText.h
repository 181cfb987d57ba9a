// Turning the data of a registry value into text: the UTF-16 units up to the first NUL,
// never beyond the bytes that were read. A value stored without its NUL, or with an odd
// byte count, must not make the reader run past the data. Portable, so that the bounds
// are checked natively under AddressSanitizer; TextSources::ReadKeyString uses it.
#pragma once

#include <cstdint>

#include "core/String.h"

// A new String (the caller releases it) holding the whole UTF-16 units of the first
// byteCount bytes up to the first NUL unit. A trailing odd byte is half a unit and is
// dropped. Null only when memory runs out.
String* TextFromValueBytes(const uint8_t* bytes, int32_t byteCount);
