// The native build has no HID parsing library: loading always fails, so binding reports
// kFileNotFound unless a test installs a substitute loader.
#include "joystick/HidFunctions.h"

namespace {
void* LoadNothing(const char16_t*) {
    return nullptr;
}
void* FindNothing(void*, const char*) {
    return nullptr;
}
void UnloadNothing(void*) {}
}  // namespace

const HidLoader kPlatformHidLoader = {LoadNothing, FindNothing, UnloadNothing};
