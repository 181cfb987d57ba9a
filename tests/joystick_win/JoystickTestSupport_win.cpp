// Shared pieces of the Windows joystick tests; see the header.
#include "JoystickTestSupport_win.h"

#include <cstring>

#include "HidParseHarness_win.h"

std::vector<uint8_t> PreparsedOf(const uint8_t* descriptor, size_t length) {
    ParsedCollection collection;
    if (!ParseFirstCollection(descriptor, length, &collection))
        return {};
    return collection.preparsed;
}

std::wstring OemNameKey::KeyName(uint16_t vendorId, uint16_t productId) {
    wchar_t name[160];
    wsprintfW(name,
              L"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\VID_%"
              L"04X&PID_%04X",
              vendorId, productId);
    return name;
}

OemNameKey::OemNameKey(uint16_t vendorId, uint16_t productId) : name_(KeyName(vendorId, productId)) {
    RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
}

OemNameKey::~OemNameKey() {
    if (key_ != nullptr)
        RegCloseKey(key_);
    RegDeleteKeyW(HKEY_CURRENT_USER, name_.c_str());
}

void OemNameKey::SetString(const std::u16string& text) {
    RegSetValueExW(key_, L"OEMName", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

void OemNameKey::SetBinaryText(const std::u16string& text) {
    RegSetValueExW(key_, L"OEMName", 0, REG_BINARY, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

void OemNameKey::SetDword(DWORD value) {
    RegSetValueExW(key_, L"OEMName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

namespace {

std::atomic<int> gLoads{0};
std::atomic<int> gUnloads{0};
const char* gMissing = nullptr;

void* CountedLoad(const char16_t* name) {
    void* library = kPlatformHidLoader.Load(name);
    if (library != nullptr)
        ++gLoads;
    return library;
}

void* MaybeFind(void* library, const char* name) {
    if (gMissing != nullptr && std::strcmp(name, gMissing) == 0)
        return nullptr;
    return kPlatformHidLoader.Find(library, name);
}

void CountedUnload(void* library) {
    ++gUnloads;
    kPlatformHidLoader.Unload(library);
}

const HidLoader kCountingLoader = {CountedLoad, MaybeFind, CountedUnload};

}  // namespace

void CountingHidLoader::Install(const char* missingExport) {
    gLoads = 0;
    gUnloads = 0;
    gMissing = missingExport;
    SetHidLoader(&kCountingLoader);
}

void CountingHidLoader::Uninstall() {
    SetHidLoader(nullptr);
}
int CountingHidLoader::Loads() {
    return gLoads;
}
int CountingHidLoader::Unloads() {
    return gUnloads;
}
bool CountingHidLoader::ModuleLoaded() {
    return GetModuleHandleW(L"hid.dll") != nullptr;
}
