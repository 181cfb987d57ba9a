// The text table filled from real files through Wine's private-profile reader: the files
// are written by the tests into the temp folder, in the encodings a translator may use.
// Also loads the English translation shipped in translations/.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "persistence/SettingsStore.h"
#include "persistence/TranslationPath.h"
#include "ui/TextTable_win.h"
#include "../support/TestHeap.h"

namespace {

std::wstring W(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring Decode(UINT codePage, const std::string& bytes) {
    const int size =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(size, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    return text;
}

std::string Utf16LeWithBom(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

const wchar_t kAccented[] =
    L"[UI]\r\nB0=Entrada A\r\nK0=Bot\u00E3o da Ombrix\r\nT13=\u00E0\r\nT15=Associa\u00E7\u00F5es "
    L"existentes:\r\n";

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

    void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }
    void LoadBytes(const std::string& bytes) {
        WriteFileBytes(path_, bytes);
        TextTable::LoadFromFile(path_.c_str());
    }
    void LoadText(const std::wstring& text) { LoadBytes(Utf16LeWithBom(text)); }

    static void ExpectBuiltInTexts() {
        EXPECT_FALSE(TextTable::IsLoaded());
        EXPECT_EQ(L"Entrada A", W(TextTable::ChannelName(0)));
        EXPECT_EQ(L"Bot\u00E3o da Ombrix", W(TextTable::TargetName(0)));
        EXPECT_EQ(L"Tecla Espa\u00E7o", W(TextTable::TargetName(5)));
        EXPECT_EQ(L"built-in", W(TextTable::Text(7, u"built-in")));
    }

    std::wstring path_;
};

// Every key of section "UI" with a text, except those overridden.
std::wstring CompleteUiSection(const std::wstring& b0) {
    std::wstring text = L"[UI]\r\nB0=" + b0 + L"\r\n";
    for (int i = 1; i < 7; ++i)
        text += L"B" + std::to_wstring(i) + L"=Channel " + std::to_wstring(i) + L"\r\n";
    for (int i = 0; i < 44; ++i)
        text += L"K" + std::to_wstring(i) + L"=Target " + std::to_wstring(i) + L"\r\n";
    for (int i = 0; i < 32; ++i)
        text += L"T" + std::to_wstring(i) + L"=Text " + std::to_wstring(i) + L"\r\n";
    return text;
}

TEST_F(TextTableFileTest, FileWhoseB0IsEmptyIsIgnoredCompletely) {
    LoadText(CompleteUiSection(L""));
    ExpectBuiltInTexts();
}

TEST_F(TextTableFileTest, FileWithOnlyB0GivesEmptyTextsElsewhere) {
    LoadText(L"[UI]\r\nB0=Input A\r\n");
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(L"Input A", W(TextTable::ChannelName(0)));
    EXPECT_EQ(L"", W(TextTable::ChannelName(1)));
    EXPECT_EQ(L"", W(TextTable::TargetName(0)));
    EXPECT_EQ(L"", W(TextTable::Text(7, u"Iniciar")));
    EXPECT_EQ(L"", W(TextTable::Text(31, u"Sobre...")));
}

TEST_F(TextTableFileTest, ValueOf5000CharactersIsCutTo4095) {
    LoadText(L"[UI]\r\nB0=" + std::wstring(5000, L'x') + L"\r\nB1=" + std::wstring(4095, L'y') + L"\r\n");
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::wstring(4095, L'x'), W(TextTable::ChannelName(0)));
    EXPECT_EQ(std::wstring(4095, L'y'), W(TextTable::ChannelName(1)));
}

TEST_F(TextTableFileTest, FreeReleasesAll83Texts) {
    ScopedTestHeap heap;
    LoadText(CompleteUiSection(L"Input A"));
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(TextTable::kEntryCount, heap.LiveBlocks());
    TextTable::Free();
    EXPECT_EQ(0, heap.LiveBlocks());
    ExpectBuiltInTexts();
}

TEST_F(TextTableFileTest, BadFilesLeaveBuiltInTexts) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    const std::string utf16WithoutBom = Utf16LeWithBom(CompleteUiSection(L"Input A")).substr(2);
    const std::string cases[] = {
        junk,
        std::string("\0\0\0\0[UI]\r\nB0=x\r\n", 15),
        "",
        "\xFF\xFE",
        "[Joystick]\r\nB0=Input A\r\nButton=Button\r\n",
        "B0=Input A\r\n",
        "[UI\r\nB0=Input A\r\n",
        utf16WithoutBom,
    };
    int index = 0;
    for (const std::string& bytes : cases) {
        LoadBytes(bytes);
        EXPECT_FALSE(TextTable::IsLoaded()) << "case " << index;
        ++index;
    }
    ExpectBuiltInTexts();
    TextTable::LoadFromFile((path_ + L".missing").c_str());
    ExpectBuiltInTexts();
}

// What the README tells translators about encodings, checked against the platform reader.
TEST_F(TextTableFileTest, FileWithByteOrderMarkKeepsAccents) {
    const std::string files[] = {Utf16LeWithBom(kAccented), "\xEF\xBB\xBF" + Utf8(kAccented)};
    for (const std::string& bytes : files) {
        LoadBytes(bytes);
        ASSERT_TRUE(TextTable::IsLoaded());
        EXPECT_EQ(L"Bot\u00E3o da Ombrix", W(TextTable::TargetName(0)));
        EXPECT_EQ(L"\u00E0", W(TextTable::Text(13, u"")));
        EXPECT_EQ(L"Associa\u00E7\u00F5es existentes:", W(TextTable::Text(15, u"")));
    }
}

