// Registry value data as text. Each case copies its bytes into a block of exactly that
// size, so that the AddressSanitizer build catches any read past the data. The registry
// side of the same reads is checked against Wine's registry in SettingsStoreTest_win.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "text/ValueText.h"
#include "../support/TestHeap.h"

namespace {

class ValueTextTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked"; }
};

// Each block starts at an odd address: registry data need not be aligned for char16_t.
TEST_F(ValueTextTest, TextEndsAtTheFirstNulOrTheLastWholeUnitOfTheData) {
    const std::pair<std::vector<uint8_t>, std::u16string> cases[] = {
        {{'P', 0, 'a', 0, 'd', 0, 0, 0}, u"Pad"},
        {{'A', 0, 0, 0, 'B', 0}, u"A"},
        {{'P', 0, 'a', 0, 'd', 0}, u"Pad"},  // no NUL
        {{'A', 0, 'B', 0, 'C'}, u"AB"},      // odd count: the half unit is dropped
        {{'A'}, u""},
        {{}, u""},
        {{0xE3, 0, 0x2D, 0x4E}, u"\u00E3\u4E2D"},  // little-endian units
    };
    for (const auto& c : cases) {
        std::unique_ptr<uint8_t[]> block(new uint8_t[c.first.size() + 1]);
        std::copy(c.first.begin(), c.first.end(), block.get() + 1);
        String* text = TextFromValueBytes(block.get() + 1, static_cast<int32_t>(c.first.size()));
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(c.second, std::u16string(text->Chars(), text->Length())) << "case " << (&c - cases);
        text->Release();
    }
}

TEST_F(ValueTextTest, ExhaustedMemoryGivesNullAndLeaksNothing) {
    const uint8_t bytes[] = {'P', 0, 'a', 0, 'd', 0};
    ScopedTestHeap heap;
    heap.FailAfter(1);  // the empty String's block succeeds, the text's growth fails
    EXPECT_EQ(nullptr, TextFromValueBytes(bytes, sizeof(bytes)));
}

}  // namespace
