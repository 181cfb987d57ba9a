// Where texts come from outside the program: an INI-format file (the translation file
// beside the program, read for the text table and the joystick input names) and registry
// string values (the system's joystick OEM names). Below every layer that needs them, so
// that the joystick code reads its names without reaching up into the settings store.
// Nothing is cached; user-interface thread (and start-up) only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/Buffer.h"
#include "core/String.h"

namespace TextSources {

// One string from an INI-format file; empty for an absent file, section or key; at most
// 4095 characters. Never null unless memory runs out. The caller releases the result.
String* ReadFileString(const wchar_t* path, const wchar_t* section, const wchar_t* key);

// The translation file beside the program: the program's path with everything after its
// last "." replaced by "txt", or ".txt" appended when there is no dot. capacity >= 1024;
// an empty path when the result would not fit.
void TranslationFilePath(wchar_t* path, uint32_t capacity);

// Reads a value's type and data into data, whose length becomes exactly the byte count
// the read reports; false for an absent or unreadable value. The size is asked first and
// the round repeated when the value grew in between. query is the registry's
// RegQueryValueExW or a test's stand-in.
bool ReadRegistryValue(HKEY key, const wchar_t* name, DWORD* type, Buffer* data,
                       decltype(&::RegQueryValueExW) query = ::RegQueryValueExW);

// Reads a REG_SZ or REG_BINARY value as text from a key the caller holds (a null key
// reads nothing). Other types and absent values give an empty string. Never null unless
// memory runs out. The caller releases the result.
String* ReadKeyString(HKEY key, const wchar_t* name);

}  // namespace TextSources
