// Enumeration over the raw-input seam with virtual devices whose preparsed data hidparse.sys
// built from real descriptors, naming from the real (Wine) registry, and the life cycle of
// the real hid.dll: loaded while a device exists, unloaded after the last, and a library
// that lacks a function refused every time.
#include <gtest/gtest.h>

#include <string>

#include "JoystickSupport_win.h"
#include "core/ObjectList.h"
#include "core/RefObject.h"
#include "joystick/JoystickDevice.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"

namespace {

class JoystickEnumeration : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_.Install();
        CountingHidLoader::Install();
        ASSERT_EQ(JoystickStartup(), kOk);
        pad_ = Descriptor("gamepad12").Preparsed();
        stick_ = Descriptor("flight_stick").Preparsed();
        ASSERT_FALSE(pad_.empty());
        ASSERT_FALSE(stick_.empty());
    }
    void TearDown() override {
        SafeRelease(list_);
        JoystickShutdown();
        SetHidLoader(nullptr);
        fake_.Uninstall();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    HResult Enumerate() {
        SafeRelease(list_);
        return EnumerateJoysticks(&list_);
    }
    JoystickDevice* DeviceAt(int32_t index) { return static_cast<JoystickDevice*>(list_->At(index)); }
    std::u16string NameAt(int32_t index) { return DeviceAt(index)->Name->Chars(); }

    FakeRawInput& fake_ = FakeRawInput::Instance();
    std::vector<uint8_t> pad_;
    std::vector<uint8_t> stick_;
    ObjectList* list_ = nullptr;
};

// Also skipped: a device whose preparsed data cannot be read, and data hid.dll refuses.
TEST_F(JoystickEnumeration, ListsJoysticksAndGamePadsInSystemOrderAndSkipsEverythingElse) {
    fake_.AddOther(RIM_TYPEKEYBOARD);
    fake_.FailPreparsedData(fake_.AddHid(0x0171, 0x0419, 1, 5, pad_));
    fake_.AddHid(0x1111, 0x2222, 1, 4, {1, 2, 3, 4});
    HANDLE stick = fake_.AddHid(0x11C0, 0x5606, 1, 4, stick_);
    fake_.AddOther(RIM_TYPEMOUSE);
    fake_.AddHid(0x045E, 0x0B12, 0x0C, 1, pad_);  // consumer controls
    fake_.AddHid(0x046D, 0xC077, 1, 2, pad_);     // a HID mouse
    HANDLE pad = fake_.AddHid(0x0171, 0x0419, 1, 5, pad_);

    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_NE(list_, nullptr);
    ASSERT_EQ(list_->Count(), 2);
    EXPECT_EQ(DeviceAt(0)->RawHandle, stick);
    EXPECT_EQ(DeviceAt(0)->Usage, 4u);
    EXPECT_EQ(DeviceAt(0)->VendorId, 0x11C0u);
    EXPECT_EQ(DeviceAt(0)->ProductId, 0x5606u);
    EXPECT_EQ(DeviceAt(0)->ButtonCount, 29);
    EXPECT_EQ(DeviceAt(1)->RawHandle, pad);
    EXPECT_EQ(DeviceAt(1)->Usage, 5u);
    EXPECT_EQ(DeviceAt(1)->ButtonCount, 12);
    EXPECT_EQ(DeviceAt(1)->AxisCount, 6);
    EXPECT_EQ(DeviceAt(1)->HatCount, 1);
    EXPECT_EQ(DeviceAt(1)->VersionNumber, 0x0100u);
    EXPECT_EQ(list_->At(0)->RefCount(), 1u);  // the list's reference is the only one
}

TEST_F(JoystickEnumeration, DeviceListFailureReturnsTheSystemErrorAndNoList) {
    fake_.AddHid(0x0171, 0x0419, 1, 5, pad_);
    fake_.FailDeviceList(ERROR_ACCESS_DENIED);
    // The caller's place is emptied, not released: it was not the enumeration's reference.
    ObjectList* previous = new ObjectList;
    ObjectList* out = previous;
    EXPECT_EQ(EnumerateJoysticks(&out), HResultFromError(ERROR_ACCESS_DENIED));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(previous->RefCount(), 1u);
    previous->Release();
}

