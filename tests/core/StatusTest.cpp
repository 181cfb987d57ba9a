// Status codes: a Win32 failure turned into an HResult never reads as success.
#include <gtest/gtest.h>

#include "core/Status.h"

namespace {

TEST(Status, AFailureFromAnErrorNeverReadsAsSuccess) {
    EXPECT_EQ(FailureFromError(0), static_cast<HResult>(0x80004005u));
    EXPECT_EQ(FailureFromError(2), static_cast<HResult>(0x80070002u));
    EXPECT_EQ(FailureFromError(0x8007000Eu), static_cast<HResult>(0x8007000Eu));
    EXPECT_EQ(FailureFromError(0x2A0005), static_cast<HResult>(0x80070005u)) << "the code's low word only";
}

}  // namespace
