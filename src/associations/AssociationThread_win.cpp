// The association thread's entry and the real SendInput. The portable record must be the
// platform's INPUT, byte for byte, since the record array goes to SendInput as it is.
#include "associations/AssociationThread_win.h"

#include <cstddef>

static_assert(sizeof(KeyboardInputRecord) == sizeof(INPUT), "record size");
static_assert(offsetof(KeyboardInputRecord, Ki) == offsetof(INPUT, ki), "keyboard part");
static_assert(offsetof(KeyboardInputRecord, Ki.Scan) == offsetof(INPUT, ki.wScan), "wScan");
static_assert(offsetof(KeyboardInputRecord, Ki.Flags) == offsetof(INPUT, ki.dwFlags), "dwFlags");
static_assert(offsetof(KeyboardInputRecord, Ki.ExtraInfo) == offsetof(INPUT, ki.dwExtraInfo), "dwExtraInfo");
static_assert(kInputKeyboard == INPUT_KEYBOARD && kKeyEventScanCode == KEYEVENTF_SCANCODE &&
                  kKeyEventKeyUp == KEYEVENTF_KEYUP && kKeyEventExtendedKey == KEYEVENTF_EXTENDEDKEY,
              "flags");

namespace {

uint32_t PlatformSendInput(uint32_t count, KeyboardInputRecord* records, int32_t recordSize) {
    return ::SendInput(count, reinterpret_cast<INPUT*>(records), recordSize);
}

void PlatformSleep(uint32_t ms) {
    ::Sleep(ms);
}

}  // namespace

const KeyboardFunctions kPlatformKeyboard = {PlatformSendInput};

DWORD WINAPI AssociationThread(void* parameter) {
    return RunAssociations(*static_cast<const AssociationRun*>(parameter), kPlatformKeyboard, PlatformSleep);
}
