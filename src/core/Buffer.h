// A growable byte buffer on the process heap. Its capacity always stays a multiple of 4
// strictly above the size asked for, which is what lets String keep room for its NUL.
#pragma once

#include <cstdint>

#include "core/RefObject.h"

class Buffer : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeBuffer;

    Buffer() = default;
    ~Buffer() override;

    int32_t GetTypeId() const override { return kTypeId; }

    // Capacity becomes n rounded up to the next multiple of 4 strictly greater than n.
    // On failure the buffer is left as it was.
    HResult SetCapacity(int32_t byteCount);
    HResult Assign(const void* bytes, int32_t count);
    HResult Append(const void* bytes, int32_t count);

    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }
    int32_t Capacity() const { return capacity_; }
    int32_t Length() const { return length_; }

  protected:
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }

  private:
    friend class String;
    InstanceCount<kTypeId> counted_;
    uint8_t* data_ = nullptr;
    int32_t capacity_ = 0;
    int32_t length_ = 0;
};
