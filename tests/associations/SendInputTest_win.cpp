// The real SendInput, fed the records the evaluation pass fills, delivers every key of the
// key list to a window of this test: press and release, with the scan code in lParam bits
// 16-23 and the extended flag in bit 24. The virtual key that the system's keyboard layout
// gives each scan code is checked against the key's name, which checks the table itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "associations/AssociationThread_win.h"
#include "associations/KeyTable.h"

namespace {

std::vector<MSG> gKeys;

LRESULT CALLBACK KeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)
        gKeys.push_back({window, message, wParam, lParam, 0, {}});
    return DefWindowProcW(window, message, wParam, lParam);
}

// The virtual key of each entry 1..43 as its name says: arrows, space, enter, escape, A-Z, 0-9.
UINT ExpectedVirtualKey(int32_t index) {
    static const UINT kFirst[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT, VK_SPACE, VK_RETURN, VK_ESCAPE};
    if (index <= 7)
        return kFirst[index - 1];
    if (index <= 33)
        return 'A' + (index - 8);
    return '0' + (index - 34);
}

TEST(SendInputTest, EveryKeyOfTheListArrivesPressedAndReleasedWithItsScanCode) {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = KeyWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = L"SendInputTestWindow";
    ASSERT_NE(0, RegisterClassExW(&windowClass));
    HWND window = CreateWindowExW(0, L"SendInputTestWindow", L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                  10, 200, 100, nullptr, nullptr, module, nullptr);
    ASSERT_NE(nullptr, window);
    SetForegroundWindow(window);
    SetFocus(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    ASSERT_EQ(window, GetFocus()) << "the test window has no keyboard focus";

    gKeys.clear();
    int32_t keyCount = 0;
    for (int32_t index = 1; index < KeyTable::kCount; ++index, ++keyCount) {
        KeyboardInputRecord records[2];
        FillKeyRecord(records[0], KeyTable::Code(index), true);
        FillKeyRecord(records[1], KeyTable::Code(index), false);
        EXPECT_EQ(2u, kPlatformKeyboard.SendInput(2, records, sizeof(KeyboardInputRecord))) << index;
    }
    const DWORD deadline = GetTickCount() + 5000;
    while (gKeys.size() < 2u * keyCount && GetTickCount() < deadline) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(5);
    }

    ASSERT_EQ(2u * keyCount, gKeys.size());
    for (int32_t index = 1; index < KeyTable::kCount; ++index) {
        SCOPED_TRACE(index);
        const uint32_t code = KeyTable::Code(index);
        const MSG& down = gKeys[2 * (index - 1)];
        const MSG& up = gKeys[2 * (index - 1) + 1];
        EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), down.message);
        EXPECT_EQ(static_cast<UINT>(WM_KEYUP), up.message);
        for (const MSG* key : {&down, &up}) {
            EXPECT_EQ(code & 0xFF, (static_cast<uint32_t>(key->lParam) >> 16) & 0xFF);
            EXPECT_EQ(code >> 8, (static_cast<uint32_t>(key->lParam) >> 24) & 1) << "extended flag";
        }
        EXPECT_EQ(0u, static_cast<uint32_t>(down.lParam) >> 31);
        EXPECT_EQ(1u, static_cast<uint32_t>(up.lParam) >> 31);
        const UINT scan = (code & 0xFF) | ((code & 0x100) != 0 ? 0xE000 : 0);
        EXPECT_EQ(ExpectedVirtualKey(index), MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX));
    }
    DestroyWindow(window);
    UnregisterClassW(L"SendInputTestWindow", module);
}

}  // namespace
