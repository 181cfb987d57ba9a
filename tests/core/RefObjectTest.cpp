// The down-cast by type id and the reference it hands out. Counting down and destroying
// once is what every test's leak check relies on.
#include <gtest/gtest.h>

#include "core/String.h"

// A list releasing its items is checked by every container test's leak check.
namespace {

TEST(RefObjectTest, QueryInterfaceAcceptsOwnAndBaseIdsOnly) {
    String* text = new String(u"abc");
    void* out = nullptr;
    EXPECT_EQ(kOk, text->QueryInterface(kTypeString, &out));
    EXPECT_EQ(text, out);
    EXPECT_EQ(2u, text->RefCount());
    text->Release();

    out = nullptr;
    EXPECT_EQ(kOk, text->QueryInterface(kTypeRefObject, &out));
    text->Release();

    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(kNoInterface, text->QueryInterface(kTypeBuffer, &out));
    EXPECT_EQ(kNoInterface, text->QueryInterface(kTypeObjectList, &out));
    EXPECT_EQ(reinterpret_cast<void*>(0x1), out) << "a refused cast must leave the result alone";
    EXPECT_EQ(1u, text->RefCount());
    text->Release();
    EXPECT_TRUE(AllInstanceCountersZero());
}

// An object whose count is already 0 (being destroyed, while a list it is in releases it)
// is left alone by a Release, and the count does not wrap.
TEST(RefObjectTest, ReleaseOfAnObjectBeingDestroyedDoesNothing) {
    static uint32_t released = 1;
    struct Probe : RefObject {
        int32_t GetTypeId() const override { return kTypeRefObject; }
        ~Probe() override { released = Release(); }
    };
    EXPECT_EQ((new Probe())->Release(), 0u);
    EXPECT_EQ(released, 0u);
}

}  // namespace
