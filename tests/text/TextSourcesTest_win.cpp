// Reading texts from outside the program with Wine's real registry: registry string
// values of the types a system's OEM names come in.
#include <gtest/gtest.h>

#include <string>

#include "core/Handle_win.h"
#include "text/TextSources_win.h"

namespace {

const wchar_t kKeyPath[] = L"Software\\OmbrixEmulator\\TextSourcesTest";

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kKeyPath, name, type, data, size));
}

TEST(TextSourcesTest, ReadKeyStringReadsOnlyTextTypes) {
    const wchar_t terminated[] = L"Controle USB";
    SetRaw(L"Sz", REG_SZ, terminated, sizeof(terminated));
    SetRaw(L"Binary", REG_BINARY, L"Pad", 3 * sizeof(wchar_t));  // no NUL
    const DWORD number = 0x41;
    SetRaw(L"Dword", REG_DWORD, &number, sizeof(number));
    SetRaw(L"Expand", REG_EXPAND_SZ, terminated, sizeof(terminated));

    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Sz", L"Controle USB"}, {L"Binary", L"Pad"}, {L"Dword", L""}, {L"Expand", L""}, {L"Missing", L""},
    };
    for (const auto& c : cases) {
        HKEY opened = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &opened));
        const ScopedKey key(opened);
        String* text = TextSources::ReadKeyString(key.Get(), c.first);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(std::wstring(c.second),
                  std::wstring(reinterpret_cast<const wchar_t*>(text->Chars()), text->Length()))
            << c.first;
        text->Release();
    }
    String* none = TextSources::ReadKeyString(nullptr, L"Sz");
    ASSERT_NE(nullptr, none) << "no key gives the empty text";
    EXPECT_TRUE(none->IsEmpty());
    none->Release();
    RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
    EXPECT_TRUE(AllInstanceCountersZero());
}

}  // namespace
