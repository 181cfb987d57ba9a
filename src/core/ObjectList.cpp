// The list of references, its growth and shrinking, and its stable merge sort; see
// ObjectList.h.
#include "core/ObjectList.h"

#include <climits>
#include <cstring>

#include "core/Heap.h"

ObjectList::~ObjectList() {
    for (int32_t i = 0; i < count_; ++i)
        items_[i]->Release();
    HeapRelease(items_);
}

HResult ObjectList::Reserve(int32_t entryCount) {
    if (entryCount < 1)
        return kInvalidArg;
    // A request below the count is taken as one for the count: the block never becomes
    // smaller than the live entries it holds.
    if (entryCount < count_)
        entryCount = count_;
    if (entryCount > capacity_ - 32 && entryCount <= capacity_)
        return kOk;
    if (entryCount > INT32_MAX / static_cast<int32_t>(sizeof(RefObject*)) - 16)
        return kOutOfMemory;
    const int32_t newCapacity = entryCount + 16;
    const size_t bytes = static_cast<size_t>(newCapacity) * sizeof(RefObject*);

    RefObject** block = nullptr;
    if (items_ != nullptr)
        block = static_cast<RefObject**>(Heap().ResizeInPlace(items_, bytes));
    if (block == nullptr) {
        block = static_cast<RefObject**>(HeapAllocate(bytes));
        if (block == nullptr)
            return kOutOfMemory;
        // count never exceeds entryCount here, so every live entry is copied.
        if (count_ > 0)
            std::memcpy(block, items_, static_cast<size_t>(count_) * sizeof(RefObject*));
        HeapRelease(items_);
    }
    items_ = block;
    capacity_ = newCapacity;
    return kOk;
}

HResult ObjectList::Append(RefObject* const* items, int32_t n) {
    if (n < 0 || (n > 0 && items == nullptr))
        return kInvalidArg;
    if (n == 0)
        return kOk;
    if (n > INT32_MAX - count_ || Failed(Reserve(count_ + n)))
        return kOutOfMemory;
    for (int32_t i = 0; i < n; ++i) {
        items[i]->AddRef();
        items_[count_ + i] = items[i];
    }
    count_ += n;
    return kOk;
}

int32_t ObjectList::RemoveAt(int32_t index) {
    if (index < 0 || index >= count_)
        return 0;
    RefObject* item = items_[index];
    std::memmove(items_ + index, items_ + index + 1,
                 static_cast<size_t>(count_ - index - 1) * sizeof(RefObject*));
    --count_;
    // Shrinking is best effort: a refused or failed reserve keeps the larger block.
    Reserve(count_);
    item->Release();
    return 1;
}

void ObjectList::Clear() {
    // The count drops before each release, so a destructor that looks at the list never
    // sees an entry it has already let go of.
    while (count_ > 0)
        items_[--count_]->Release();
}

int32_t ObjectList::IndexOf(const RefObject* item) const {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[i] == item)
            return i;
    }
    return -1;
}

int32_t ObjectList::Remove(RefObject* item) {
    const int32_t index = IndexOf(item);
    if (index >= 0)
        RemoveAt(index);
    return index;
}

void ObjectList::Sort(int32_t start, int32_t n, Compare compare, void* context) {
    if (n < 2 || start < 0 || start > count_ - n)
        return;
    const int32_t half = n / 2;
    Sort(start, half, compare, context);
    Sort(start + half, n - half, compare, context);
    // Merge in place: j walks the right run; an entry of the right run that must come
    // before entry i is rotated into place, which keeps equal entries in their order.
    const int32_t end = start + n;
    int32_t i = start;
    int32_t j = start + half;
    while (j < end && i < j) {
        if (compare(items_[i], items_[j], context) > 0) {
            RefObject* taken = items_[j];
            std::memmove(items_ + i + 1, items_ + i, static_cast<size_t>(j - i) * sizeof(RefObject*));
            items_[i] = taken;
            ++j;
        }
        ++i;
    }
}
