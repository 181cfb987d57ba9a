// The profile listing under "Profiles" against Wine's real registry, with refusals put in
// through the registry table; storing and deleting are checked end to end and, refused, by
// the main window tests. The test starts and ends without the program key. (The lambdas
// stand in for WINAPI functions: on x64 there is one calling convention.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "persistence/SettingsStore_win.h"

namespace {

const wchar_t kProfilesPath[] = L"Software\\OmbrixEmulator\\Profiles";
const std::vector<uint8_t> kRecord = {0, 0, 1, 0, 9, 0, 0, 0, 3, 0, 0, 6};
bool gRefuseEveryIndex = false;

std::vector<std::wstring> SortedNames() {
    ObjectList* list = SettingsStore::ReadProfileNames();
    std::vector<std::wstring> names;
    for (int32_t i = 0; list != nullptr && i < list->Count(); ++i) {
        const String* name = static_cast<const String*>(list->At(i));
        names.emplace_back(reinterpret_cast<const wchar_t*>(name->Chars()), name->Length());
    }
    SafeRelease(list);
    std::sort(names.begin(), names.end());
    return names;
}

class ProfileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OmbrixEmulator"); }
    void TearDown() override {
        SettingsStore::SetRegistryFunctions(nullptr);
        SetUp();
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
    SettingsStore::RegistryFunctions registry = SettingsStore::kPlatformRegistry;
};

TEST_F(ProfileStoreTest, ListingSkipsLongNamesAndRefusedIndicesAndGoesOnToTheEnd) {
    const std::wstring longest(100, L'm');
    for (const std::wstring& name : {std::wstring(L"Alfa"), std::wstring(101, L'L'), std::wstring(L"beta"),
                                     longest, std::wstring(300, L'z'), std::wstring(L"Gama")}) {
        ASSERT_EQ(0, RegSetKeyValueW(HKEY_CURRENT_USER, kProfilesPath, name.c_str(), REG_BINARY,
                                     kRecord.data(), 4));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Alfa", L"Gama", L"beta", longest}), SortedNames());

    registry.RegEnumValueW = [](HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
                                LPDWORD type, LPBYTE data, LPDWORD size) -> LSTATUS {
        if (gRefuseEveryIndex || index == 0)
            return ERROR_INVALID_HANDLE;
        return RegEnumValueW(key, index, name, length, reserved, type, data, size);
    };
    SettingsStore::SetRegistryFunctions(&registry);
    EXPECT_EQ(3u, SortedNames().size()) << "only the refused index is missing";
    gRefuseEveryIndex = true;
    EXPECT_EQ(0u, SortedNames().size()) << "a key refusing every index still ends";
    registry.RegCreateKeyExW = [](HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                  LPDWORD) -> LSTATUS { return ERROR_ACCESS_DENIED; };
    EXPECT_EQ(nullptr, SettingsStore::ReadProfileNames());
    SettingsStore::SetRegistryFunctions(nullptr);
    EXPECT_EQ(kInvalidArg, SettingsStore::DeleteProfileValue(L"")) << "the key's default value is no profile";
}

}  // namespace
