// The program's per-user registry key: the saved settings and the profiles. Nothing is
// cached: every operation opens the key, works, and closes it.
// User-interface thread only; failures are reported through results, never by messages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/Buffer.h"
#include "core/Handle_win.h"
#include "core/ObjectList.h"
#include "core/Status.h"
#include "core/String.h"
#include "persistence/SavedValues.h"

namespace SettingsStore {

// A key of the store, closed through the store's table (below) so that tests see it close.
struct StoreKeyKind {
    using Type = HKEY;
    static bool IsValid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key);
};
using StoreKey = Scoped<StoreKeyKind>;

// Creates or opens HKCU\Software\OmbrixEmulator\ (or its subkey) with read and write
// access. Empty when the registry refuses.
StoreKey OpenProgramKey(const wchar_t* subkey);

// Stores bytes as a REG_BINARY value. False only when the key cannot be opened.
bool WriteBinaryValue(const wchar_t* subkey, const wchar_t* name, const void* bytes, uint32_t length);

// The value's bytes whatever its registry type; an empty Buffer for an absent value;
// null when the key cannot be opened. The caller releases the result.
Buffer* ReadBinaryValue(const wchar_t* subkey, const wchar_t* name);

SavedValues LoadSavedValues();
void StoreSavedValues(const SavedValues& values);

// The profiles: one REG_BINARY value per profile under the subkey "Profiles", named as the
// user named the profile. The profile commands and the profile name dialog call these.
extern const wchar_t kProfilesSubkey[];

// The value names under "Profiles" as Strings, in the registry's order; null when the key
// cannot be opened or memory ran out. A name longer than 100 units, or any value the
// registry refuses to name at its index, is skipped and the listing goes on, so that one
// odd value written by another program does not hide the profiles after it.
ObjectList* ReadProfileNames();
// ReadBinaryValue of the profile: empty for an absent value, null when the key is refused.
Buffer* ReadProfileValue(const wchar_t* name);
// Store and delete report the registry's own status as an HResult (kOk on success), from
// opening the key or from the store or delete itself, so that a refusal can be shown with
// the system's text. An empty or null name is refused with kInvalidArg: it would be the
// key's default value, which is no profile.
HResult WriteProfileValue(const wchar_t* name, const void* bytes, uint32_t length);
HResult DeleteProfileValue(const wchar_t* name);

// The registry calls the store makes, as a table so that tests can refuse the key, a
// store, a delete or a name, or change a value between the size query and the read. The
// real registry is used everywhere else, tests included.
struct RegistryFunctions {
    decltype(&::RegCreateKeyExW) RegCreateKeyExW;
    decltype(&::RegSetValueExW) RegSetValueExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegCloseKey) RegCloseKey;
    decltype(&::RegQueryInfoKeyW) RegQueryInfoKeyW;
    decltype(&::RegEnumValueW) RegEnumValueW;
    decltype(&::RegDeleteValueW) RegDeleteValueW;
};

extern const RegistryFunctions kPlatformRegistry;
const RegistryFunctions& Registry();
void SetRegistryFunctions(const RegistryFunctions* functions);  // null restores the platform

// The program key's path below HKEY_CURRENT_USER, "Software\OmbrixEmulator\".
extern const wchar_t kProgramKeyPath[];

}  // namespace SettingsStore
