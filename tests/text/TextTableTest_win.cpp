// The text table from real files through the platform's private-profile reader under
// Wine: a value longer than the reader's buffer, and the shipped English translation.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "text/TextSources_win.h"
#include "text/TextTable_win.h"
#include "../support/TestHeap.h"

namespace {

std::wstring Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

// A file with nothing but a B0 longer than the reader's buffer.
TEST(TextTableWin, FileWithOnlyALongB0GivesItCutTo4095AndEmptyTextsElsewhere) {
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"txt", 0, path);
    WritePrivateProfileStringW(L"UI", L"B0", std::wstring(5000, L'x').c_str(), path);
    TextTable::LoadFromFile(path);
    DeleteFileW(path);
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::wstring(4095, L'x'), Wide(TextTable::ChannelName(0)));
    EXPECT_EQ(L"", Wide(TextTable::ChannelName(1)));
    EXPECT_EQ(L"", Wide(TextTable::TargetName(0)));
    EXPECT_EQ(L"", Wide(TextTable::Text(31, u"Sobre...")));
    TextTable::Free();  // the next test counts its own heap blocks
}

// A second load replaces the first, and Free gives back every copy.
TEST(TextTableWin, ShippedEnglishFileHasEveryKeyAndFreeGivesBackEveryCopy) {
    // As a user would install it; a Unix path is on Wine's drive Z:.
    const std::string unixPath = OMBRIX_ENGLISH_TRANSLATION;  // the source tree's path is ASCII
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    ScopedTestHeap heap;
    TextTable::LoadFromFile(path.c_str());
    TextTable::LoadFromFile(path.c_str());
    ASSERT_TRUE(TextTable::IsLoaded()) << OMBRIX_ENGLISH_TRANSLATION;
    EXPECT_EQ(TextTable::kEntryCount, heap.LiveBlocks()) << "one heap copy per text, none of the first load";
    for (int i = 0; i < TextTable::kChannelNameCount; ++i)
        EXPECT_NE(L"", Wide(TextTable::ChannelName(i))) << "B" << i;
    for (int i = 0; i < TextTable::kTargetNameCount; ++i)
        EXPECT_NE(L"", Wide(TextTable::TargetName(i))) << "K" << i;
    for (int i = 0; i < TextTable::kTextCount; ++i) {
        // The message prefixes T20 and T21 are followed by the error text: their final space matters.
        const std::wstring text = Wide(TextTable::Text(i, u"")), end = i == 20 || i == 21 ? L": " : L"";
        EXPECT_TRUE(text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
            << "T" << i;
    }

    // Section "Joystick": the names of the joystick inputs.
    for (const wchar_t* key :
         {L"Button",   L"DPad",     L"XAxis", L"YAxis",     L"ZAxis",   L"XRAxis",  L"YRAxis",  L"ZRAxis",
          L"Slider",   L"Dial",     L"Wheel", L"HatSwitch", L"XVector", L"YVector", L"ZVector", L"XRVector",
          L"YRVector", L"ZRVector", L"DUp",   L"DDown",     L"DRight",  L"DLeft"}) {
        String* text = TextSources::ReadFileString(path.c_str(), L"Joystick", key);
        ASSERT_NE(nullptr, text);
        EXPECT_FALSE(text->IsEmpty()) << key;
        text->Release();
    }
    TextTable::Free();
    EXPECT_EQ(0, heap.LiveBlocks());
}

}  // namespace
