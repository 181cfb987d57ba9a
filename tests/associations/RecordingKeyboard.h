// A recording stand-in for SendInput: keeps the state of 256 keys (set-1 scan code, plus
// 0x80 for an extended key) and every event, call by call. Counts events that press a key
// already down or release a key already up. Calls may come from the association thread
// while a test reads, hence the lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "associations/KeyTable.h"

struct KeyEvent {
    uint16_t Scan;
    uint32_t Flags;
    bool operator==(const KeyEvent& other) const { return Scan == other.Scan && Flags == other.Flags; }
};
using SendCall = std::vector<KeyEvent>;

namespace RecordingKeyboard {

const KeyboardFunctions& Functions();
void Reset();
// Takes the calls recorded since the last take.
std::vector<SendCall> TakeCalls();
bool IsDown(uint32_t code);
int KeysDown();
int RepeatedPresses();
int RepeatedReleases();

}  // namespace RecordingKeyboard

// Tecla A's press, a release of Seta acima: the records the tests expect.
inline KeyEvent Press(uint16_t scan) {
    return {scan, kKeyEventScanCode | (scan >> 8)};
}
inline KeyEvent Release(uint16_t scan) {
    return {scan, kKeyEventScanCode | kKeyEventKeyUp | (scan >> 8)};
}
