// The UTF-16 string over a Buffer, and its trimming; see String.h.
#include "core/String.h"

#include <climits>

int32_t TextLength(const char16_t* text) {
    if (text == nullptr)
        return 0;
    int32_t length = 0;
    while (text[length] != 0 && length < INT32_MAX / 2)
        ++length;
    return length;
}

String::String() {
    buffer_.SetCapacity(0);
    Terminate();
}

String::String(const char16_t* text) : String() {
    Assign(text);
}

String::String(const char16_t* text, int32_t count) : String() {
    Assign(text, count);
}

String::~String() = default;

const char16_t* String::Chars() const {
    if (buffer_.Data() == nullptr)
        return u"";
    return reinterpret_cast<const char16_t*>(buffer_.Data());
}

HResult String::EnsureRoom(int32_t contentBytes) {
    // The content plus its 2-byte NUL must fit; SetCapacity of an even size always
    // leaves at least two spare bytes.
    if (contentBytes >= buffer_.Capacity())
        return buffer_.SetCapacity(contentBytes);
    return kOk;
}

void String::Terminate() {
    if (buffer_.Data() == nullptr)
        return;
    buffer_.Data()[buffer_.Length()] = 0;
    buffer_.Data()[buffer_.Length() + 1] = 0;
}

HResult String::Assign(const char16_t* text, int32_t count) {
    if (count < 0 || count > INT32_MAX / 2 - 2)
        return kInvalidArg;
    if (text == nullptr)
        count = 0;
    const int32_t bytes = count * 2;
    HResult code = EnsureRoom(bytes);
    if (!Failed(code))
        code = buffer_.Assign(text, bytes);
    Terminate();
    return code;
}

HResult String::Assign(const char16_t* text) {
    return Assign(text, TextLength(text));
}

HResult String::Append(const char16_t* text, int32_t count) {
    if (count < 0 || count > INT32_MAX / 2 - 2)
        return kInvalidArg;
    if (text == nullptr || count == 0)
        return kOk;
    const int32_t bytes = count * 2;
    if (bytes > INT32_MAX - 4 - buffer_.Length())
        return kInvalidArg;
    // The buffer grows whenever the content would reach its capacity, which leaves room
    // for the NUL; it also copes with text taken from this string's own storage.
    const HResult code = buffer_.Append(text, bytes);
    Terminate();
    return code;
}

HResult String::Append(const char16_t* text) {
    return Append(text, TextLength(text));
}

namespace {
bool IsTrimmed(char16_t c) {
    return c == 9 || c == 10 || c == 13 || c == 32 || c == 160;
}
}  // namespace

void String::Trim() {
    if (buffer_.Data() == nullptr)
        return;
    char16_t* chars = reinterpret_cast<char16_t*>(buffer_.Data());
    int32_t end = Length();
    while (end > 0 && IsTrimmed(chars[end - 1]))
        --end;
    int32_t start = 0;
    while (start < end && IsTrimmed(chars[start]))
        ++start;
    for (int32_t i = start; i < end; ++i)
        chars[i - start] = chars[i];
    buffer_.length_ = (end - start) * 2;
    Terminate();
}
