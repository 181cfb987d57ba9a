#include <gtest/gtest.h>

#include <string>

#include "core/RefObject.h"
#include "joystick/DeviceNaming.h"

namespace {

std::u16string KeyName(uint32_t vendor, uint32_t product) {
    char16_t text[128];
    FormatOemKeyName(vendor, product, text, 128);
    return text;
}

std::u16string NameFrom(String* oem) {
    String* name = DeviceNameFromOemText(oem);
    std::u16string text = name != nullptr ? name->Chars() : u"(null)";
    SafeRelease(name);
    return text;
}

class DeviceNamingTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(AllInstanceCountersZero()); }
};

TEST_F(DeviceNamingTest, KeyNameCarriesVendorAndProductInFourHexDigits) {
    EXPECT_EQ(
        u"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\"
        u"VID_1234&PID_00AB",
        KeyName(0x1234, 0x00AB));
    const std::u16string small = KeyName(0xAB, 0xC0DE);
    EXPECT_EQ(u"VID_00AB&PID_C0DE", small.substr(small.size() - 17));
    const std::u16string wide = KeyName(0x12345, 0);
    EXPECT_EQ(u"VID_12345&PID_0000", wide.substr(wide.size() - 18));
}

TEST_F(DeviceNamingTest, KeyNameIsCutToTheCallersRoom) {
    char16_t text[10];
    FormatOemKeyName(0x1234, 0xAB, text, 10);
    EXPECT_EQ(u"System\\Cu", std::u16string(text));
}

TEST_F(DeviceNamingTest, OemNameIsTrimmed) {
    EXPECT_EQ(u"Pad X", NameFrom(new String(u"  \u00a0Pad X\t\r\n")));
}

TEST_F(DeviceNamingTest, MissingEmptyOrBlankOemNameGivesController) {
    EXPECT_EQ(u"Controller", NameFrom(nullptr));
    EXPECT_EQ(u"Controller", NameFrom(new String(u"")));
    EXPECT_EQ(u"Controller", NameFrom(new String(u" \t \u00a0 ")));
}

}  // namespace
