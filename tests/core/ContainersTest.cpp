#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/Buffer.h"
#include "core/ObjectList.h"
#include "core/String.h"
#include "../support/TestHeap.h"

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

class ContainersTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked"; }
};

template <typename T>
struct Ref {
    T* p;
    explicit Ref(T* object) : p(object) {}
    ~Ref() { SafeRelease(p); }
    T* operator->() { return p; }
};

TEST_F(ContainersTest, BufferCapacityIsNextMultipleOfFourAboveRequest) {
    Ref<Buffer> buffer(new Buffer);
    const int cases[][2] = {{0, 4}, {1, 4}, {3, 4}, {4, 8}, {6, 8}, {7, 8}, {8, 12}, {13, 16}};
    for (const auto& c : cases) {
        ASSERT_EQ(kOk, buffer->SetCapacity(c[0]));
        EXPECT_EQ(c[1], buffer->Capacity()) << "request " << c[0];
    }
    EXPECT_EQ(kInvalidArg, buffer->SetCapacity(-1));
}

TEST_F(ContainersTest, BufferShrinkCutsLengthAndKeepsPrefixAndEmptyAssignResets) {
    Ref<Buffer> buffer(new Buffer);
    ASSERT_EQ(kOk, buffer->Assign("abcdefghij", 10));
    ASSERT_EQ(kOk, buffer->SetCapacity(3));
    EXPECT_EQ(4, buffer->Capacity());
    EXPECT_EQ(4, buffer->Length());
    EXPECT_EQ(0, std::memcmp(buffer->Data(), "abcd", 4));
    ASSERT_EQ(kOk, buffer->Assign("0123456789abcdef0123", 20));
    ASSERT_EQ(kOk, buffer->Assign(nullptr, 0));
    EXPECT_EQ(0, buffer->Length());
    EXPECT_EQ(4, buffer->Capacity());
    EXPECT_EQ(kInvalidArg, buffer->Assign("x", -2));
}

TEST_F(ContainersTest, BufferAppendGrowsWhenContentReachesCapacity) {
    Ref<Buffer> buffer(new Buffer);
    ASSERT_EQ(kOk, buffer->Append("abc", 3));
    EXPECT_EQ(4, buffer->Capacity());
    // 3 + 1 reaches the capacity of 4: the buffer grows so there is always spare room.
    ASSERT_EQ(kOk, buffer->Append("d", 1));
    EXPECT_EQ(8, buffer->Capacity());
    EXPECT_EQ(4, buffer->Length());
    EXPECT_EQ(0, std::memcmp(buffer->Data(), "abcd", 4));
    EXPECT_EQ(kInvalidArg, buffer->Append("x", -1));
    EXPECT_EQ(kOk, buffer->Append(nullptr, 0));
    EXPECT_EQ(4, buffer->Length());
}

TEST_F(ContainersTest, BufferOutOfMemoryLeavesContentUnchanged) {
    Ref<Buffer> buffer(new Buffer);
    ASSERT_EQ(kOk, buffer->Assign("abc", 3));
    ScopedTestHeap heap;
    heap.FailAfter(0);
    EXPECT_EQ(kOutOfMemory, buffer->Append("defgh", 5));
    EXPECT_EQ(3, buffer->Length());
    EXPECT_EQ(4, buffer->Capacity());
    EXPECT_EQ(0, std::memcmp(buffer->Data(), "abc", 3));
}

TEST_F(ContainersTest, StringAlwaysNulTerminatedAcrossGrowth) {
    Ref<String> text(new String);
    EXPECT_EQ(0, text->Length());
    EXPECT_EQ(4, text->Storage().Capacity());
    EXPECT_EQ(u'\0', text->Chars()[0]);
    std::u16string expected;
    for (int i = 0; i < 40; ++i) {
        const char16_t c = static_cast<char16_t>(u'a' + i % 26);
        ASSERT_EQ(kOk, text->Append(&c, 1));
        expected += c;
        ASSERT_EQ(expected, std::u16string(text->Chars())) << "after " << i + 1 << " characters";
        ASSERT_GE(text->Storage().Capacity(), text->Storage().Length() + 2);
    }
    // Exactly two characters: 4 bytes of content need a block of 8 for the NUL.
    ASSERT_EQ(kOk, text->Assign(u"ab"));
    EXPECT_EQ(u"ab", std::u16string(text->Chars()));
    EXPECT_GE(text->Storage().Capacity(), 6);
    ASSERT_EQ(kOk, text->Assign(u"xyz", 2));
    EXPECT_EQ(u"xy", std::u16string(text->Chars()));
}

TEST_F(ContainersTest, StringAppendedToItselfDoublesAcrossGrowth) {
    ScopedTestHeap heap;  // moves the block on every growth and scribbles over the old one
    Ref<String> text(new String(u"abc"));
    for (std::u16string expected = u"abcabc"; expected.size() <= 96; expected += expected) {
        ASSERT_EQ(kOk, text->Append(text->Chars(), text->Length()));
        ASSERT_EQ(expected, std::u16string(text->Chars()));
    }
}

