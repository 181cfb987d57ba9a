// A UTF-16 string kept in a Buffer, always followed by a NUL so that its data can be
// handed to the platform as is. Portable code spells UTF-16 as char16_t; the Windows
// code reinterprets it as wchar_t, which is the same 16-bit unit there.
#pragma once

#include <cstdint>

#include "core/Buffer.h"

class String : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeString;

    String();
    explicit String(const char16_t* text);
    String(const char16_t* text, int32_t count);

    int32_t GetTypeId() const override { return kTypeId; }

    HResult Assign(const char16_t* text, int32_t count);
    HResult Assign(const char16_t* text);
    HResult Append(const char16_t* text, int32_t count);
    HResult Append(const char16_t* text);
    // Removes leading and trailing tab, line feed, carriage return, space and no-break space.
    void Trim();

    // The text, NUL-terminated; never null.
    const char16_t* Chars() const;
    int32_t Length() const { return buffer_.Length() / 2; }
    bool IsEmpty() const { return Length() == 0; }

  protected:
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }
    ~String() override;

  private:
    HResult EnsureRoom(int32_t contentBytes);
    void Terminate();

    InstanceCount<kTypeId> counted_;
    // A member, not a heap object: it is released only by the String's destruction.
    Buffer buffer_;
};

// Length of a NUL-terminated UTF-16 text.
int32_t TextLength(const char16_t* text);
