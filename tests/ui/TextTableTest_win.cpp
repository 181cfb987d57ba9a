// The text table filled from real files through Wine's private-profile reader: the files
// are written by the tests into the temp folder.
// Also loads the English translation shipped in translations/.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "text/TextSources_win.h"
#include "text/TranslationPath.h"
#include "ui/TextTable_win.h"
#include "../support/TestHeap.h"

namespace {

std::wstring W(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

std::string Utf16Le(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    return bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

// Every key of section "UI", entry n reading "Text <n>", B0 as given.
std::wstring CompleteUiSection(const std::wstring& b0) {
    std::wstring text = L"[UI]\r\n";
    int entry = 0;
    for (auto group : {std::make_pair(L'B', 7), std::make_pair(L'K', 44), std::make_pair(L'T', 32)}) {
        for (int i = 0; i < group.second; ++i, ++entry)
            text += group.first + std::to_wstring(i) + L"=" +
                    (entry == 0 ? b0 : L"Text " + std::to_wstring(entry)) + L"\r\n";
    }
    return text;
}

class TextTableFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"ombrix-texts-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    }
    void TearDown() override {
        TextTable::Free();
        DeleteFileW(path_.c_str());
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }

    void LoadBytes(const std::string& bytes) {
        WriteFileBytes(path_, bytes);
        TextTable::LoadFromFile(path_.c_str());
    }

    std::wstring path_;
};

TEST_F(TextTableFileTest, FileWithOnlyALongB0GivesItCutTo4095AndEmptyTextsElsewhere) {
    LoadBytes(Utf16Le(L"[UI]\r\nB0=" + std::wstring(5000, L'x') + L"\r\n"));
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::wstring(4095, L'x'), W(TextTable::ChannelName(0)));
    EXPECT_EQ(L"", W(TextTable::ChannelName(1)));
    EXPECT_EQ(L"", W(TextTable::TargetName(0)));
    EXPECT_EQ(L"", W(TextTable::Text(31, u"Sobre...")));
}

TEST_F(TextTableFileTest, ALoadReplacesTheLastOneAndFreeReleasesAll83Texts) {
    ScopedTestHeap heap;
    LoadBytes(Utf16Le(CompleteUiSection(L"Input A")));
    LoadBytes(Utf16Le(CompleteUiSection(L"Second")));
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(L"Second", W(TextTable::ChannelName(0)));
    EXPECT_EQ(L"Text 82", W(TextTable::Text(31, u"")));
    EXPECT_EQ(TextTable::kEntryCount, heap.LiveBlocks()) << "one heap copy per text, none of the first load";
    TextTable::Free();
    EXPECT_EQ(0, heap.LiveBlocks());
    EXPECT_EQ(L"Entrada A", W(TextTable::ChannelName(0)));
}

TEST_F(TextTableFileTest, LoadReadsTheProgramPathWithTxtForExe) {
    wchar_t module[kModulePathCapacity], beside[kModulePathCapacity];
    const std::wstring program(module, GetModuleFileNameW(nullptr, module, kModulePathCapacity));
    ASSERT_EQ(L".exe", program.substr(program.size() - 4));
    TextSources::TranslationFilePath(beside, 8);
    EXPECT_EQ(L"", std::wstring(beside)) << "a path that does not fit is not cut";
    TextSources::TranslationFilePath(beside, kModulePathCapacity);
    EXPECT_EQ(program.substr(0, program.size() - 3) + L"txt", std::wstring(beside));
    TextTable::Load();
    ASSERT_FALSE(TextTable::IsLoaded()) << "no file beside the program yet";
    WriteFileBytes(beside, Utf16Le(L"[UI]\r\nB0=Beside\r\n"));
    TextTable::Load();
    DeleteFileW(beside);
    EXPECT_EQ(L"Beside", W(TextTable::ChannelName(0)));
}

TEST_F(TextTableFileTest, ShippedEnglishFileHasEveryKey) {
    // The English translation in translations/, as a user would install it; a Unix path
    // is on Wine's drive Z:.
    const std::string unixPath = OMBRIX_ENGLISH_TRANSLATION;  // the source tree's path is ASCII
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    TextTable::LoadFromFile(path.c_str());
    ASSERT_TRUE(TextTable::IsLoaded()) << OMBRIX_ENGLISH_TRANSLATION;
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
    const wchar_t* inputKeys[] = {L"Button",  L"DPad",    L"XAxis",   L"YAxis",    L"ZAxis",    L"XRAxis",
                                  L"YRAxis",  L"ZRAxis",  L"Slider",  L"Dial",     L"Wheel",    L"HatSwitch",
                                  L"XVector", L"YVector", L"ZVector", L"XRVector", L"YRVector", L"ZRVector",
                                  L"DUp",     L"DDown",   L"DRight",  L"DLeft"};
    for (const wchar_t* key : inputKeys) {
        String* text = TextSources::ReadFileString(path.c_str(), L"Joystick", key);
        ASSERT_NE(nullptr, text);
        EXPECT_FALSE(text->IsEmpty()) << key;
        text->Release();
    }
}

}  // namespace
