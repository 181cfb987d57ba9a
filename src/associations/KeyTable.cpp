// The key list's codes and the filling of a keyboard input record.
#include "associations/KeyTable.h"

#include "text/TextTable.h"

// The text table names each key target; both count them on their own.
static_assert(KeyTable::kCount == TextTable::kTargetNameCount, "a target name for each key");

namespace KeyTable {

// clang-format off
const uint32_t kCodes[kCount] = {
    kBoardButtonCode,
    0x148, 0x150, 0x14D, 0x14B,  // arrows up, down, right, left (extended)
    0x39, 0x1C, 0x01,            // space, enter, escape
    // A to Z
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
    // 0 to 9
    0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
};
// clang-format on

uint32_t Code(int32_t index) {
    return index >= 0 && index < kCount ? kCodes[index] : kBoardButtonCode;
}

}  // namespace KeyTable

void FillKeyRecord(KeyboardInputRecord& record, uint32_t code, bool press) {
    record.Type = kInputKeyboard;
    record.Ki.Vk = 0;
    record.Ki.Scan = static_cast<uint16_t>(code);
    record.Ki.Flags = kKeyEventScanCode | (press ? 0 : kKeyEventKeyUp) | (code >> 8);
    record.Ki.Time = 0;
    record.Ki.ExtraInfo = 0;
}
