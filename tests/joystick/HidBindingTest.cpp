// Loading and binding the HID library and the holds that keep it loaded.
#include "support/JoystickFixture.h"

#include "joystick/HidFunctions.h"

namespace {

// A library lacking a function, and the library's life with the devices that hold it, are
// checked with the real hid.dll in JoystickEnumerationTest_win.cpp.
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

TEST_F(HidBindingTest, FailedBindUnderAnotherHoldIsNotReportedAsBound) {
    StrictHidState().MissingFunction = "HidD_GetProductString";
    HoldHid();
    EXPECT_EQ(kNotImplemented, BindHid());
    EXPECT_EQ(kNotImplemented, BindHid());
    EXPECT_EQ(nullptr, Hid().GetCaps);
    LetGoHid();
    EXPECT_FALSE(HidLibraryLoaded());
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
