// The real SendInput, fed the records the evaluation pass fills, delivers every key of the
// key list to a window of this test, pressed and released, with the scan code in lParam
// bits 16-23 and the extended flag in bit 24. The virtual key that the keyboard layout
// gives each scan code is checked against the key's name, which checks the table itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "associations/AssociationThread_win.h"

namespace {

TEST(SendInputTest, EveryKeyOfTheListArrivesPressedAndReleasedWithItsScanCode) {
    // An edit box takes the focus; the key messages are read off the queue.
    HWND window = CreateWindowExW(0, L"EDIT", L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    std::vector<MSG> keys;
    auto pump = [&keys] {
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); DispatchMessageW(&message)) {
            if (message.message >= WM_KEYDOWN && message.message <= WM_SYSKEYUP)
                keys.push_back(message);
        }
    };
    // Under X the focus events of a new window arrive late and may move the focus again, so
    // the window must have kept it for a while before the keys go out.
    int32_t steady = 0;
    for (DWORD start = GetTickCount(); steady < 20 && GetTickCount() - start < 5000; Sleep(5)) {
        pump();
        if (GetForegroundWindow() == window && GetFocus() == window) {
            ++steady;
        } else {
            steady = 0;
            SetForegroundWindow(window);
            SetFocus(window);
        }
    }
    ASSERT_EQ(window, GetFocus()) << "the test window has no keyboard focus";
    keys.clear();

    for (int32_t index = 1; index < KeyTable::kCount; ++index) {
        KeyboardInputRecord records[2];
        FillKeyRecord(records[0], KeyTable::Code(index), true);
        FillKeyRecord(records[1], KeyTable::Code(index), false);
        EXPECT_EQ(2u, kPlatformKeyboard.SendInput(2, records, sizeof(KeyboardInputRecord)));
    }
    for (DWORD start = GetTickCount(); keys.size() < 86 && GetTickCount() - start < 5000; Sleep(5))
        pump();
    ASSERT_EQ(86u, keys.size());
    // By the keys' names: the arrows, space, enter, escape, A to Z, 0 to 9.
    const UINT named[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT, VK_SPACE, VK_RETURN, VK_ESCAPE};
    for (int32_t index = 1; index < KeyTable::kCount; ++index) {
        const uint32_t code = KeyTable::Code(index);
        for (int up = 0; up < 2; ++up) {
            const uint32_t lParam = static_cast<uint32_t>(keys[2 * (index - 1) + up].lParam);
            EXPECT_EQ(up ? WM_KEYUP : WM_KEYDOWN, keys[2 * (index - 1) + up].message) << index;
            EXPECT_EQ(code & 0xFF, (lParam >> 16) & 0xFF) << index;
            EXPECT_EQ(code >> 8, (lParam >> 24) & 1) << index << " extended flag";
            EXPECT_EQ(static_cast<uint32_t>(up), lParam >> 31) << index;
        }
        const UINT key = index <= 7 ? named[index - 1] : (index <= 33 ? 'A' + index - 8 : '0' + index - 34);
        EXPECT_EQ(key, MapVirtualKeyW((code & 0xFF) | (code & 0x100 ? 0xE000 : 0), MAPVK_VSC_TO_VK_EX))
            << index;
    }
    DestroyWindow(window);
}

}  // namespace
