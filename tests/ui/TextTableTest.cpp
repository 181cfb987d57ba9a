// The text table's built-in texts and its load rule, fed by a reader that stands in for
// the translation file: which keys are read, in which order, and what a missing, empty or
// unreadable key gives.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ui/TextTable.h"
#include "../support/TestHeap.h"

namespace {

// Stands in for section "UI" of a translation file.
struct FakeFile {
    std::map<std::u16string, std::u16string> keys;
    // Keys for which the reader produces no string at all.
    std::vector<std::u16string> unreadable;
    std::vector<std::u16string> reads;

    static String* Read(const char16_t* key, void* context) {
        auto* file = static_cast<FakeFile*>(context);
        file->reads.push_back(key);
        for (const auto& k : file->unreadable) {
            if (k == key)
                return nullptr;
        }
        const auto found = file->keys.find(key);
        return new String(found != file->keys.end() ? found->second.c_str() : u"");
    }
};

// Built without TextTable::KeyName, so that the read-order test checks the key names too.
std::u16string Key(char16_t group, int32_t index) {
    std::u16string key(1, group);
    for (char c : std::to_string(index))
        key.push_back(static_cast<char16_t>(c));
    return key;
}

// Every key of the table in file order, each with a distinct text.
FakeFile CompleteFile() {
    FakeFile file;
    for (auto group :
         {std::make_pair(u'B', TextTable::kChannelNameCount),
          std::make_pair(u'K', TextTable::kTargetNameCount), std::make_pair(u'T', TextTable::kTextCount)}) {
        for (int32_t i = 0; i < group.second; ++i)
            file.keys[Key(group.first, i)] = u"text " + Key(group.first, i);
    }
    return file;
}

class TextTableTest : public ::testing::Test {
  protected:
    void TearDown() override {
        TextTable::Free();
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
    static void Load(FakeFile& file) { TextTable::LoadWith(FakeFile::Read, &file); }

    static void ExpectBuiltInTexts() {
        EXPECT_FALSE(TextTable::IsLoaded());
        EXPECT_EQ(std::u16string(u"Entrada A"), TextTable::ChannelName(0));
        EXPECT_EQ(std::u16string(u"Sensor deslizante"), TextTable::ChannelName(6));
        EXPECT_EQ(std::u16string(u"Botão da Ombrix"), TextTable::TargetName(0));
        EXPECT_EQ(std::u16string(u"Tecla 9"), TextTable::TargetName(43));
        const char16_t* builtIn = u"Associações existentes:";
        EXPECT_EQ(builtIn, TextTable::Text(15, builtIn));
    }
};

TEST_F(TextTableTest, BuiltInTextsAreThePortugueseOnes) {
    const std::u16string channels[] = {u"Entrada A",     u"Entrada B",     u"Entrada C",        u"Entrada D",
                                       u"Sensor de luz", u"Sensor de som", u"Sensor deslizante"};
    for (int32_t i = 0; i < TextTable::kChannelNameCount; ++i)
        EXPECT_EQ(channels[i], TextTable::ChannelName(i));

    const std::u16string firstTargets[] = {u"Botão da Ombrix",   u"Seta acima",         u"Seta para baixo",
                                           u"Seta para direita", u"Seta para esquerda", u"Tecla Espaço",
                                           u"Tecla Enter",       u"Tecla Esc"};
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(firstTargets[i], TextTable::TargetName(i));
    for (int32_t letter = 0; letter < 26; ++letter) {
        EXPECT_EQ(u"Tecla " + std::u16string(1, static_cast<char16_t>(u'A' + letter)),
                  TextTable::TargetName(8 + letter));
    }
    for (int32_t digit = 0; digit < 10; ++digit) {
        EXPECT_EQ(u"Tecla " + std::u16string(1, static_cast<char16_t>(u'0' + digit)),
                  TextTable::TargetName(34 + digit));
    }
    ExpectBuiltInTexts();
}

TEST_F(TextTableTest, IndexOutOfRangeGivesEmptyOrBuiltInText) {
    EXPECT_EQ(std::u16string(), TextTable::ChannelName(7));
    EXPECT_EQ(std::u16string(), TextTable::ChannelName(-1));
    EXPECT_EQ(std::u16string(), TextTable::TargetName(44));
    EXPECT_EQ(std::u16string(u"x"), TextTable::Text(32, u"x"));
}

TEST_F(TextTableTest, CompleteFileReplacesEveryTextReadInFileOrder) {
    FakeFile file = CompleteFile();
    Load(file);
    ASSERT_TRUE(TextTable::IsLoaded());

    std::vector<std::u16string> expectedReads = {u"B0"};  // the probe
    for (int32_t i = 0; i < TextTable::kChannelNameCount; ++i)
        expectedReads.push_back(Key(u'B', i));
    for (int32_t i = 0; i < TextTable::kTargetNameCount; ++i)
        expectedReads.push_back(Key(u'K', i));
    for (int32_t i = 0; i < TextTable::kTextCount; ++i)
        expectedReads.push_back(Key(u'T', i));
    EXPECT_EQ(expectedReads, file.reads);

    for (int32_t i = 0; i < TextTable::kChannelNameCount; ++i)
        EXPECT_EQ(u"text " + Key(u'B', i), TextTable::ChannelName(i));
    for (int32_t i = 0; i < TextTable::kTargetNameCount; ++i)
        EXPECT_EQ(u"text " + Key(u'K', i), TextTable::TargetName(i));
    for (int32_t i = 0; i < TextTable::kTextCount; ++i)
        EXPECT_EQ(u"text " + Key(u'T', i), TextTable::Text(i, u"built-in"));
}

TEST_F(TextTableTest, FileWithEmptyMissingOrUnreadableB0IsIgnoredCompletely) {
    FakeFile files[3] = {CompleteFile(), CompleteFile(), CompleteFile()};
    files[0].keys[u"B0"] = u"";
    files[1].keys.erase(u"B0");
    files[2].unreadable = {u"B0"};
    for (FakeFile& file : files) {
        Load(file);
        EXPECT_EQ(std::vector<std::u16string>{u"B0"}, file.reads) << "nothing but the probe is read";
        ExpectBuiltInTexts();
    }
}

TEST_F(TextTableTest, UnreadableLaterKeyGivesEmptyText) {
    FakeFile file = CompleteFile();
    file.unreadable = {u"K5"};
    Load(file);
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::u16string(), TextTable::TargetName(5));
    EXPECT_EQ(std::u16string(u"text K6"), TextTable::TargetName(6));
}

TEST_F(TextTableTest, FreeReleasesEveryTextAndALoadReplacesTheLastOne) {
    ScopedTestHeap heap;
    FakeFile first = CompleteFile();
    Load(first);
    FakeFile second;
    second.keys[u"B0"] = u"Second";
    Load(second);
    ASSERT_TRUE(TextTable::IsLoaded());
    EXPECT_EQ(std::u16string(u"Second"), TextTable::ChannelName(0));
    EXPECT_EQ(TextTable::kEntryCount, heap.LiveBlocks()) << "one heap copy per text, 83 in all";

    TextTable::Free();
    EXPECT_EQ(0, heap.LiveBlocks());
    ExpectBuiltInTexts();
    TextTable::Free();  // a second Free does nothing
    EXPECT_EQ(0, heap.LiveBlocks());
}

TEST_F(TextTableTest, ExhaustedMemoryPartWayKeepsNothingOfTheFile) {
    ScopedTestHeap heap;
    FakeFile file = CompleteFile();
    heap.FailAfter(60);
    Load(file);
    heap.FailAfter(-1);
    EXPECT_EQ(0, heap.LiveBlocks());
    ExpectBuiltInTexts();
}

}  // namespace
