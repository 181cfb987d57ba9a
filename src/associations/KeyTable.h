// The 44 association targets of the key list and their codes, and the keyboard input
// records that the association thread hands to SendInput.
//
// Callers: AddAssociation (code lookup), the association editor (target count), the
// evaluation pass (record filling). The names of the targets are the text table's K group.
#pragma once

#include <cstdint>

namespace KeyTable {

constexpr int32_t kCount = 44;
// Entry 0 is the board's own push button, not a key.
constexpr uint32_t kBoardButtonCode = 0xFFFFFFFFu;
// A code is a set-1 scan code in bits 0..7, with bit 8 set for keys that need the
// extended-key flag (the four arrows). The index is what profiles store: the order is fixed.
extern const uint32_t kCodes[kCount];

// The code of entry index, or kBoardButtonCode for an index outside 0..43.
uint32_t Code(int32_t index);

}  // namespace KeyTable

// KEYBDINPUT flags.
constexpr uint32_t kKeyEventExtendedKey = 0x0001;
constexpr uint32_t kKeyEventKeyUp = 0x0002;
constexpr uint32_t kKeyEventScanCode = 0x0008;
constexpr uint32_t kInputKeyboard = 1;

// The platform's INPUT record with its keyboard part, laid out identically (40 bytes on
// 64-bit Windows, 28 on 32-bit), so that the evaluation pass fills the array that
// SendInput reads and a run allocates nothing but that array. AssociationThread_win.cpp
// checks the layout against <windows.h>.
struct KeyboardInputRecord {
    struct Keyboard {
        uint16_t Vk;
        uint16_t Scan;
        uint32_t Flags;
        uint32_t Time;
        uintptr_t ExtraInfo;
    };
    // The union's largest member, MOUSEINPUT: it sets the record's size.
    struct MouseSpace {
        int32_t Dx;
        int32_t Dy;
        uint32_t MouseData;
        uint32_t Flags;
        uint32_t Time;
        uintptr_t ExtraInfo;
    };

    uint32_t Type;
    union {
        Keyboard Ki;
        MouseSpace Mi;
    };
};

// A key press (press true) or release of a key code: scan code with wScan holding the
// code's low 16 bits as stored (0x0148 for the up arrow), flags KEYEVENTF_SCANCODE, plus
// KEYEVENTF_KEYUP for a release, plus the code's bit 8 as KEYEVENTF_EXTENDEDKEY.
void FillKeyRecord(KeyboardInputRecord& record, uint32_t code, bool press);

// The synthetic-input seam. The program uses the real SendInput (kPlatformKeyboard,
// AssociationThread_win.cpp); tests install a recording sink.
struct KeyboardFunctions {
    // SendInput(count, records, sizeof(record)): returns the number of events injected.
    uint32_t (*SendInput)(uint32_t count, KeyboardInputRecord* records, int32_t recordSize);
};