// The OEM name from the real registry: text or binary text, trimmed; anything else, or
// nothing left after trimming, gives "Controller". Two identical pads share their name.
TEST_F(JoystickEnumeration, NameIsTheTrimmedOemNameFromTheRegistryOrController) {
    const std::u16string texts[] = {u"  Pad X\t", u" Stick Pro \r\n", u"", u" \t \u00A0 "};
    const DWORD letters = 0x41424344;
    OemNameKey sz(0x1234, 0x00AB), binary(0x00AB, 0x0001), empty(0x2001, 1), blank(0x2001, 2);
    OemNameKey dword(0x2001, 3), noValue(0x2001, 4);  // a number; a key without the value
    sz.SetString(texts[0]);
    binary.Set(REG_BINARY, texts[1].data(), texts[1].size() * 2);  // no NUL
    empty.SetString(texts[2]);
    blank.SetString(texts[3]);
    dword.Set(REG_DWORD, &letters, sizeof letters);
    const uint16_t ids[][2] = {{0x1234, 0x00AB}, {0x00AB, 1}, {0x2001, 1}, {0x2001, 2},
                               {0x2001, 3},      {0x2001, 4}, {0x2001, 5}, {0x1234, 0x00AB}};
    for (const auto& id : ids)
        fake_.AddHid(id[0], id[1], 1, 5, pad_);
    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_EQ(list_->Count(), 8);
    const char16_t* expected[] = {u"Pad X",      u"Stick Pro",  u"Controller", u"Controller",
                                  u"Controller", u"Controller", u"Controller", u"Pad X"};
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(NameAt(i), expected[i]) << "device " << i;
    EXPECT_NE(DeviceAt(0)->RawHandle, DeviceAt(7)->RawHandle);
}

// The real hid.dll: enumeration holds it for its own run, each device for its life.
TEST_F(JoystickEnumeration, HidLibraryStaysLoadedWhileADeviceExistsAndGoesWithTheLast) {
    fake_.AddHid(0x0171, 0x0419, 1, 5, pad_);
    fake_.AddHid(0x11C0, 0x5606, 1, 4, stick_);
    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_EQ(list_->Count(), 2);
    JoystickDevice* first = DeviceAt(0);
    JoystickDevice* second = DeviceAt(1);
    first->AddRef();
    second->AddRef();
    SafeRelease(list_);
    EXPECT_TRUE(HidLibraryLoaded());
    EXPECT_TRUE(CountingHidLoader::ModuleLoaded());
    EXPECT_EQ(CountingHidLoader::loads.load(), 1);

    first->Release();
    EXPECT_TRUE(HidLibraryLoaded());
    EXPECT_TRUE(CountingHidLoader::ModuleLoaded());
    EXPECT_EQ(CountingHidLoader::unloads.load(), 0);

    second->Release();
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_FALSE(CountingHidLoader::ModuleLoaded());
    EXPECT_EQ(CountingHidLoader::unloads.load(), 1);

    // With nothing listed the enumeration's own hold is let go at its end.
    fake_.Install();
    ASSERT_EQ(Enumerate(), kOk);
    EXPECT_EQ(list_->Count(), 0);
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_FALSE(CountingHidLoader::ModuleLoaded());
    EXPECT_EQ(CountingHidLoader::loads.load(), 2);
    EXPECT_EQ(CountingHidLoader::unloads.load(), 2);
}

TEST_F(JoystickEnumeration, LibraryLackingAnyOfTheSixFunctionsFailsEveryTime) {
    fake_.AddHid(0x0171, 0x0419, 1, 5, pad_);
    for (const char* missing : {"HidP_GetCaps", "HidP_GetSpecificButtonCaps", "HidP_GetSpecificValueCaps",
                                "HidD_GetProductString", "HidP_GetUsages", "HidP_GetUsageValue"}) {
        SCOPED_TRACE(missing);
        CountingHidLoader::Install(missing);
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(Enumerate(), kNotImplemented);
            EXPECT_EQ(list_, nullptr);
            EXPECT_FALSE(HidLibraryLoaded());
        }
        EXPECT_EQ(CountingHidLoader::loads.load(), 2);
        EXPECT_EQ(CountingHidLoader::unloads.load(), 2);
        EXPECT_FALSE(CountingHidLoader::ModuleLoaded());
    }
    // The complete library binds again afterwards.
    CountingHidLoader::Install();
    EXPECT_EQ(Enumerate(), kOk);
    EXPECT_EQ(list_->Count(), 1);
}

}  // namespace
