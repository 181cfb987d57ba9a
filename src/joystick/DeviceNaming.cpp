// Key name and naming rule for LookupDeviceName. Portable code with no native test of its
// own: the enumeration tests under Wine (JoystickEnumerationTest_win.cpp) check the names.
#include "joystick/DeviceNaming.h"

#include <new>

#include "core/TextFormat.h"

namespace {

const char16_t kOemKeyPrefix[] =
    u"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\VID_";

}  // namespace

void FormatOemKeyName(uint32_t vendorId, uint32_t productId, char16_t* out, uint32_t capacity) {
    // Prefix (85 units) + 8 + "&PID_" + 8 + NUL fits in 128.
    char16_t text[128];
    int32_t at = AppendText(text, 0, kOemKeyPrefix);
    at = AppendHex(text, at, vendorId, 4);
    at = AppendText(text, at, u"&PID_");
    at = AppendHex(text, at, productId, 4);
    text[at++] = 0;
    if (out == nullptr || capacity == 0)
        return;
    const uint32_t count = static_cast<uint32_t>(at) <= capacity ? static_cast<uint32_t>(at) : capacity;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = text[i];
    out[count - 1] = 0;
}

String* DeviceNameFromOemText(String* oemText) {
    if (oemText != nullptr) {
        oemText->Trim();
        if (!oemText->IsEmpty())
            return oemText;
        oemText->Release();
    }
    return new (std::nothrow) String(u"Controller");
}
