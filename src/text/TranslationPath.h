// The rule that finds the translation file from the program's own path: everything after
// the last "." of the whole path becomes "txt", or ".txt" is appended when the path has
// no dot. Portable so that the rule is tested natively; TextSources::TranslationFilePath
// feeds it the module path. Used for the text table and the joystick input names.
#pragma once

#include <cstdint>

// The path buffer of the program's module holds this many UTF-16 units, NUL included.
constexpr int32_t kModulePathCapacity = 1024;

// Writes the translation path for modulePath (NUL-terminated) into out, which holds
// capacity units. Returns false, with out empty when capacity allows, when the result
// and its NUL do not fit: a cut-off path would name some other file.
bool TranslationPathFromModulePath(const char16_t* modulePath, char16_t* out, int32_t capacity);
