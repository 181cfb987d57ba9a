// The settings store against Wine's real registry, with refusals and a value that grows put
// in through the registry table. Each test starts and ends without the program key, so the
// tests of one run (which share one prefix) do not depend on their order. (The lambdas
// stand in for WINAPI functions: on x64 there is one calling convention.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "persistence/SettingsStore_win.h"

namespace {

const wchar_t kKeyPath[] = L"Software\\OmbrixEmulator";
const std::vector<uint8_t> kDefaultBytes = {100, 100, 100, 100, 0, 0, 0, 0, 30, 0};
const uint8_t kRecord[12] = {10, 20, 30, 40, 50, 60, 70, 1, 4, 1, 99, 99};

std::vector<uint8_t> Bytes(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    return std::vector<uint8_t>(bytes, bytes + kSavedValuesLength);
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    const ScopedKey held(key);
    return status == ERROR_SUCCESS;
}

// Stores data of any type under the program key or its subkey, bypassing the store.
void SetRaw(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, path, name, type, data, size));
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
    void TearDown() override {
        SettingsStore::SetRegistryFunctions(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
    SettingsStore::RegistryFunctions registry = SettingsStore::kPlatformRegistry;
};

// The first start, records of several lengths and registry types stored by hand, then a
// record stored by the program.
TEST_F(SettingsStoreTest,
       FirstStartGivesDefaultsRecordLengthsFollowTheRulesWhateverTheTypeAndStoresAreBinary) {
    EXPECT_FALSE(SettingsStore::OpenProgramKey(std::wstring(300, L'x').c_str())) << "a path cut short";
    ASSERT_FALSE(KeyExists(kKeyPath));
    EXPECT_EQ(kDefaultBytes, Bytes(SettingsStore::LoadSavedValues()));
    EXPECT_TRUE(KeyExists(kKeyPath)) << "the first start creates the key";
    const std::vector<uint8_t> first10(kRecord, kRecord + 10);
    const std::vector<uint8_t> nine = {10, 20, 30, 40, 50, 60, 70, 1, 4, 0};
    const struct {
        DWORD type, length;
        std::vector<uint8_t> expected;
    } cases[] = {{REG_BINARY, 0, kDefaultBytes}, {REG_BINARY, 8, kDefaultBytes}, {REG_BINARY, 9, nine},
                 {REG_BINARY, 10, first10},      {REG_BINARY, 12, first10},      {REG_SZ, 10, first10},
                 {REG_MULTI_SZ, 10, first10},    {REG_NONE, 10, first10},        {REG_EXPAND_SZ, 9, nine}};
    for (const auto& c : cases) {
        SetRaw(kKeyPath, L"Values", c.type, kRecord, c.length);
        EXPECT_EQ(c.expected, Bytes(SettingsStore::LoadSavedValues()))
            << c.length << " bytes, type " << c.type;
    }
    SettingsStore::StoreSavedValues(DefaultSavedValues());
    uint8_t stored[64];
    DWORD type = REG_NONE, size = sizeof(stored);
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_CURRENT_USER, kKeyPath, L"Values", RRF_RT_ANY, &type, stored, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(kDefaultBytes, std::vector<uint8_t>(stored, stored + size)) << "stored as ten binary bytes";
}

// The value grows once, between the store's size query and its read: the store must ask
// again rather than read the new size into the old block.
TEST_F(SettingsStoreTest, ValueThatGrowsDuringTheReadIsReadWhole) {
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", kRecord, 10));
    registry.RegQueryValueExW = [](HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size) -> LSTATUS {
        static bool grown = false;
        if (data != nullptr && !grown) {
            uint8_t bigger[20] = {};
            bigger[19] = 10;
            grown = RegSetValueExW(key, name, 0, REG_BINARY, bigger, sizeof(bigger)) == ERROR_SUCCESS;
        }
        return RegQueryValueExW(key, name, reserved, type, data, size);
    };
    SettingsStore::SetRegistryFunctions(&registry);
    Buffer* read = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(20, read->Length());
    EXPECT_EQ(10, read->Data()[read->Length() - 1]);
    read->Release();
}

std::vector<std::wstring> SortedProfileNames() {
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

bool gRefuseEveryIndex = false;

TEST_F(SettingsStoreTest, ProfileListingSkipsLongNamesAndRefusedIndicesAndGoesOnToTheEnd) {
    const std::wstring longest(100, L'm');
    for (const std::wstring& name : {std::wstring(L"Alfa"), std::wstring(101, L'L'), std::wstring(L"beta"),
                                     longest, std::wstring(300, L'z'), std::wstring(L"Gama")})
        SetRaw(L"Software\\OmbrixEmulator\\Profiles", name.c_str(), REG_BINARY, kRecord, 4);
    EXPECT_EQ((std::vector<std::wstring>{L"Alfa", L"Gama", L"beta", longest}), SortedProfileNames());

    registry.RegEnumValueW = [](HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
                                LPDWORD type, LPBYTE data, LPDWORD size) -> LSTATUS {
        if (gRefuseEveryIndex || index == 0)
            return ERROR_INVALID_HANDLE;
        return RegEnumValueW(key, index, name, length, reserved, type, data, size);
    };
    SettingsStore::SetRegistryFunctions(&registry);
    EXPECT_EQ(3u, SortedProfileNames().size()) << "only the refused index is missing";
    gRefuseEveryIndex = true;
    EXPECT_EQ(0u, SortedProfileNames().size()) << "a key refusing every index still ends";
    registry.RegCreateKeyExW = [](HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                  LPDWORD) -> LSTATUS { return ERROR_ACCESS_DENIED; };
    EXPECT_EQ(nullptr, SettingsStore::ReadProfileNames());
    SettingsStore::SetRegistryFunctions(nullptr);
    EXPECT_EQ(kInvalidArg, SettingsStore::DeleteProfileValue(L"")) << "the key's default value is no profile";
}

}  // namespace
