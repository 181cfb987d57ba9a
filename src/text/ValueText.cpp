// Registry value bytes to text, never past the data; see ValueText.h.
#include "text/ValueText.h"

#include <new>

String* TextFromValueBytes(const uint8_t* bytes, int32_t byteCount) {
    String* text = new (std::nothrow) String();
    if (text == nullptr || bytes == nullptr || byteCount < 2)
        return text;

    // The NUL is looked for byte by byte: the data of a registry value need not be aligned
    // for char16_t. The copy itself is a plain byte copy.
    const int32_t units = byteCount / 2;
    int32_t length = 0;
    while (length < units && (bytes[2 * length] | bytes[2 * length + 1]) != 0)
        ++length;
    if (Failed(text->Assign(reinterpret_cast<const char16_t*>(bytes), length))) {
        text->Release();
        return nullptr;
    }
    return text;
}
