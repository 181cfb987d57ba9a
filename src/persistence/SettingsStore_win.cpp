// The registry side of the settings store. Every operation opens the program key, works and
// closes it again; no handle outlives a call. Called on the user-interface thread only.
#include "persistence/SettingsStore_win.h"

#include <atomic>
#include <cwchar>
#include <new>

#include "text/TextSources_win.h"

namespace SettingsStore {

const RegistryFunctions kPlatformRegistry = {::RegCreateKeyExW, ::RegSetValueExW,   ::RegQueryValueExW,
                                             ::RegCloseKey,     ::RegQueryInfoKeyW, ::RegEnumValueW,
                                             ::RegDeleteValueW};
const wchar_t kProgramKeyPath[] = L"Software\\OmbrixEmulator\\";
const wchar_t kProfilesSubkey[] = L"Profiles";

namespace {
std::atomic<const RegistryFunctions*> gRegistry{&kPlatformRegistry};

constexpr DWORD kKeyPathCapacity = 256;  // 255 units and the NUL

const wchar_t kValuesName[] = L"Values";

// Room for a profile name: 100 units and the NUL.
constexpr DWORD kProfileNameCapacity = 101;

// Creates or opens the program key or its subkey; the registry's status, or
// ERROR_INVALID_PARAMETER for a path that does not fit.
LSTATUS OpenKey(const wchar_t* subkey, StoreKey* key) {
    key->Reset();
    wchar_t path[kKeyPathCapacity];
    const size_t baseLength = wcslen(kProgramKeyPath);
    const size_t subkeyLength = subkey != nullptr ? wcslen(subkey) : 0;
    // A path that does not fit is refused rather than cut: a cut name is another key.
    if (baseLength + subkeyLength >= kKeyPathCapacity)
        return ERROR_INVALID_PARAMETER;
    wmemcpy(path, kProgramKeyPath, baseLength);
    if (subkeyLength > 0)
        wmemcpy(path + baseLength, subkey, subkeyLength);
    path[baseLength + subkeyLength] = 0;
    HKEY opened = nullptr;
    const LSTATUS status =
        Registry().RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS)
        key->Reset(opened);
    return status;
}

// Opens the key and stores the value; the status of whichever failed first.
LSTATUS SetBinaryValue(const wchar_t* subkey, const wchar_t* name, const void* bytes, uint32_t length,
                       bool* opened) {
    StoreKey key;
    LSTATUS status = OpenKey(subkey, &key);
    *opened = status == ERROR_SUCCESS;
    if (*opened)
        status = Registry().RegSetValueExW(key.Get(), name, 0, REG_BINARY, static_cast<const BYTE*>(bytes),
                                           length);
    return status;
}

// The registry's read through this store's table, so that tests can change a value between
// the size query and the read.
bool ReadValue(HKEY key, const wchar_t* name, DWORD* type, Buffer* data) {
    return TextSources::ReadRegistryValue(key, name, type, data, Registry().RegQueryValueExW);
}
}  // namespace

void StoreKeyKind::Close(HKEY key) {
    Registry().RegCloseKey(key);
}

const RegistryFunctions& Registry() {
    return *gRegistry.load(std::memory_order_relaxed);
}

void SetRegistryFunctions(const RegistryFunctions* functions) {
    gRegistry.store(functions != nullptr ? functions : &kPlatformRegistry, std::memory_order_relaxed);
}

StoreKey OpenProgramKey(const wchar_t* subkey) {
    StoreKey key;
    OpenKey(subkey, &key);
    return key;
}

bool WriteBinaryValue(const wchar_t* subkey, const wchar_t* name, const void* bytes, uint32_t length) {
    // Whether the store itself succeeded is not reported here: the settings are stored on
    // the exit path, where nothing is shown. WriteProfileValue reports it.
    bool opened = false;
    SetBinaryValue(subkey, name, bytes, length, &opened);
    return opened;
}

Buffer* ReadBinaryValue(const wchar_t* subkey, const wchar_t* name) {
    const StoreKey key = OpenProgramKey(subkey);
    if (!key)
        return nullptr;
    Buffer* data = new (std::nothrow) Buffer();
    if (data != nullptr) {
        DWORD type = REG_NONE;
        // An absent or unreadable value leaves the Buffer empty.
        if (!ReadValue(key.Get(), name, &type, data))
            data->Assign(nullptr, 0);
    }
    return data;
}

SavedValues LoadSavedValues() {
    Buffer* data = ReadBinaryValue(nullptr, kValuesName);
    const SavedValues values =
        data != nullptr ? ParseSavedValues(data->Data(), data->Length()) : DefaultSavedValues();
    SafeRelease(data);
    return values;
}

void StoreSavedValues(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    WriteBinaryValue(nullptr, kValuesName, bytes, sizeof(bytes));
}

ObjectList* ReadProfileNames() {
    StoreKey key;
    if (OpenKey(kProfilesSubkey, &key) != ERROR_SUCCESS)
        return nullptr;
    ObjectList* names = new (std::nothrow) ObjectList();
    // The value count bounds the walk: a key that refuses every index must not keep it
    // going, and a value deleted meanwhile ends it early with ERROR_NO_MORE_ITEMS.
    DWORD valueCount = 0;
    if (names != nullptr &&
        Registry().RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        valueCount = 0;
    }
    for (DWORD index = 0; names != nullptr && index < valueCount; ++index) {
        wchar_t name[kProfileNameCapacity];
        DWORD nameLength = kProfileNameCapacity;
        const LSTATUS status =
            Registry().RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        // ERROR_MORE_DATA is a name of more than 100 units, which no profile has.
        if (status != ERROR_SUCCESS)
            continue;
        String* text = new (std::nothrow)
            String(reinterpret_cast<const char16_t*>(name), static_cast<int32_t>(nameLength));
        if (text == nullptr || text->Length() != static_cast<int32_t>(nameLength) ||
            Failed(names->Append(text)))
            SafeRelease(names);
        SafeRelease(text);
    }
    return names;
}

Buffer* ReadProfileValue(const wchar_t* name) {
    return ReadBinaryValue(kProfilesSubkey, name);
}

HResult WriteProfileValue(const wchar_t* name, const void* bytes, uint32_t length) {
    if (name == nullptr || name[0] == 0)
        return kInvalidArg;
    bool opened = false;
    return HResultFromError(
        static_cast<uint32_t>(SetBinaryValue(kProfilesSubkey, name, bytes, length, &opened)));
}

HResult DeleteProfileValue(const wchar_t* name) {
    if (name == nullptr || name[0] == 0)
        return kInvalidArg;
    StoreKey key;
    LSTATUS status = OpenKey(kProfilesSubkey, &key);
    if (status == ERROR_SUCCESS)
        status = Registry().RegDeleteValueW(key.Get(), name);
    return HResultFromError(static_cast<uint32_t>(status));
}

}  // namespace SettingsStore
