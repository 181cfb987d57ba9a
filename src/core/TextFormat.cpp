// The fixed-buffer UTF-16 formatting helpers; see TextFormat.h.
#include "core/TextFormat.h"

int32_t AppendText(char16_t* out, int32_t at, const char16_t* text) {
    for (; *text != 0; ++text)
        out[at++] = *text;
    return at;
}

int32_t AppendDecimal(char16_t* out, int32_t at, uint64_t value) {
    char16_t digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        out[at++] = digits[--count];
    return at;
}

int32_t AppendHex(char16_t* out, int32_t at, uint32_t value, int minDigits) {
    char16_t digits[8];
    int count = 0;
    do {
        const uint32_t digit = value & 0xF;
        digits[count++] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
        value >>= 4;
    } while ((value != 0 || count < minDigits) && count < 8);
    while (count > 0)
        out[at++] = digits[--count];
    return at;
}
