// Key name and naming rule for LookupDeviceName. Portable so that both can be tested natively.
#include "joystick/DeviceNaming.h"

#include <new>

namespace {

const char16_t kOemKeyPrefix[] =
    u"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\VID_";

uint32_t AppendHex4(char16_t* out, uint32_t at, uint32_t value) {
    char16_t digits[8];
    int count = 0;
    do {
        const uint32_t digit = value & 0xF;
        digits[count++] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
        value >>= 4;
    } while (value != 0 || count < 4);
    while (count > 0)
        out[at++] = digits[--count];
    return at;
}

}  // namespace

void FormatOemKeyName(uint32_t vendorId, uint32_t productId, char16_t* out, uint32_t capacity) {
    // Prefix (85 units) + 8 + "&PID_" + 8 + NUL fits in 128.
    char16_t text[128];
    uint32_t at = 0;
    for (const char16_t* p = kOemKeyPrefix; *p != 0; ++p)
        text[at++] = *p;
    at = AppendHex4(text, at, vendorId);
    for (const char16_t* p = u"&PID_"; *p != 0; ++p)
        text[at++] = *p;
    at = AppendHex4(text, at, productId);
    text[at++] = 0;
    if (out == nullptr || capacity == 0)
        return;
    const uint32_t count = at <= capacity ? at : capacity;
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
