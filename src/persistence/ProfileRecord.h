// The ProfileRecord: the stored form of an association set, as a profile holds it in the
// registry and as the association editor carries the associations over a change of
// joystick. Little-endian: a 16-bit marker 0, a 16-bit entry count, then 8 bytes per
// association in list order: usage page (32 bits), usage (16 bits), 1 for a channel target
// or 0 for the key list, target index (8 bits). Only usages and target list positions are
// kept, so a record opens with any joystick that has the same inputs.
//
// Portable; called on the user-interface thread by the profile commands and the editor,
// never while a run is active (restoring replaces the collections the run reads).
#pragma once

#include <cstdint>

#include "associations/AssociationModel.h"
#include "core/Buffer.h"

constexpr int32_t kProfileHeaderLength = 4;
constexpr int32_t kProfileEntryLength = 8;

// A new Buffer holding exactly 4 + 8 n bytes for the n associations of AllAssociations(),
// in list order, except that associations whose inputs share their usages are listed in
// the order of those inputs (see RestoreAssociations); null when memory ran out. The
// caller releases it.
Buffer* CaptureAssociations(const AssociationModel& model);

// False, changing nothing, when the record is null, shorter than 4 bytes, has a nonzero
// marker or holds fewer entries than its count (bytes after the last entry are ignored).
// Otherwise clears the associations and applies the entries in order: an entry binds the
// first input with its usage page and usage that no earlier entry bound (else the first
// one with them), skips when there is none or its target is outside its list, and
// replaces an earlier association for the same input or target; returns true even when
// every entry was skipped.
bool RestoreAssociations(AssociationModel& model, const Buffer* record);
