#include "support/JoystickFixture.h"

#include "joystick/HidFunctions.h"

namespace {

class HidBindingTest : public JoystickFixture {};

TEST_F(HidBindingTest, BindingTwiceLoadsTheLibraryOnce) {
    EXPECT_EQ(kOk, HoldAndBindHid());
    EXPECT_EQ(kOk, HoldAndBindHid());
    EXPECT_EQ(1, StrictHidState().Loads.load());
    EXPECT_NE(nullptr, Hid().GetUsageValue);
    LetGoHid();
    EXPECT_TRUE(HidLibraryLoaded());
    LetGoHid();
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_EQ(1, StrictHidState().Unloads.load());
}

TEST_F(HidBindingTest, MissingLibraryFailsWithFileNotFoundAndHoldsNothing) {
    StrictHidState().LoadFails = true;
    EXPECT_EQ(kFileNotFound, HoldAndBindHid());
    EXPECT_EQ(0, HidHolderCount());
    EXPECT_FALSE(HidLibraryLoaded());
}

TEST_F(HidBindingTest, MissingFunctionFailsEveryTimeAndUnloads) {
    StrictHidState().MissingFunction = "HidP_GetUsageValue";
    EXPECT_EQ(kNotImplemented, HoldAndBindHid());
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_EQ(kNotImplemented, HoldAndBindHid()) << "a second attempt must not report a half-bound library";
    EXPECT_EQ(2, StrictHidState().Loads.load());
    EXPECT_EQ(2, StrictHidState().Unloads.load());
    EXPECT_EQ(0, HidHolderCount());
}

TEST_F(HidBindingTest, FailedBindUnderAnotherHoldIsNotReportedAsBound) {
    StrictHidState().MissingFunction = "HidD_GetProductString";
    HoldHid();
    EXPECT_EQ(kNotImplemented, BindHid());
    EXPECT_EQ(kNotImplemented, BindHid());
    EXPECT_EQ(nullptr, Hid().GetCaps);
    LetGoHid();
    EXPECT_FALSE(HidLibraryLoaded());
}

TEST_F(HidBindingTest, LibraryStaysLoadedUntilTheLastDeviceGoes) {
    JoystickDevice* first = MakeStrictDevice(GamePadLayout(), Handle(1));
    JoystickDevice* second = MakeStrictDevice(GamePadLayout(), Handle(2));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_TRUE(HidLibraryLoaded());
    EXPECT_EQ(2, HidHolderCount());
    first->Release();
    EXPECT_TRUE(HidLibraryLoaded());
    second->Release();
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_EQ(1, StrictHidState().Loads.load());
    EXPECT_EQ(1, StrictHidState().Unloads.load());
}

TEST_F(HidBindingTest, ShutdownUnloadsWhateverTheCountAndALaterReleaseKeepsItAtZero) {
    JoystickDevice* device = MakeStrictDevice(GamePadLayout(), Handle(1));
    ASSERT_NE(nullptr, device);
    ReaderShutdown();
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_EQ(0, HidHolderCount());
    device->Release();
    EXPECT_EQ(0, HidHolderCount()) << "the count must not go negative";
    // A fresh start binds again.
    ASSERT_EQ(kOk, ReaderStartup(&FakeReaderThread::kFunctions));
    EXPECT_EQ(kOk, HoldAndBindHid());
    EXPECT_EQ(2, StrictHidState().Loads.load());
    LetGoHid();
}

}  // namespace
