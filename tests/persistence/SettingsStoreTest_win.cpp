// The settings store against Wine's real registry and private-profile reader. Each test
// starts and ends without the program key, so the tests of one run (which share one
// prefix) do not depend on their order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "persistence/SettingsStore.h"

namespace {

const wchar_t kKeyPath[] = L"Software\\OmbrixEmulator";

std::vector<uint8_t> Bytes(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    return std::vector<uint8_t>(bytes, bytes + kSavedValuesLength);
}

std::wstring Text(String* text) {
    EXPECT_NE(nullptr, text);
    if (text == nullptr)
        return L"<null>";
    std::wstring result(reinterpret_cast<const wchar_t*>(text->Chars()), text->Length());
    text->Release();
    return result;
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath); }
    void TearDown() override {
        SettingsStore::SetRegistryFunctions(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }

    static bool KeyExists(const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Stores raw data of any type under the program key, bypassing the store.
    static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKeyPath, name, type, data, size));
    }

    static std::vector<uint8_t> ReadRaw(const wchar_t* subkeyPath, const wchar_t* name, DWORD* type) {
        std::vector<uint8_t> data(64);
        DWORD size = static_cast<DWORD>(data.size());
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, subkeyPath, name, RRF_RT_ANY | RRF_NOEXPAND,
                                              type, data.data(), &size));
        data.resize(size);
        return data;
    }

    static HKEY OpenForReading() {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key));
        return key;
    }
};

const std::vector<uint8_t> kDefaultBytes = {100, 100, 100, 100, 0, 0, 0, 0, 30, 0};
const uint8_t kRecord[12] = {10, 20, 30, 40, 50, 60, 70, 1, 4, 1, 99, 99};

TEST_F(SettingsStoreTest, FirstStartWithoutKeyGivesDefaultsAndCreatesKey) {
    ASSERT_FALSE(KeyExists(kKeyPath));
    const SavedValues values = SettingsStore::LoadSavedValues();
    EXPECT_EQ(kDefaultBytes, Bytes(values));
    EXPECT_EQ(31u, values.ComPort());
    EXPECT_TRUE(KeyExists(kKeyPath));
}

