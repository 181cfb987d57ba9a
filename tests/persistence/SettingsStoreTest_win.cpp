// The settings store against Wine's real registry and private-profile reader. Each test
// starts and ends without the program key, so the tests of one run (which share one
// prefix) do not depend on their order.
#include <gtest/gtest.h>

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

std::vector<uint8_t> Bytes(Buffer* data) {
    EXPECT_NE(nullptr, data);
    if (data == nullptr)
        return {};
    std::vector<uint8_t> bytes(data->Data(), data->Data() + data->Length());
    data->Release();
    return bytes;
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS &&
           RegCloseKey(key) == 0;
}

// Stores data of any type under the program key, bypassing the store.
void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKeyPath, name, type, data, size));
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
    void TearDown() override {
        SettingsStore::SetRegistryFunctions(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
};

// The first start, then records of several lengths and registry types stored by hand.
TEST_F(SettingsStoreTest, FirstStartGivesDefaultsAndRecordLengthsFollowTheRulesWhateverTheType) {
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
        SetRaw(L"Values", c.type, kRecord, c.length);
        EXPECT_EQ(c.expected, Bytes(SettingsStore::LoadSavedValues()))
            << c.length << " bytes, type " << c.type;
    }
}

TEST_F(SettingsStoreTest, StoredRecordIsTenBinaryBytesAndPorts256And0BothGoThroughByte255) {
    for (uint32_t port : {256u, 0u}) {
        SavedValues values = DefaultSavedValues();
        values.SetComPort(port);
        SettingsStore::StoreSavedValues(values);
        uint8_t stored[64];
        DWORD type = REG_NONE, size = sizeof(stored);
        ASSERT_EQ(ERROR_SUCCESS,
                  RegGetValueW(HKEY_CURRENT_USER, kKeyPath, L"Values", RRF_RT_ANY, &type, stored, &size));
        std::vector<uint8_t> expected = kDefaultBytes;
        expected[8] = 255;
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
        EXPECT_EQ(expected, std::vector<uint8_t>(stored, stored + size)) << "port " << port;
        EXPECT_EQ(256u, SettingsStore::LoadSavedValues().ComPort()) << "port " << port;
    }
}

TEST_F(SettingsStoreTest, SubkeyPathTooLongIsRefusedAndAFittingOneIsReadBackExactly) {
    const std::wstring longName(300, L'x');
    EXPECT_EQ(nullptr, SettingsStore::OpenProgramKey(longName.c_str()));
    EXPECT_FALSE(SettingsStore::WriteBinaryValue(longName.c_str(), L"v", kRecord, 1));
    EXPECT_EQ(nullptr, SettingsStore::ReadBinaryValue(longName.c_str(), L"v"));
    EXPECT_FALSE(KeyExists(kKeyPath)) << "nothing is created for a refused path";

    ASSERT_TRUE(SettingsStore::WriteBinaryValue(L"Profiles", L"Meu perfil", kRecord, 5));
    EXPECT_TRUE(KeyExists(L"Software\\OmbrixEmulator\\Profiles"));
    EXPECT_EQ(std::vector<uint8_t>(kRecord, kRecord + 5),
              Bytes(SettingsStore::ReadBinaryValue(L"Profiles", L"Meu perfil")));
    EXPECT_EQ(std::vector<uint8_t>(), Bytes(SettingsStore::ReadBinaryValue(L"Profiles", L"Outro")))
        << "an absent value is an empty buffer, not a failure";
}

// Grows the value once, between the store's size query and its read: the store must ask
// again rather than read the new size into the old block.
int gGrowCalls = 0;
LSTATUS WINAPI GrowBeforeFirstRead(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size) {
    if (data != nullptr && gGrowCalls++ == 0) {
        uint8_t grown[20] = {};
        grown[19] = 10;
        RegSetValueExW(key, name, 0, REG_BINARY, grown, sizeof(grown));
    }
    return RegQueryValueExW(key, name, reserved, type, data, size);
}

TEST_F(SettingsStoreTest, ValueThatGrowsDuringTheReadIsReadWhole) {
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", kRecord, 10));
    SettingsStore::RegistryFunctions growing = SettingsStore::kPlatformRegistry;
    growing.RegQueryValueExW = GrowBeforeFirstRead;
    SettingsStore::SetRegistryFunctions(&growing);
    gGrowCalls = 0;
    const std::vector<uint8_t> read = Bytes(SettingsStore::ReadBinaryValue(nullptr, L"Values"));
    ASSERT_EQ(20u, read.size());
    EXPECT_EQ(10, read[19]);
}

}  // namespace
