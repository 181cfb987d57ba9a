// The rules the profile name dialog applies when OK is pressed: the typed text is trimmed,
// compared with the saved profile names without regard to case (as the registry compares
// value names), and accepted or refused according to the dialog's mode. Portable; the
// dialog calls it on the user-interface thread and only shows the refusal it returns.
#pragma once

#include <cstdint>

#include "core/ObjectList.h"
#include "core/String.h"

// Registry value names, and so profile names, hold at most this many UTF-16 units.
constexpr int32_t kProfileNameMaxLength = 100;

struct ProfileNameCheck {
    bool accepted;
    // Whether the name matched a saved one: the save command asks before replacing it.
    bool nameExists;
    // The refusal to show (the text table's current text), or null when accepted.
    const char16_t* refusal;
};

// Trims name in place and, in save mode (existingOnly false), cuts it to 100 units before
// comparing, so that the name compared is the name that would be stored. savedNames holds
// Strings; null counts as no saved profile. Open and delete mode (existingOnly true)
// accept a non-empty name that matches a saved one; save mode accepts any non-empty name.
ProfileNameCheck CheckProfileName(String& name, const ObjectList* savedNames, bool existingOnly);

// Equal UTF-16 texts when upper and lower case are taken as the same, for the Latin,
// Greek and Cyrillic letters of the Basic Multilingual Plane's first blocks; any other
// unit must be equal.
bool SameNameIgnoringCase(const char16_t* a, int32_t aLength, const char16_t* b, int32_t bLength);
