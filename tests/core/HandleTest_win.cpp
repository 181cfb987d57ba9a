// The handle family under Wine: whichever way a handle goes (moved, moved onto another,
// released, never valid), the system gets it back exactly once or, once released, not at all.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/Handle_win.h"

namespace {

std::vector<HANDLE> gClosed;

struct CountedKind {
    using Type = HANDLE;
    static bool IsValid(HANDLE handle) { return IsValidHandle(handle); }
    static void Close(HANDLE handle) { gClosed.push_back(handle); }
};
using Counted = Scoped<CountedKind>;

TEST(ScopedHandle, EachHandleGoesBackOnceWhicheverWayItMoves) {
    HANDLE a = reinterpret_cast<HANDLE>(4), b = reinterpret_cast<HANDLE>(8);
    {
        Counted first(a);
        Counted second(std::move(first));
        EXPECT_FALSE(first);
        Counted third(b);
        third = std::move(second);
        EXPECT_EQ(gClosed, std::vector<HANDLE>{b}) << "the handle moved over goes back at once";
        Counted& same = third;
        third = std::move(same);
        EXPECT_EQ(third.Get(), a) << "a move onto itself keeps the handle";
        Counted never(INVALID_HANDLE_VALUE);
        EXPECT_FALSE(never);
        Counted released(b);
        EXPECT_EQ(released.Release(), b);
    }
    EXPECT_EQ(gClosed, (std::vector<HANDLE>{b, a}));
}

}  // namespace
