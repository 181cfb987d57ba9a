// The growable byte buffer; see Buffer.h.
#include "core/Buffer.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "core/Heap.h"

Buffer::~Buffer() {
    HeapRelease(data_);
}

HResult Buffer::SetCapacity(int32_t byteCount) {
    if (byteCount < 0 || byteCount > INT32_MAX - 4)
        return kInvalidArg;
    const int32_t newCapacity = byteCount + 4 - (byteCount % 4);
    if (newCapacity == capacity_)
        return kOk;

    uint8_t* block = nullptr;
    if (data_ != nullptr)
        block = static_cast<uint8_t*>(Heap().ResizeInPlace(data_, newCapacity));
    if (block == nullptr) {
        block = static_cast<uint8_t*>(HeapAllocate(newCapacity));
        if (block == nullptr)
            return kOutOfMemory;
        const int32_t keep = length_ < newCapacity ? length_ : newCapacity;
        if (keep > 0)
            std::memcpy(block, data_, keep);
        HeapRelease(data_);
    }
    data_ = block;
    capacity_ = newCapacity;
    if (length_ > newCapacity)
        length_ = newCapacity;
    return kOk;
}

HResult Buffer::Assign(const void* bytes, int32_t count) {
    if (count < 0)
        return kInvalidArg;
    if (bytes != nullptr && count > 0) {
        if (count > capacity_) {
            const HResult code = SetCapacity(count);
            if (Failed(code))
                return code;
        }
        std::memmove(data_, bytes, count);
        length_ = count;
        return kOk;
    }
    const HResult code = SetCapacity(0);
    if (Failed(code))
        return code;
    length_ = 0;
    return kOk;
}

HResult Buffer::Append(const void* bytes, int32_t count) {
    if (count < 0)
        return kInvalidArg;
    if (bytes != nullptr && count > 0) {
        if (count > INT32_MAX - length_)
            return kInvalidArg;
        if (length_ + count >= capacity_) {
            // The bytes may come from this buffer's own block (a string appended to
            // itself), which growing can move or free: keep their offset, not the pointer.
            const auto* source = static_cast<const uint8_t*>(bytes);
            const bool own = data_ != nullptr && source >= data_ && source < data_ + capacity_;
            const ptrdiff_t offset = own ? source - data_ : 0;
            const HResult code = SetCapacity(length_ + count);
            if (Failed(code))
                return code;
            if (own)
                bytes = data_ + offset;
        }
        std::memmove(data_ + length_, bytes, count);
        length_ += count;
        return kOk;
    }
    return capacity_ == 0 ? SetCapacity(0) : kOk;
}
