// The text table's load rule, fed by a reader that stands in for the translation file:
// which keys are read, in which order, and what an empty or unreadable key gives. Real
// files, the heap copies and Free are checked under Wine in TextTableTest_win.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/TextTable.h"
#include "../support/TestHeap.h"

namespace {

// Stands in for section "UI" of a translation file in which every key reads "text <key>",
// except some that are empty (as a missing key reads) and one that gives no string at all.
struct FakeFile {
    std::vector<std::u16string> empty;
    std::u16string unreadable;
    std::vector<std::u16string> reads;

    static String* Read(const char16_t* key, void* context) {
        auto* file = static_cast<FakeFile*>(context);
        file->reads.push_back(key);
        if (file->unreadable == key)
            return nullptr;
        const bool empty = std::find(file->empty.begin(), file->empty.end(), key) != file->empty.end();
        return new String(empty ? u"" : (u"text " + std::u16string(key)).c_str());
    }
};

// Every key of the table in file order, built without TextTable::KeyName so that the
// read-order test checks the key names too.
std::vector<std::u16string> AllKeys() {
    std::vector<std::u16string> keys;
    const std::pair<char16_t, int32_t> groups[] = {{u'B', TextTable::kChannelNameCount},
                                                   {u'K', TextTable::kTargetNameCount},
                                                   {u'T', TextTable::kTextCount}};
    for (const auto& group : groups) {
        for (int32_t i = 0; i < group.second; ++i) {
            keys.push_back(std::u16string(1, group.first));
            for (char c : std::to_string(i))
                keys.back().push_back(static_cast<char16_t>(c));
        }
    }
    return keys;
}

class TextTableTest : public ::testing::Test {
  protected:
    void TearDown() override {
        TextTable::Free();
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }
};

// An empty key shows an empty text, except a text newer than the first files (T32 on),
// which older files lack: it keeps its built-in wording.
TEST_F(TextTableTest, FileReplacesEveryTextReadInFileOrderAndEmptyUnreadableOrOutOfRangeEntriesAreEmpty) {
    FakeFile file{{u"B6", u"T31", u"T32"}, u"K5", {}};
    TextTable::LoadWith(FakeFile::Read, &file);
    ASSERT_TRUE(TextTable::IsLoaded());
    std::vector<std::u16string> keys = AllKeys();
    keys.insert(keys.begin(), u"B0");  // the probe
    EXPECT_EQ(keys, file.reads);

    std::vector<std::u16string> texts;
    for (int32_t i = 0; i < TextTable::kChannelNameCount; ++i)
        texts.push_back(TextTable::ChannelName(i));
    for (int32_t i = 0; i < TextTable::kTargetNameCount; ++i)
        texts.push_back(TextTable::TargetName(i));
    for (int32_t i = 0; i < TextTable::kTextCount; ++i)
        texts.push_back(TextTable::Text(i, u"built-in"));
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::u16string& key = keys[i + 1];
        EXPECT_EQ(key == u"T32" ? u"built-in"
                                : (key == u"B6" || key == u"K5" || key == u"T31" ? u"" : u"text " + key),
                  texts[i]);
    }
    EXPECT_EQ(std::u16string(), TextTable::ChannelName(7)) << "out of range";
    EXPECT_EQ(std::u16string(), TextTable::ChannelName(-1));
    EXPECT_EQ(std::u16string(), TextTable::TargetName(44));
    EXPECT_EQ(std::u16string(u"x"), TextTable::Text(TextTable::kTextCount, u"x"));
}

TEST_F(TextTableTest, FileWithEmptyOrUnreadableB0IsIgnoredCompletely) {
    FakeFile files[2] = {{{u"B0"}, u"", {}}, {{}, u"B0", {}}};
    for (FakeFile& file : files) {
        TextTable::LoadWith(FakeFile::Read, &file);
        EXPECT_EQ(std::vector<std::u16string>{u"B0"}, file.reads) << "nothing but the probe is read";
        EXPECT_FALSE(TextTable::IsLoaded());
        EXPECT_EQ(std::u16string(u"Tecla 9"), TextTable::TargetName(43));
    }
}

TEST_F(TextTableTest, ExhaustedMemoryPartWayKeepsNothingOfTheFile) {
    ScopedTestHeap heap;
    FakeFile file;
    heap.FailAfter(60);
    TextTable::LoadWith(FakeFile::Read, &file);
    heap.FailAfter(-1);
    EXPECT_EQ(0, heap.LiveBlocks());
    EXPECT_FALSE(TextTable::IsLoaded());
    EXPECT_EQ(std::u16string(u"Sensor deslizante"), TextTable::ChannelName(6));
}

}  // namespace
