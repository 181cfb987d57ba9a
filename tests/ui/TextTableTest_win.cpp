// The text table filled from real files through Wine's private-profile reader: a file the
// test writes into the temp folder, and the English translation shipped in translations/.
// Which keys are read and what an empty one gives is the native text table test's.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "text/TextSources_win.h"
#include "ui/TextTable_win.h"
#include "../support/TestHeap.h"

namespace {

std::wstring W(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

class TextTableFileTest : public ::testing::Test {
  protected:
    void TearDown() override {
        TextTable::Free();
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
};

// A UTF-16 file with nothing but a B0 longer than the reader's buffer.
TEST_F(TextTableFileTest, FileWithOnlyALongB0GivesItCutTo4095AndEmptyTextsElsewhere) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = folder + (L"ombrix-texts-" + std::to_wstring(GetCurrentProcessId()) + L".txt");
    const std::wstring text = L"\xFEFF[UI]\r\nB0=" + std::wstring(5000, L'x') + L"\r\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr));
    CloseHandle(file);
    TextTable::LoadFromFile(path.c_str());
    DeleteFileW(path.c_str());
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::wstring(4095, L'x'), W(TextTable::ChannelName(0)));
    EXPECT_EQ(L"", W(TextTable::ChannelName(1)));
    EXPECT_EQ(L"", W(TextTable::TargetName(0)));
    EXPECT_EQ(L"", W(TextTable::Text(31, u"Sobre...")));
}

// A second load replaces the first, and Free gives back every copy.
TEST_F(TextTableFileTest, ShippedEnglishFileHasEveryKeyAndFreeGivesBackEveryCopy) {
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
        EXPECT_NE(L"", W(TextTable::ChannelName(i))) << "B" << i;
    for (int i = 0; i < TextTable::kTargetNameCount; ++i)
        EXPECT_NE(L"", W(TextTable::TargetName(i))) << "K" << i;
    for (int i = 0; i < TextTable::kTextCount; ++i)
        EXPECT_NE(L"", W(TextTable::Text(i, u""))) << "T" << i;
    // The message prefixes are followed by the error text, so their final space matters.
    for (int i : {20, 21}) {
        const std::wstring prefix = W(TextTable::Text(i, u""));
        EXPECT_EQ(L": ", prefix.substr(prefix.size() - 2)) << "T" << i;
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
