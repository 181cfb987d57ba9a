#include "RecordingKeyboard.h"

namespace RecordingKeyboard {
namespace {

std::mutex gLock;
bool gDown[256];
std::vector<SendCall> gCalls;
int gRepeatedPresses;
int gRepeatedReleases;

int KeyIndex(uint16_t scan, uint32_t flags) {
    return (scan & 0x7F) | ((flags & kKeyEventExtendedKey) != 0 ? 0x80 : 0);
}

uint32_t Send(uint32_t count, KeyboardInputRecord* records, int32_t recordSize) {
    if (recordSize != static_cast<int32_t>(sizeof(KeyboardInputRecord)))
        return 0;
    std::lock_guard<std::mutex> hold(gLock);
    SendCall call;
    for (uint32_t i = 0; i < count; ++i) {
        const KeyboardInputRecord& record = records[i];
        if (record.Type != kInputKeyboard || record.Ki.Vk != 0 || record.Ki.Time != 0 ||
            record.Ki.ExtraInfo != 0)
            call.push_back({0xFFFF, 0xFFFFFFFF});  // matches no expected event
        call.push_back({record.Ki.Scan, record.Ki.Flags});
        const bool press = (record.Ki.Flags & kKeyEventKeyUp) == 0;
        bool& down = gDown[KeyIndex(record.Ki.Scan, record.Ki.Flags)];
        if (press == down)
            ++(press ? gRepeatedPresses : gRepeatedReleases);
        down = press;
    }
    gCalls.push_back(call);
    return count;
}

const KeyboardFunctions kRecording = {Send};

}  // namespace

const KeyboardFunctions& Functions() {
    return kRecording;
}

void Reset() {
    std::lock_guard<std::mutex> hold(gLock);
    for (bool& down : gDown)
        down = false;
    gCalls.clear();
    gRepeatedPresses = gRepeatedReleases = 0;
}

std::vector<SendCall> TakeCalls() {
    std::lock_guard<std::mutex> hold(gLock);
    std::vector<SendCall> calls;
    calls.swap(gCalls);
    return calls;
}

bool IsDown(uint32_t code) {
    std::lock_guard<std::mutex> hold(gLock);
    return gDown[KeyIndex(static_cast<uint16_t>(code), code >> 8)];
}

int KeysDown() {
    std::lock_guard<std::mutex> hold(gLock);
    int n = 0;
    for (bool down : gDown)
        n += down ? 1 : 0;
    return n;
}

int RepeatedPresses() {
    std::lock_guard<std::mutex> hold(gLock);
    return gRepeatedPresses;
}

int RepeatedReleases() {
    std::lock_guard<std::mutex> hold(gLock);
    return gRepeatedReleases;
}

}  // namespace RecordingKeyboard
