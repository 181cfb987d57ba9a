// The OEM-name key of a device and the rule that names it.
#include <gtest/gtest.h>

#include <string>

#include "joystick/DeviceNaming.h"

namespace {

std::u16string KeyName(uint32_t vendor, uint32_t product) {
    char16_t text[128];
    FormatOemKeyName(vendor, product, text, 128);
    return text;
}

// Trimming and the "Controller" fallback are checked with the real registry in
// JoystickEnumerationTest_win.cpp.
TEST(DeviceNamingTest, KeyNameCarriesVendorAndProductInFourHexDigitsCutToTheCallersRoom) {
    EXPECT_EQ(
        u"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\"
        u"VID_1234&PID_00AB",
        KeyName(0x1234, 0x00AB));
    const std::u16string small = KeyName(0xAB, 0xC0DE);
    EXPECT_EQ(u"VID_00AB&PID_C0DE", small.substr(small.size() - 17));
    const std::u16string wide = KeyName(0x12345, 0);
    EXPECT_EQ(u"VID_12345&PID_0000", wide.substr(wide.size() - 18));
    char16_t text[10];  // cut to the caller's room
    FormatOemKeyName(0x1234, 0xAB, text, 10);
    EXPECT_EQ(u"System\\Cu", std::u16string(text));
}

}  // namespace
