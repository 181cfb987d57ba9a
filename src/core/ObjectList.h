// A growable list of references. The list holds one reference to each item; its array
// grows with a margin of 16 entries and shrinks once 32 or more entries would stay
// empty, so that adding and removing one at a time does not reallocate every time.
#pragma once

#include <cstdint>

#include "core/RefObject.h"

class ObjectList : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeObjectList;
    // Above 0 when a must come after b.
    using Compare = int (*)(RefObject* a, RefObject* b, void* context);

    ObjectList() = default;

    int32_t GetTypeId() const override { return kTypeId; }

    HResult Reserve(int32_t entryCount);
    // Adds a reference to each of the n items and puts them after the last entry.
    // On failure nothing changes.
    HResult Append(RefObject* const* items, int32_t n);
    HResult Append(RefObject* item) { return Append(&item, 1); }
    // Releases the item at index and closes the gap; returns 1, or 0 when index is out of range.
    int32_t RemoveAt(int32_t index);
    // Releases every entry and sets the count to 0; the block is kept for the next entries.
    void Clear();
    // Removes the first entry that is item; returns its former index or -1.
    int32_t Remove(RefObject* item);
    int32_t IndexOf(const RefObject* item) const;
    // Stable in-place merge sort of entries start .. start + n - 1.
    void Sort(int32_t start, int32_t n, Compare compare, void* context = nullptr);

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    RefObject* At(int32_t index) const { return items_[index]; }
    RefObject* const* Items() const { return items_; }

  protected:
    ~ObjectList() override;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }

  private:
    InstanceCount<kTypeId> counted_;
    RefObject** items_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
};
