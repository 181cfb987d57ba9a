// Encoding and decoding of the ProfileRecord; see ProfileRecord.h for the layout.
#include "persistence/ProfileRecord.h"

#include <new>

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

}  // namespace

Buffer* CaptureAssociations(const AssociationModel& model) {
    const ObjectList& all = model.AllAssociations();
    // One input drives one target and there are 51 targets, so the count fits 16 bits.
    const int32_t count = all.Count();
    Buffer* record = new (std::nothrow) Buffer();
    if (record == nullptr)
        return nullptr;
    const int32_t length = kProfileHeaderLength + kProfileEntryLength * count;
    if (Failed(record->SetCapacity(length))) {
        record->Release();
        return nullptr;
    }
    uint8_t* bytes = record->Data();
    WriteLittle(bytes, 2, 0);
    WriteLittle(bytes + 2, 2, static_cast<uint32_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const Association* association = AssociationModel::At(all, i);
        uint8_t* entry = bytes + kProfileHeaderLength + kProfileEntryLength * i;
        WriteLittle(entry, 4, association->Input().UsagePage);
        WriteLittle(entry + 4, 2, association->Input().Usage);
        entry[6] = association->isChannel != 0 ? 1 : 0;
        entry[7] = static_cast<uint8_t>(association->targetIndex);
    }
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
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes + kProfileHeaderLength + kProfileEntryLength * i;
        // Memory for an association is taken as available; an entry that finds none is lost
        // like an entry without a matching input.
        model.AddAssociation(ReadLittle(entry, 4), ReadLittle(entry + 4, 2), entry[6] != 0, entry[7]);
    }
    return true;
}
