// The program's per-user registry key and the private-profile reader used for the
// translation file. Nothing is cached: every operation opens the key, works, and closes it.
// User-interface thread only; failures are reported through results, never by messages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/Buffer.h"
#include "core/String.h"
#include "persistence/SavedValues.h"

namespace SettingsStore {

// Creates or opens HKCU\Software\OmbrixEmulator\ (or its subkey) with read and write
// access. Returns null when the registry refuses.
HKEY OpenProgramKey(const wchar_t* subkey);

// Stores bytes as a REG_BINARY value. False only when the key cannot be opened.
bool WriteBinaryValue(const wchar_t* subkey, const wchar_t* name, const void* bytes, uint32_t length);

// The value's bytes whatever its registry type; an empty Buffer for an absent value;
// null when the key cannot be opened. The caller releases the result.
Buffer* ReadBinaryValue(const wchar_t* subkey, const wchar_t* name);

// Reads a REG_SZ or REG_BINARY value as text from a key the caller opened, and closes
// that key (also when the value is absent). Other types and absent values give an empty
// string. Never null unless memory runs out. The caller releases the result.
String* ReadKeyString(HKEY key, const wchar_t* name);

// One string from an INI-format file; empty for an absent file, section or key; at most
// 4095 characters. Never null unless memory runs out. The caller releases the result.
String* ReadFileString(const wchar_t* path, const wchar_t* section, const wchar_t* key);

// The translation file beside the program: the program's path with everything after its
// last "." replaced by "txt", or ".txt" appended when there is no dot. capacity >= 1024.
void TranslationFilePath(wchar_t* path, uint32_t capacity);

SavedValues LoadSavedValues();
void StoreSavedValues(const SavedValues& values);

// The registry calls the store makes, as a table so that tests can refuse the key or
// change a value between the size query and the read. The real registry is used
// everywhere else, tests included.
struct RegistryFunctions {
    decltype(&::RegCreateKeyExW) RegCreateKeyExW;
    decltype(&::RegSetValueExW) RegSetValueExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegCloseKey) RegCloseKey;
};

extern const RegistryFunctions kPlatformRegistry;
const RegistryFunctions& Registry();
void SetRegistryFunctions(const RegistryFunctions* functions);  // null restores the platform

// The program key's path below HKEY_CURRENT_USER, "Software\OmbrixEmulator\".
extern const wchar_t kProgramKeyPath[];

}  // namespace SettingsStore
