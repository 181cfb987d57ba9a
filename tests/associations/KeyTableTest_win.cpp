// The key list's codes against the keyboard layout under Wine: each key's scan code maps to
// the virtual key its name says, and only the arrows carry the extended-key flag. A key
// sent through the real SendInput to a window is checked by the window session.
#include <gtest/gtest.h>
#include <windows.h>

#include "associations/KeyTable.h"

TEST(KeyTableTest, EachKeysScanCodeIsTheKeyItsNameSays) {
    // By the keys' names: the arrows, space, enter, escape, A to Z, 0 to 9.
    const UINT named[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT, VK_SPACE, VK_RETURN, VK_ESCAPE};
    for (int32_t index = 1; index < KeyTable::kCount; ++index) {
        const uint32_t code = KeyTable::Code(index);
        const UINT key = index <= 7 ? named[index - 1] : (index <= 33 ? 'A' + index - 8 : '0' + index - 34);
        EXPECT_EQ(key, MapVirtualKeyW((code & 0xFF) | (code & 0x100 ? 0xE000 : 0), MAPVK_VSC_TO_VK_EX))
            << index;
        EXPECT_EQ(code >> 8, index <= 4 ? 1u : 0u) << index << ": only the arrows are extended";
    }
}
