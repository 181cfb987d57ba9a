// Buffer, String and ObjectList, also with a heap that refuses, moves and scribbles.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../support/TestHeap.h"
#include "core/Buffer.h"
#include "core/ObjectList.h"
#include "core/String.h"

namespace {

// A list item carrying a value to sort by and a tag to check stability.
class Item : public RefObject {
  public:
    Item(int value, int tag) : value(value), tag(tag) {}
    int32_t GetTypeId() const override { return 39; }
    int value;
    int tag;
};

int ByValue(RefObject* a, RefObject* b, void*) {
    return static_cast<Item*>(a)->value - static_cast<Item*>(b)->value;
}

template <typename T>
struct Ref {
    T* p;
    explicit Ref(T* object) : p(object) {}
    ~Ref() { SafeRelease(p); }
    T* operator->() { return p; }
};

class ContainersTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked"; }
    // A list of items with these values, tagged with their positions.
    static ObjectList* ListOf(const std::vector<int>& values) {
        auto* list = new ObjectList;
        for (size_t i = 0; i < values.size(); ++i) {
            Item* item = new Item(values[i], static_cast<int>(i));
            EXPECT_EQ(kOk, list->Append(item));
            item->Release();
        }
        return list;
    }
    static std::vector<int> Values(ObjectList* list) {
        std::vector<int> values;
        for (int32_t i = 0; i < list->Count(); ++i)
            values.push_back(static_cast<Item*>(list->At(i))->value);
        return values;
    }
};

TEST_F(ContainersTest, BufferCapacityIsNextMultipleOfFourAboveTheContent) {
    Ref<Buffer> buffer(new Buffer);
    const int cases[][2] = {{0, 4}, {1, 4}, {3, 4}, {4, 8}, {6, 8}, {7, 8}, {8, 12}, {13, 16}};
    for (const auto& c : cases) {
        ASSERT_EQ(kOk, buffer->SetCapacity(c[0]));
        EXPECT_EQ(c[1], buffer->Capacity()) << "request " << c[0];
    }
    EXPECT_EQ(kInvalidArg, buffer->SetCapacity(-1));
    // Shrinking cuts the content to the block and keeps its start.
    ASSERT_EQ(kOk, buffer->Assign("abcdefghij", 10));
    ASSERT_EQ(kOk, buffer->SetCapacity(3));
    EXPECT_EQ(4, buffer->Length());
    EXPECT_EQ(0, std::memcmp(buffer->Data(), "abcd", 4));
    // An empty assignment resets; an append that reaches the capacity grows the block.
    ASSERT_EQ(kOk, buffer->Assign(nullptr, 0));
    EXPECT_EQ(0, buffer->Length());
    EXPECT_EQ(4, buffer->Capacity());
    ASSERT_EQ(kOk, buffer->Append("abc", 3));
    EXPECT_EQ(4, buffer->Capacity());
    ASSERT_EQ(kOk, buffer->Append("d", 1));
    EXPECT_EQ(8, buffer->Capacity());
    EXPECT_EQ(kInvalidArg, buffer->Append("x", -1));
    EXPECT_EQ(kInvalidArg, buffer->Assign("x", -2));
    // Out of memory: the content stays as it was.
    ScopedTestHeap heap;
    heap.FailAfter(0);
    EXPECT_EQ(kOutOfMemory, buffer->Append("efghi", 5));
    EXPECT_EQ(4, buffer->Length());
    EXPECT_EQ(0, std::memcmp(buffer->Data(), "abcd", 4));
}

