// The rule that names the translation file after the program; see TranslationPath.h.
#include "text/TranslationPath.h"

#include "core/String.h"

bool TranslationPathFromModulePath(const char16_t* modulePath, char16_t* out, int32_t capacity) {
    if (out == nullptr || capacity < 1)
        return false;
    out[0] = 0;
    if (modulePath == nullptr)
        return false;

    const int32_t length = TextLength(modulePath);
    // The last dot anywhere in the path, also one in a folder name: "C:\a.b\emul" gives
    // "C:\a.txt". Kept that way so that every reader of the file finds the same one.
    int32_t keep = length;
    const char16_t* suffix = u".txt";
    for (int32_t i = length - 1; i >= 0; --i) {
        if (modulePath[i] == u'.') {
            keep = i + 1;
            suffix = u"txt";
            break;
        }
    }
    const int32_t suffixLength = TextLength(suffix);
    if (keep + suffixLength >= capacity)
        return false;
    for (int32_t i = 0; i < keep; ++i)
        out[i] = modulePath[i];
    for (int32_t i = 0; i <= suffixLength; ++i)
        out[keep + i] = suffix[i];
    return true;
}