TEST_F(TextTableFileTest, FileWithoutBomIsReadInTheAnsiCodePage) {
    // ANSI text in the system's code page comes through; UTF-8 without a BOM is taken
    // for ANSI as well, so its accented letters arrive as two characters each.
    const std::string ansi = "[UI]\r\nB0=Entrada A\r\nK0=Bot\xE3o da Ombrix\r\n";
    LoadBytes(ansi);
    ASSERT_TRUE(TextTable::IsLoaded());
    const std::wstring ansiText = Decode(CP_ACP, "Bot\xE3o da Ombrix");
    EXPECT_EQ(ansiText, W(TextTable::TargetName(0)));
    if (GetACP() == 1252) {
        EXPECT_EQ(L"Bot\u00E3o da Ombrix", ansiText);
    }

    LoadBytes(Utf8(kAccented));
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(Decode(CP_ACP, Utf8(L"Bot\u00E3o da Ombrix")), W(TextTable::TargetName(0)));
    if (GetACP() == 1252) {
        EXPECT_NE(L"Bot\u00E3o da Ombrix", W(TextTable::TargetName(0)));
    }
}

TEST_F(TextTableFileTest, QuotesKeepOuterSpacesAndAreRemoved) {
    LoadText(
        L"[UI]\r\nB0=Input A\r\nT20=\"Error starting the joystick: \"\r\nT21=  spaced  \r\n"
        L"T28=Replace the profile \"\r\n; T29=a comment\r\n");
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(L"Error starting the joystick: ", W(TextTable::Text(20, u"")));
    EXPECT_EQ(L"spaced", W(TextTable::Text(21, u"")));
    EXPECT_EQ(L"Replace the profile \"", W(TextTable::Text(28, u"")));
    EXPECT_EQ(L"", W(TextTable::Text(29, u"")));
}

TEST_F(TextTableFileTest, LoadFindsTheFileBesideTheProgram) {
    wchar_t beside[kModulePathCapacity];
    SettingsStore::TranslationFilePath(beside, kModulePathCapacity);
    ASSERT_NE(L'\0', beside[0]);
    TextTable::Load();
    ASSERT_FALSE(TextTable::IsLoaded()) << "no file beside the program yet";

    WriteFileBytes(beside, Utf16LeWithBom(L"[UI]\r\nB0=Beside\r\n"));
    TextTable::Load();
    DeleteFileW(beside);
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(L"Beside", W(TextTable::ChannelName(0)));
}

// The English translation in translations/, as a user would install it.
std::wstring ShippedEnglishPath() {
    std::wstring path = Decode(CP_UTF8, OMBRIX_ENGLISH_TRANSLATION);
    // A Unix path is on Wine's drive Z:.
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

TEST_F(TextTableFileTest, ShippedEnglishFileHasEveryKey) {
    const std::wstring path = ShippedEnglishPath();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "missing " << Utf8(path);
    TextTable::LoadFromFile(path.c_str());
    ASSERT_TRUE(TextTable::IsLoaded());
    for (int i = 0; i < TextTable::kChannelNameCount; ++i)
        EXPECT_NE(L"", W(TextTable::ChannelName(i))) << "B" << i;
    for (int i = 0; i < TextTable::kTargetNameCount; ++i)
        EXPECT_NE(L"", W(TextTable::TargetName(i))) << "K" << i;
    for (int i = 0; i < TextTable::kTextCount; ++i)
        EXPECT_NE(L"", W(TextTable::Text(i, u""))) << "T" << i;
    EXPECT_EQ(L"Input A", W(TextTable::ChannelName(0)));
    EXPECT_EQ(L"&Open profile...", W(TextTable::Text(0, u"")));
    // The message prefixes are followed by the error text, so their final space matters.
    EXPECT_EQ(L": ", W(TextTable::Text(20, u"")).substr(W(TextTable::Text(20, u"")).size() - 2));
    EXPECT_EQ(L": ", W(TextTable::Text(21, u"")).substr(W(TextTable::Text(21, u"")).size() - 2));
    EXPECT_EQ(L'"', W(TextTable::Text(28, u"")).back());
    EXPECT_EQ(L'"', W(TextTable::Text(30, u"")).back());

    // Section "Joystick": the names of the joystick inputs.
    const wchar_t* inputKeys[] = {L"Button",  L"DPad",    L"XAxis",   L"YAxis",    L"ZAxis",    L"XRAxis",
                                  L"YRAxis",  L"ZRAxis",  L"Slider",  L"Dial",     L"Wheel",    L"HatSwitch",
                                  L"XVector", L"YVector", L"ZVector", L"XRVector", L"YRVector", L"ZRVector",
                                  L"DUp",     L"DDown",   L"DRight",  L"DLeft"};
    for (const wchar_t* key : inputKeys) {
        String* text = SettingsStore::ReadFileString(path.c_str(), L"Joystick", key);
        ASSERT_NE(nullptr, text);
        EXPECT_FALSE(text->IsEmpty()) << Utf8(key);
        text->Release();
    }
}

}  // namespace
