// Registry value data as text. Each case copies its bytes into a block of exactly that
// size, so that the AddressSanitizer build catches any read past the data.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "persistence/ValueText.h"
#include "../support/TestHeap.h"

namespace {

class ValueTextTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked"; }

    // The text for exactly these bytes, placed at an odd address when misaligned is set.
    static std::u16string TextOf(const std::vector<uint8_t>& bytes, bool misaligned = false) {
        const size_t offset = misaligned ? 1 : 0;
        std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size() + offset]);
        std::copy(bytes.begin(), bytes.end(), block.get() + offset);
        String* text = TextFromValueBytes(block.get() + offset, static_cast<int32_t>(bytes.size()));
        EXPECT_NE(nullptr, text);
        if (text == nullptr)
            return u"<null>";
        std::u16string result(text->Chars(), text->Length());
        text->Release();
        return result;
    }
};

TEST_F(ValueTextTest, TerminatedTextEndsAtItsNul) {
    EXPECT_EQ(u"Pad", TextOf({'P', 0, 'a', 0, 'd', 0, 0, 0}));
    EXPECT_EQ(u"A", TextOf({'A', 0, 0, 0, 'B', 0}));
}

TEST_F(ValueTextTest, TextWithoutNulStopsAtTheEndOfTheData) {
    EXPECT_EQ(u"Pad", TextOf({'P', 0, 'a', 0, 'd', 0}));
    EXPECT_EQ(u"Pad", TextOf({'P', 0, 'a', 0, 'd', 0}, true));
}

TEST_F(ValueTextTest, OddByteCountDropsTheHalfUnit) {
    EXPECT_EQ(u"AB", TextOf({'A', 0, 'B', 0, 'C'}));
    EXPECT_EQ(u"", TextOf({'A'}));
    EXPECT_EQ(u"", TextOf({}));
}

TEST_F(ValueTextTest, UnitsAreLittleEndianUtf16) {
    EXPECT_EQ(u"Botão", TextOf({'B', 0, 'o', 0, 't', 0, 0xE3, 0, 'o', 0}));
    EXPECT_EQ(u"\u4E2D", TextOf({0x2D, 0x4E}));
}

TEST_F(ValueTextTest, ExhaustedMemoryGivesNullAndLeaksNothing) {
    const uint8_t bytes[] = {'P', 0, 'a', 0, 'd', 0};
    ScopedTestHeap heap;
    heap.FailAfter(1);  // the empty String's block succeeds, the text's growth fails
    EXPECT_EQ(nullptr, TextFromValueBytes(bytes, sizeof(bytes)));
}

}  // namespace
