// The profile name dialog's OK rules; see ProfileName.h.
#include "persistence/ProfileName.h"

#include "text/BuiltInTexts.h"

namespace {

// The upper-case form of a unit, as the registry folds value names, for the scripts a
// profile name is likely to be written in. A portable table rather than the C library's
// towupper, which knows only ASCII in the "C" locale on Windows.
char16_t Upper(char16_t c) {
    const auto shifted = [c](int delta) { return static_cast<char16_t>(c + delta); };
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return shifted(-0x20);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A: pairs with the capital first, in two runs starting on even units
    // and two on odd ones (0x130, 0x131 and 0x138 have no partner in the pairing).
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) != 0 ? shifted(-1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) == 0 ? shifted(-1) : c;
    if (c == 0x3C2)  // final sigma
        return 0x3A3;
    if (c == 0x3AC || c == 0x3CC)  // Greek small letters with tonos
        return shifted(c == 0x3AC ? -0x26 : -0x40);
    if ((c >= 0x3AD && c <= 0x3AF) || c == 0x3CD || c == 0x3CE)
        return shifted(c <= 0x3AF ? -0x25 : -0x3F);
    if ((c >= 0x3B1 && c <= 0x3CB) || (c >= 0x430 && c <= 0x44F))
        return shifted(-0x20);
    if (c >= 0x450 && c <= 0x45F)
        return shifted(-0x50);
    return c;
}

bool MatchesSaved(const String& name, const ObjectList* savedNames) {
    for (int32_t i = 0; savedNames != nullptr && i < savedNames->Count(); ++i) {
        const String* saved = static_cast<const String*>(savedNames->At(i));
        if (SameNameIgnoringCase(name.Chars(), name.Length(), saved->Chars(), saved->Length()))
            return true;
    }
    return false;
}

}  // namespace

bool SameNameIgnoringCase(const char16_t* a, int32_t aLength, const char16_t* b, int32_t bLength) {
    if (aLength != bLength)
        return false;
    for (int32_t i = 0; i < aLength; ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

ProfileNameCheck CheckProfileName(String& name, const ObjectList* savedNames, bool existingOnly) {
    name.Trim();
    // The name field is limited to 100 units, so only pasted or set text is ever cut; the
    // cut comes first so that a cut name matching a saved one still asks before replacing.
    if (!existingOnly && name.Length() > kProfileNameMaxLength)
        name.Assign(name.Chars(), kProfileNameMaxLength);
    ProfileNameCheck check{false, MatchesSaved(name, savedNames), nullptr};
    if (existingOnly) {
        check.accepted = !name.IsEmpty() && check.nameExists;
        if (!check.accepted)
            check.refusal = Text(Texts::kChooseValidProfile);
    } else {
        check.accepted = !name.IsEmpty();
        if (!check.accepted)
            check.refusal = Text(Texts::kTypeValidProfileName);
    }
    return check;
}
