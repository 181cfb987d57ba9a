// A profile record as bytes, captured from or restored into an association model; shared
// by the profile tests and the profile record fuzz target.
#pragma once

#include <vector>

#include "persistence/ProfileRecord.h"

inline std::vector<uint8_t> Capture(const AssociationModel& model) {
    Buffer* record = CaptureAssociations(model);
    std::vector<uint8_t> bytes(record->Data(), record->Data() + record->Length());
    record->Release();
    return bytes;
}

inline bool Restore(AssociationModel& model, const std::vector<uint8_t>& bytes) {
    Buffer* record = new Buffer();
    const bool valid = record->Assign(bytes.data(), static_cast<int32_t>(bytes.size())) == kOk &&
                       RestoreAssociations(model, record);
    record->Release();
    return valid;
}
