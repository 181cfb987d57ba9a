// Encoding and decoding of the ProfileRecord; see ProfileRecord.h for the layout.
#include "persistence/ProfileRecord.h"

#include <cstring>
#include <new>

#include "core/Heap.h"

namespace {

uint32_t ReadLittle(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

void WriteLittle(uint8_t* bytes, int count, uint32_t value) {
    for (int i = 0; i < count; ++i, value >>= 8)
        bytes[i] = static_cast<uint8_t>(value);
}

bool SameUsages(const Association& a, const Association& b) {
    return a.Input().UsagePage == b.Input().UsagePage && a.Input().Usage == b.Input().Usage;
}

// A restore tells inputs with the same usages apart only by order (the k-th entry for some
// usages binds the k-th input with them), so among such entries the record lists them in
// the order of their inputs, each in one of the places the group holds in the list. Other
// entries keep their places. order[i]: the association written as entry i.
void OrderSharedUsages(const AssociationModel& model, int32_t* order, int32_t count) {
    const ObjectList& all = model.AllAssociations();
    const ObjectList& inputs = model.InputRefs();
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t j = i + 1; j < count; ++j) {
            const Association& slot = *AssociationModel::At(all, order[i]);
            const Association& later = *AssociationModel::At(all, order[j]);
            if (SameUsages(slot, later) && inputs.IndexOf(later.inputRef) < inputs.IndexOf(slot.inputRef)) {
                const int32_t swapped = order[i];
                order[i] = order[j];
                order[j] = swapped;
            }
        }
    }
}

}  // namespace

Buffer* CaptureAssociations(const AssociationModel& model) {
    const ObjectList& all = model.AllAssociations();
    // One input drives one target and there are 51 targets, so the count fits 16 bits.
    const int32_t count = all.Count();
    Buffer* record = new (std::nothrow) Buffer();
    auto* order = static_cast<int32_t*>(HeapAllocate(sizeof(int32_t) * (count > 0 ? count : 1)));
    const int32_t length = kProfileHeaderLength + kProfileEntryLength * count;
    if (record == nullptr || order == nullptr || Failed(record->SetCapacity(length))) {
        SafeRelease(record);
        HeapRelease(order);
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i)
        order[i] = i;
    OrderSharedUsages(model, order, count);
    uint8_t* bytes = record->Data();
    WriteLittle(bytes, 2, 0);
    WriteLittle(bytes + 2, 2, static_cast<uint32_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const Association* association = AssociationModel::At(all, order[i]);
        uint8_t* entry = bytes + kProfileHeaderLength + kProfileEntryLength * i;
        WriteLittle(entry, 4, association->Input().UsagePage);
        WriteLittle(entry + 4, 2, association->Input().Usage);
        entry[6] = association->isChannel != 0 ? 1 : 0;
        entry[7] = static_cast<uint8_t>(association->targetIndex);
    }
    HeapRelease(order);
    // The block already holds the bytes; this sets the length.
    record->Assign(bytes, length);
    return record;
}

bool RestoreAssociations(AssociationModel& model, const Buffer* record) {
    if (record == nullptr || record->Length() < kProfileHeaderLength)
        return false;
    const uint8_t* bytes = record->Data();
    const int32_t count = static_cast<int32_t>(ReadLittle(bytes + 2, 2));
    if (ReadLittle(bytes, 2) != 0 || record->Length() < kProfileHeaderLength + kProfileEntryLength * count)
        return false;
    model.ClearAssociations();
    // Inputs that share their usages (the directions of two hats, two sliders) are told
    // apart by order: the k-th entry for some usages binds the k-th input that has them, so
    // each link comes back to the input it was made on. taken[i]: input i has an entry
    // already. Without that memory every entry binds the first such input.
    const int32_t inputCount = model.InputRefs().Count();
    auto* taken = static_cast<uint8_t*>(HeapAllocate(inputCount > 0 ? static_cast<size_t>(inputCount) : 1));
    if (taken != nullptr)
        std::memset(taken, 0, inputCount > 0 ? static_cast<size_t>(inputCount) : 1);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes + kProfileHeaderLength + kProfileEntryLength * i;
        const bool isChannel = entry[6] != 0;
        const int32_t input = model.FindInputIndex(ReadLittle(entry, 4), ReadLittle(entry + 4, 2), taken);
        if (input < 0 || !AssociationModel::TargetExists(isChannel, entry[7]))
            continue;
        // Memory for an association is taken as available; an entry that finds none is lost
        // like an entry without a matching input.
        if (!Failed(model.AddAssociationForInput(input, isChannel, entry[7])) && taken != nullptr)
            taken[input] = 1;
    }
    HeapRelease(taken);
    return true;
}