TEST_F(ContainersTest, StringTrimRemovesBlankSetOnly) {
    Ref<String> text(new String(u" \tabc\u00A0 "));
    text->Trim();
    EXPECT_EQ(u"abc", std::u16string(text->Chars()));

    Ref<String> blanks(new String(u"   \r\n\t"));
    blanks->Trim();
    EXPECT_TRUE(blanks->IsEmpty());
    EXPECT_EQ(u'\0', blanks->Chars()[0]);

    // Vertical tab and form feed are content, as is a blank in the middle.
    Ref<String> kept(new String(u"\va b\f"));
    kept->Trim();
    EXPECT_EQ(u"\va b\f", std::u16string(kept->Chars()));
}

TEST_F(ContainersTest, ListReserveKeepsBlockWithinMarginAndShrinksBeyondIt) {
    Ref<ObjectList> list(new ObjectList);
    EXPECT_EQ(kInvalidArg, list->Reserve(0));
    ASSERT_EQ(kOk, list->Reserve(32));
    EXPECT_EQ(48, list->Capacity());
    ASSERT_EQ(kOk, list->Reserve(17));  // within (16, 48]: kept
    EXPECT_EQ(48, list->Capacity());
    ASSERT_EQ(kOk, list->Reserve(16));  // 32 entries would stay empty: shrinks
    EXPECT_EQ(32, list->Capacity());
    ASSERT_EQ(kOk, list->Reserve(33));
    EXPECT_EQ(49, list->Capacity());
}

TEST_F(ContainersTest, ListAppendAndRemoveManageReferences) {
    Ref<ObjectList> list(new ObjectList);
    Item* a = new Item(1, 0);
    Item* b = new Item(2, 0);
    RefObject* both[] = {a, b};
    ASSERT_EQ(kOk, list->Append(both, 2));
    EXPECT_EQ(2u, a->RefCount());
    EXPECT_EQ(2, list->Count());
    EXPECT_EQ(18, list->Capacity());

    EXPECT_EQ(0, list->RemoveAt(2));
    EXPECT_EQ(0, list->RemoveAt(-1));
    EXPECT_EQ(1, list->RemoveAt(0));
    EXPECT_EQ(1u, a->RefCount());
    EXPECT_EQ(b, list->At(0));
    // Removing the last item: reserving 0 is refused, so the block stays.
    EXPECT_EQ(1, list->RemoveAt(0));
    EXPECT_EQ(0, list->Count());
    EXPECT_EQ(18, list->Capacity());
    a->Release();
    b->Release();
}

TEST_F(ContainersTest, ListRemoveShrinksAfterManyRemovals) {
    Ref<ObjectList> list(new ObjectList);
    std::vector<Item*> items;
    for (int i = 0; i < 60; ++i) {
        items.push_back(new Item(i, 0));
        ASSERT_EQ(kOk, list->Append(items.back()));
        items.back()->Release();
    }
    const int32_t grown = list->Capacity();
    while (list->Count() > 5)
        list->RemoveAt(list->Count() - 1);
    EXPECT_LT(list->Capacity(), grown);
    EXPECT_EQ(4, static_cast<Item*>(list->At(4))->value);
}

TEST_F(ContainersTest, ListReserveBelowTheCountKeepsEveryEntry) {
    Ref<ObjectList> list(new ObjectList);
    for (int i = 0; i < 40; ++i) {
        Item* item = new Item(i, 0);
        ASSERT_EQ(kOk, list->Append(item));
        item->Release();
    }
    for (int32_t request : {1, 20, 39}) {
        ASSERT_EQ(kOk, list->Reserve(request));
        ASSERT_GE(list->Capacity(), list->Count());
        ASSERT_EQ(40, list->Count());
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(i, static_cast<Item*>(list->At(i))->value);
    }
}

TEST_F(ContainersTest, ListAppendFailureChangesNothing) {
    Ref<ObjectList> list(new ObjectList);
    Item* a = new Item(1, 0);
    ScopedTestHeap heap;
    heap.FailAfter(0);
    EXPECT_EQ(kOutOfMemory, list->Append(a));
    EXPECT_EQ(0, list->Count());
    EXPECT_EQ(1u, a->RefCount());
    a->Release();
}

TEST_F(ContainersTest, ListSortIsStableAndOrders) {
    Ref<ObjectList> list(new ObjectList);
    // Values with repeats; the tag records the original order among equals.
    const int values[] = {3, 1, 2, 3, 1, 2, 0, 3, 1, 5, 4, 2, 2, 0, 1};
    for (int i = 0; i < 15; ++i) {
        Item* item = new Item(values[i], i);
        list->Append(item);
        item->Release();
    }
    list->Sort(0, list->Count(), ByValue);
    for (int i = 1; i < list->Count(); ++i) {
        auto* prev = static_cast<Item*>(list->At(i - 1));
        auto* cur = static_cast<Item*>(list->At(i));
        ASSERT_LE(prev->value, cur->value);
        if (prev->value == cur->value) {
            EXPECT_LT(prev->tag, cur->tag) << "equal entries swapped at " << i;
        }
    }
}

TEST_F(ContainersTest, ListSortOfSubrangeLeavesTheRest) {
    Ref<ObjectList> list(new ObjectList);
    const int values[] = {9, 3, 1, 2, 0};
    for (int v : values) {
        Item* item = new Item(v, 0);
        list->Append(item);
        item->Release();
    }
    list->Sort(1, 3, ByValue);
    const int expected[] = {9, 1, 2, 3, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(expected[i], static_cast<Item*>(list->At(i))->value);
    list->Sort(3, 5, ByValue);  // runs past the end: ignored
    EXPECT_EQ(3, static_cast<Item*>(list->At(3))->value);
}

}  // namespace