TEST_F(SettingsStoreTest, RecordLengthsFollowTheRules) {
    struct Case {
        DWORD length;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {0, kDefaultBytes},
        {8, kDefaultBytes},
        {9, {10, 20, 30, 40, 50, 60, 70, 1, 4, 0}},
        {10, {10, 20, 30, 40, 50, 60, 70, 1, 4, 1}},
        {12, {10, 20, 30, 40, 50, 60, 70, 1, 4, 1}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", kRecord, c.length));
        EXPECT_EQ(c.expected, Bytes(SettingsStore::LoadSavedValues())) << c.length << " bytes";
    }
}

TEST_F(SettingsStoreTest, ValuesOfAnotherRegistryTypeAreStillReadAsBytes) {
    for (DWORD type : {REG_SZ, REG_MULTI_SZ, REG_NONE, REG_EXPAND_SZ}) {
        SetRaw(L"Values", type, kRecord, 10);
        EXPECT_EQ(std::vector<uint8_t>(kRecord, kRecord + 10), Bytes(SettingsStore::LoadSavedValues()))
            << "type " << type;
    }
}

TEST_F(SettingsStoreTest, StoredRecordIsTenBinaryBytesAndPortSurvivesThroughItsByte) {
    const uint32_t ports[][3] = {{256, 255, 256}, {0, 255, 256}, {1, 0, 1}};
    for (const auto& port : ports) {
        SavedValues values = DefaultSavedValues();
        values.positions[4] = 42;
        values.joystickOnly = 1;
        values.SetComPort(port[0]);
        SettingsStore::StoreSavedValues(values);
        DWORD type = REG_NONE;
        const std::vector<uint8_t> stored = ReadRaw(kKeyPath, L"Values", &type);
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
        EXPECT_EQ((std::vector<uint8_t>{100, 100, 100, 100, 42, 0, 0, 0, static_cast<uint8_t>(port[1]), 1}),
                  stored);
        EXPECT_EQ(port[2], SettingsStore::LoadSavedValues().ComPort()) << "port " << port[0];
    }
}

TEST_F(SettingsStoreTest, SubkeyValuesAreReadBackExactly) {
    const uint8_t profile[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(L"Profiles", L"Meu perfil", profile, sizeof(profile)));
    EXPECT_TRUE(KeyExists(L"Software\\OmbrixEmulator\\Profiles"));

    Buffer* read = SettingsStore::ReadBinaryValue(L"Profiles", L"Meu perfil");
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(std::vector<uint8_t>(profile, profile + 5),
              std::vector<uint8_t>(read->Data(), read->Data() + read->Length()));
    read->Release();

    Buffer* absent = SettingsStore::ReadBinaryValue(L"Profiles", L"Outro");
    ASSERT_NE(nullptr, absent) << "an absent value is an empty buffer, not a failure";
    EXPECT_EQ(0, absent->Length());
    absent->Release();
}

TEST_F(SettingsStoreTest, KeyPathTooLongIsRefusedAndNothingIsCreated) {
    const std::wstring longName(300, L'x');
    EXPECT_EQ(nullptr, SettingsStore::OpenProgramKey(longName.c_str()));
    EXPECT_FALSE(SettingsStore::WriteBinaryValue(longName.c_str(), L"v", kRecord, 1));
    EXPECT_EQ(nullptr, SettingsStore::ReadBinaryValue(longName.c_str(), L"v"));
    EXPECT_FALSE(KeyExists(kKeyPath));
}

// A registry that refuses the key: writes are skipped, reads give nothing, the record
// comes back as the defaults.
LSTATUS WINAPI RefuseCreate(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY key,
                            LPDWORD) {
    *key = nullptr;
    return ERROR_ACCESS_DENIED;
}

TEST_F(SettingsStoreTest, RefusedKeySkipsWritesAndGivesDefaults) {
    SettingsStore::RegistryFunctions refusing = SettingsStore::kPlatformRegistry;
    refusing.RegCreateKeyExW = RefuseCreate;
    SettingsStore::SetRegistryFunctions(&refusing);

    EXPECT_EQ(nullptr, SettingsStore::OpenProgramKey(nullptr));
    EXPECT_FALSE(SettingsStore::WriteBinaryValue(nullptr, L"Values", kRecord, 10));
    EXPECT_EQ(nullptr, SettingsStore::ReadBinaryValue(nullptr, L"Values"));
    SavedValues values = SettingsStore::LoadSavedValues();
    EXPECT_EQ(kDefaultBytes, Bytes(values));
    values.SetComPort(5);
    SettingsStore::StoreSavedValues(values);
    EXPECT_FALSE(KeyExists(kKeyPath));
}

// A value that grows between the size query and the read must not be read with the new
// size into the old block; the store asks again and returns the whole new value.
int gGrowCalls = 0;
LSTATUS WINAPI GrowBeforeFirstRead(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size) {
    if (data != nullptr && gGrowCalls++ == 0) {
        const uint8_t grown[20] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
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

    Buffer* read = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    ASSERT_NE(nullptr, read);
    ASSERT_EQ(20, read->Length());
    EXPECT_EQ(10, read->Data()[19]);
    read->Release();
}

int gCloseCalls = 0;
LSTATUS WINAPI CountClose(HKEY key) {
    ++gCloseCalls;
    return RegCloseKey(key);
}

TEST_F(SettingsStoreTest, ReadKeyStringReadsOnlyTextTypesAndClosesTheKey) {
    const wchar_t terminated[] = L"Controle USB";
    SetRaw(L"Sz", REG_SZ, terminated, sizeof(terminated));
    SetRaw(L"SzWithoutNul", REG_SZ, L"Controle", 8 * sizeof(wchar_t));
    SetRaw(L"Binary", REG_BINARY, L"Pad", 3 * sizeof(wchar_t));
    const uint8_t odd[] = {'A', 0, 'B', 0, 'C'};
    SetRaw(L"BinaryOdd", REG_BINARY, odd, sizeof(odd));
    const DWORD number = 0x41;
    SetRaw(L"Dword", REG_DWORD, &number, sizeof(number));
    SetRaw(L"Expand", REG_EXPAND_SZ, terminated, sizeof(terminated));
    SetRaw(L"Multi", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
    SetRaw(L"EmptySz", REG_SZ, L"", sizeof(wchar_t));

    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"Sz", L"Controle USB"}, {L"SzWithoutNul", L"Controle"},
        {L"Binary", L"Pad"},      {L"BinaryOdd", L"AB"},
        {L"Dword", L""},          {L"Expand", L""},
        {L"Multi", L""},          {L"EmptySz", L""},
        {L"Missing", L""},
    };
    SettingsStore::RegistryFunctions counting = SettingsStore::kPlatformRegistry;
    counting.RegCloseKey = CountClose;
    SettingsStore::SetRegistryFunctions(&counting);
    for (const Case& c : cases) {
        gCloseCalls = 0;
        EXPECT_EQ(std::wstring(c.expected), Text(SettingsStore::ReadKeyString(OpenForReading(), c.name)))
            << c.name;
        EXPECT_EQ(1, gCloseCalls) << c.name << ": the key is closed once";
    }
    EXPECT_EQ(L"", Text(SettingsStore::ReadKeyString(nullptr, L"Sz")));
}

class FileStringTest : public SettingsStoreTest {
  protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"ombrix-store-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        const char content[] = "[UI]\r\nB0=Entrada A\r\nEmpty=\r\n[Joystick]\r\nButton=Bot\xE3o\r\n";
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, content, sizeof(content) - 1, &written, nullptr);
        CloseHandle(file);
    }
    void TearDown() override {
        DeleteFileW(path_.c_str());
        SettingsStoreTest::TearDown();
    }
    std::wstring path_;
};

TEST_F(FileStringTest, ReadsOneKeyAndGivesEmptyTextForAnythingAbsent) {
    EXPECT_EQ(L"Bot\u00E3o", Text(SettingsStore::ReadFileString(path_.c_str(), L"Joystick", L"Button")));
    const std::wstring missingFile = path_ + L".missing";
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(missingFile.c_str(), L"UI", L"B0")));
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(path_.c_str(), L"Nada", L"B0")));
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(path_.c_str(), L"UI", L"B1")));
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(path_.c_str(), L"UI", L"Empty")));
    // The reader itself would list the section's keys for a null key name, and would go
    // to WIN.INI for an empty path.
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(path_.c_str(), L"UI", nullptr)));
    EXPECT_EQ(L"", Text(SettingsStore::ReadFileString(L"", L"UI", L"B0")));
}

TEST(TranslationFilePathTest, ProgramExtensionBecomesTxt) {
    wchar_t module[1024];
    const DWORD length = GetModuleFileNameW(nullptr, module, 1024);
    ASSERT_GT(length, 4u);
    std::wstring expected(module, length);
    ASSERT_EQ(L".exe", expected.substr(expected.size() - 4));
    expected.replace(expected.size() - 3, 3, L"txt");

    wchar_t path[1024];
    SettingsStore::TranslationFilePath(path, 1024);
    EXPECT_EQ(expected, std::wstring(path));
    SettingsStore::TranslationFilePath(path, 8);
    EXPECT_EQ(L"", std::wstring(path)) << "a path that does not fit is not cut";
}

}  // namespace