TEST_F(ContainersTest, StringStaysTerminatedAcrossGrowthAppendsToItselfAndTrimsItsBlanks) {
    Ref<String> text(new String);
    EXPECT_EQ(u'\0', text->Chars()[0]);
    std::u16string expected;
    for (int i = 0; i < 40; ++i) {
        const char16_t c = static_cast<char16_t>(u'a' + i % 26);
        ASSERT_EQ(kOk, text->Append(&c, 1));
        expected += c;
        ASSERT_EQ(expected, std::u16string(text->Chars())) << "after " << i + 1 << " characters";
    }
    ASSERT_EQ(kOk, text->Assign(u"xyz", 2));
    EXPECT_EQ(u"xy", std::u16string(text->Chars()));
    ScopedTestHeap heap;  // moves the block on every growth and scribbles over the old one
    Ref<String> doubled(new String(u"xy"));
    for (expected = u"xyxy"; expected.size() <= 96; expected += expected) {
        ASSERT_EQ(kOk, doubled->Append(doubled->Chars(), doubled->Length()));
        ASSERT_EQ(expected, std::u16string(doubled->Chars()));
    }
    // Trimming removes the blank set only: vertical tab and form feed are content, as is a
    // blank in the middle.
    const std::u16string trims[][2] = {
        {u" \tabc\u00A0 ", u"abc"}, {u"   \r\n\t", u""}, {u"\va b\f", u"\va b\f"}};
    for (const auto& t : trims) {
        ASSERT_EQ(kOk, text->Assign(t[0].c_str()));
        text->Trim();
        EXPECT_EQ(t[1], std::u16string(text->Chars()));
    }
}

TEST_F(ContainersTest, ListKeepsItsBlockWithinAMarginAndEveryEntryWhenReservedBelowTheCount) {
    Ref<ObjectList> list(new ObjectList);
    EXPECT_EQ(kInvalidArg, list->Reserve(0));
    // Capacity after each request: 16 to spare, kept while no more than 32 would stay empty.
    const int32_t reserves[][2] = {{32, 48}, {17, 48}, {16, 32}, {33, 49}};
    for (const auto& r : reserves) {
        ASSERT_EQ(kOk, list->Reserve(r[0]));
        EXPECT_EQ(r[1], list->Capacity()) << r[0];
    }
    Ref<ObjectList> full(ListOf(std::vector<int>(40, 7)));
    for (int32_t request : {1, 20, 39}) {
        ASSERT_EQ(kOk, full->Reserve(request));
        ASSERT_GE(full->Capacity(), 40);
        ASSERT_EQ(std::vector<int>(40, 7), Values(full.p)) << request;
    }
    // Many removals give memory back.
    const int32_t grown = full->Capacity();
    while (full->Count() > 5)
        full->RemoveAt(full->Count() - 1);
    EXPECT_LT(full->Capacity(), grown);
}

TEST_F(ContainersTest, ListAppendAndRemoveManageReferences) {
    Ref<ObjectList> list(new ObjectList);
    Ref<Item> a(new Item(1, 0)), b(new Item(2, 0));
    {
        ScopedTestHeap heap;
        heap.FailAfter(0);
        EXPECT_EQ(kOutOfMemory, list->Append(a.p));
        EXPECT_EQ(0, list->Count());
    }
    RefObject* both[] = {a.p, b.p};
    ASSERT_EQ(kOk, list->Append(both, 2));
    EXPECT_EQ(2u, a->RefCount());
    EXPECT_EQ(0, list->RemoveAt(2));
    EXPECT_EQ(0, list->RemoveAt(-1));
    EXPECT_EQ(1, list->RemoveAt(0));
    EXPECT_EQ(1u, a->RefCount());
    EXPECT_EQ(b.p, list->At(0));
    // Removing the last item: reserving 0 is refused, so the block stays.
    EXPECT_EQ(1, list->RemoveAt(0));
    EXPECT_EQ(18, list->Capacity());
}

TEST_F(ContainersTest, ListSortIsStableAndKeepsToItsRange) {
    Ref<ObjectList> list(ListOf({3, 1, 2, 3, 1, 2, 0, 3, 1, 5, 4, 2, 2, 0, 1}));
    list->Sort(0, list->Count(), ByValue);
    for (int i = 1; i < list->Count(); ++i) {
        auto* prev = static_cast<Item*>(list->At(i - 1));
        auto* cur = static_cast<Item*>(list->At(i));
        ASSERT_LE(prev->value, cur->value);
        if (prev->value == cur->value) {
            EXPECT_LT(prev->tag, cur->tag) << "equal entries swapped at " << i;
        }
    }
    Ref<ObjectList> part(ListOf({9, 3, 1, 2, 0}));
    part->Sort(1, 3, ByValue);
    part->Sort(3, 5, ByValue);  // runs past the end: ignored
    EXPECT_EQ((std::vector<int>{9, 1, 2, 3, 0}), Values(part.p));
}

}  // namespace
