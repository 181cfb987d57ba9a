// The profile values under "Profiles" against Wine's real registry, with refusals put in
// through the registry table. Each test starts and ends without the program key.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "persistence/SettingsStore.h"

namespace {

const wchar_t kKeyPath[] = L"Software\\OmbrixEmulator";
const wchar_t kProfilesPath[] = L"Software\\OmbrixEmulator\\Profiles";
const uint8_t kRecord[] = {0, 0, 1, 0, 9, 0, 0, 0, 3, 0, 0, 6};

LSTATUS WINAPI RefuseKey(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
    return ERROR_ACCESS_DENIED;
}
LSTATUS WINAPI RefuseStore(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_ACCESS_DENIED;
}
LSTATUS WINAPI RefuseDelete(HKEY, LPCWSTR) {
    return ERROR_ACCESS_DENIED;
}
// Refuses index 0 or every index.
bool gRefuseAll = false;
LSTATUS WINAPI RefuseIndex(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved, LPDWORD type,
                           LPBYTE data, LPDWORD size) {
    if (gRefuseAll || index == 0)
        return ERROR_INVALID_HANDLE;
    return RegEnumValueW(key, index, name, length, reserved, type, data, size);
}

std::vector<std::wstring> Names() {
    ObjectList* list = SettingsStore::ReadProfileNames();
    EXPECT_NE(nullptr, list);
    std::vector<std::wstring> names;
    for (int32_t i = 0; list != nullptr && i < list->Count(); ++i) {
        const String* name = static_cast<const String*>(list->At(i));
        names.emplace_back(reinterpret_cast<const wchar_t*>(name->Chars()), name->Length());
    }
    SafeRelease(list);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> Stored(const wchar_t* name) {
    uint8_t bytes[64];
    DWORD size = sizeof(bytes);
    if (RegGetValueW(HKEY_CURRENT_USER, kProfilesPath, name, RRF_RT_REG_BINARY, nullptr, bytes, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::vector<uint8_t>(bytes, bytes + size);
}

class ProfileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
    void TearDown() override {
        SettingsStore::SetRegistryFunctions(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
    SettingsStore::RegistryFunctions registry = SettingsStore::kPlatformRegistry;
};

TEST_F(ProfileStoreTest, ListingSkipsLongNamesAndRefusedIndicesAndGoesOnToTheEnd) {
    const std::wstring longest(100, L'm'), tooLong(101, L'L');
    for (const std::wstring& name : {std::wstring(L"Alfa"), tooLong, std::wstring(L"beta"), longest,
                                     std::wstring(300, L'z'), std::wstring(L"Gama")}) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kProfilesPath, name.c_str(), REG_BINARY,
                                                 kRecord, sizeof(kRecord)));
    }
    const std::vector<std::wstring> all = {L"Alfa", L"Gama", L"beta", longest};
    EXPECT_EQ(all, Names());

    registry.RegEnumValueW = RefuseIndex;
    SettingsStore::SetRegistryFunctions(&registry);
    const std::vector<std::wstring> names = Names();
    EXPECT_EQ(all.size() - 1, names.size()) << "only the refused index is missing";
    gRefuseAll = true;
    EXPECT_EQ(std::vector<std::wstring>(), Names()) << "a key refusing every index still ends";
    gRefuseAll = false;

    registry.RegCreateKeyExW = RefuseKey;
    EXPECT_EQ(nullptr, SettingsStore::ReadProfileNames());
}

TEST_F(ProfileStoreTest, StoreAndDeleteReportTheRegistryStatus) {
    const std::vector<uint8_t> record(kRecord, kRecord + sizeof(kRecord));
    ASSERT_EQ(kOk, SettingsStore::WriteProfileValue(L"Meu perfil", kRecord, sizeof(kRecord)));
    EXPECT_EQ(record, Stored(L"Meu perfil"));
    Buffer* read = SettingsStore::ReadProfileValue(L"MEU PERFIL");
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(record, std::vector<uint8_t>(read->Data(), read->Data() + read->Length()));
    read->Release();

    const HResult kAccessDenied = static_cast<HResult>(0x80070005u);
    registry.RegSetValueExW = RefuseStore;
    registry.RegDeleteValueW = RefuseDelete;
    SettingsStore::SetRegistryFunctions(&registry);
    EXPECT_EQ(kAccessDenied, SettingsStore::WriteProfileValue(L"Meu perfil", kRecord, 4));
    EXPECT_EQ(kAccessDenied, SettingsStore::DeleteProfileValue(L"Meu perfil"));
    EXPECT_EQ(record, Stored(L"Meu perfil")) << "the refused store and delete changed nothing";
    registry.RegCreateKeyExW = RefuseKey;
    EXPECT_EQ(kAccessDenied, SettingsStore::WriteProfileValue(L"Outro", kRecord, 4)) << "the key refused";

    SettingsStore::SetRegistryFunctions(nullptr);
    EXPECT_EQ(kInvalidArg, SettingsStore::DeleteProfileValue(L"")) << "the key's default value is no profile";
    EXPECT_EQ(kOk, SettingsStore::DeleteProfileValue(L"meu Perfil"));
    EXPECT_EQ(std::vector<uint8_t>(), Stored(L"Meu perfil"));
    EXPECT_EQ(kFileNotFound, SettingsStore::DeleteProfileValue(L"Meu perfil")) << "already gone";
}

}  // namespace
